# X11: the software surface blitted into a child of the host's window (Xlib, with
# MIT-SHM from Xext where the server offers it).
include(${CMAKE_CURRENT_LIST_DIR}/../software/software.cmake)
find_package(X11 REQUIRED)
target_sources(${TESK_GUI_TARGET} PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../software/press_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/atoms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error_trap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/event_proc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uri_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/press_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_drop_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_edit_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_window.cpp)
target_link_libraries(${TESK_GUI_TARGET} PRIVATE X11::X11 X11::Xext)
