# Win32: the frame window, the system's edit box, OLE drops and BITMAP resources,
# drawn on the shared software surface with text rendered by GDI.
target_sources(${TESK_GUI_TARGET} PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../software/pixel_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../software/press_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../software/software_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drop_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/edit_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_text_font.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/surfaces.cpp)
target_link_libraries(${TESK_GUI_TARGET} PRIVATE gdi32 user32 ole32 shell32 uuid)
