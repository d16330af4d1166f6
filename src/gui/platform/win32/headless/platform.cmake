# Headless on Windows: the same in-memory windows and scripted input as on Linux,
# with GDI glyphs for text and the system's imaging component for PNG files, so
# that the toolkit and editor suites run under Wine.
set(software ${CMAKE_CURRENT_LIST_DIR}/../../software)
target_sources(${TESK_GUI_TARGET} PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../../headless/headless_platform.cpp
  ${software}/edit_line.cpp
  ${software}/embedded_images.cpp
  ${software}/pixel_surface.cpp
  ${software}/software_edit_box.cpp
  ${software}/software_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../gdi_text_font.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wic_png_image.cpp)
target_link_libraries(${TESK_GUI_TARGET} PRIVATE gdi32 ole32 windowscodecs)
