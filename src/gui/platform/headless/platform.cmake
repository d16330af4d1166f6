# Headless: the software surface and windows that live in memory.
include(${CMAKE_CURRENT_LIST_DIR}/../software/software.cmake)
target_sources(${TESK_GUI_TARGET} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/headless_platform.cpp)
