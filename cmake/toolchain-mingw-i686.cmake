# The i686 Windows module (MinGW-w64).
set(TESK_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
