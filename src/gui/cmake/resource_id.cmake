# tesk_resource_id(<file> <variable>)
# Sets <variable> to the id a picture file is built in under: <id>.png is <id> at
# scale 1; the same name in a folder "1.5x" or "2x" is the picture drawn for that
# scale, under id + 10000 x (the scale in halves), which is what the toolkit's
# loaders ask for (scaledResourceId in gui/platform/software/embedded_resources.h).
function(tesk_resource_id file variable)
  get_filename_component(id ${file} NAME_WE)
  if(NOT id MATCHES "^[0-9]+$")
    message(FATAL_ERROR "resource file name is not a number: ${file}")
  endif()
  get_filename_component(folder ${file} DIRECTORY)
  get_filename_component(folder ${folder} NAME)
  if(folder MATCHES "^([0-9]+)x$")
    math(EXPR id "${id} + 10000 * 2 * ${CMAKE_MATCH_1}")
  elseif(folder MATCHES "^([0-9]+)\\.5x$")
    math(EXPR id "${id} + 10000 * (2 * ${CMAKE_MATCH_1} + 1)")
  endif()
  set(${variable} ${id} PARENT_SCOPE)
endfunction()
