# Installs the build into a fresh prefix, compares every file laid out there with
# the expected list, and renders the demo with the installed tesk-render, which
# must load the installed module, not the build tree's.
# cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -DEXPECTED=<list> -DVST3_ARCH=<folder> -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed with status ${status}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
file(STRINGS ${EXPECTED} expected)
# The VST 3 bundle names the processor's folder (x86_64-linux, aarch64-linux).
list(TRANSFORM expected REPLACE "@VST3ARCH@" "${VST3_ARCH}")
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " got "${installed}")
  string(REPLACE ";" "\n  " want "${expected}")
  message(FATAL_ERROR "installed files differ from the expected list\ninstalled:\n  ${got}\nexpected:\n  ${want}")
endif()

execute_process(COMMAND ${PREFIX}/bin/tesk-render --version
  OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^tesk-render \\(TeskDelay\\) [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "the installed tesk-render --version answered '${version}' (status ${status})")
endif()

# The dynamic loader names every file it maps (glibc's LD_DEBUG=files).
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=VST_PATH LD_DEBUG=files
    ${PREFIX}/bin/tesk-render --quiet -o ${PREFIX}/demo.wav
  ERROR_VARIABLE loaded RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS ${PREFIX}/demo.wav)
  message(FATAL_ERROR "the installed tesk-render failed to render the demo (status ${status})")
endif()
if(NOT loaded MATCHES "file=${PREFIX}/lib/vst/TeskDelay.so ")
  message(FATAL_ERROR "the installed tesk-render did not load ${PREFIX}/lib/vst/TeskDelay.so")
endif()
file(SIZE ${PREFIX}/demo.wav bytes)
message("installed ${PREFIX}: the expected files; the demo rendered with the installed module (${bytes} bytes)")
