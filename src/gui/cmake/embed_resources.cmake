# tesk_embed_resources(<target> <file>...)
# Builds the files, named <id>.png (see resource_id.cmake for pictures of other
# scales), into <target> as data, and defines for it the
# toolkit's lookup of resources by id (gui/platform/software/embedded_resources.h). Every binary that
# links tesk_gui calls this once, with the pictures it needs (or none).
function(tesk_embed_resources target)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/embed_resources_script.cmake)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} "-DFILES=${ARGN}" -P ${script}
    DEPENDS ${ARGN} ${script} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/resource_id.cmake
    COMMENT "Embedding resources into ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
