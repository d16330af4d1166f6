# The software surface with FreeType text, for back ends that draw in memory and blit.
find_package(Freetype REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(PNG REQUIRED)
target_sources(${TESK_GUI_TARGET} PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/edit_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/embedded_images.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/software_edit_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/software_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_font.cpp)
target_link_libraries(${TESK_GUI_TARGET} PRIVATE Freetype::Freetype Fontconfig::Fontconfig PNG::PNG)
