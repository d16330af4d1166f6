# Reads a built module on the build machine: it is code for its processor, it
# exports exactly its entries, imports nothing but the system's own libraries,
# is hardened, carries the version record and the editor's pictures, and holds
# no thread-exit destructor.
# cmake -DMODULE=<dll> -DOBJDUMP=<objdump> -DWINDRES=<windres> -DFORMAT=<pei-i386|pei-x86-64>
#       [-DEXPORTS=<sorted names, ',' between> -DDESCRIPTION=<text> -DORIGINAL=<file name>]
#       -P check_module.cmake
# Without EXPORTS the module is the VST 2 DLL: VSTPluginMain and main, a "VST
# Plug-In" of the file TeskDelay.dll.

cmake_policy(SET CMP0007 NEW) # run by -P, outside the project
if(NOT DEFINED EXPORTS)
  set(EXPORTS "VSTPluginMain;main")
  set(DESCRIPTION "VST Plug-In")
  set(ORIGINAL "TeskDelay.dll")
endif()
string(REPLACE "," ";" EXPORTS "${EXPORTS}")
list(GET EXPORTS 0 first_export)

function(run_tool output)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed: ${failed}")
  endif()
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

function(expect text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(SEND_ERROR "missing: ${what}")
  endif()
endfunction()

run_tool(headers ${OBJDUMP} -p ${MODULE})
# The machine type: a 32-bit host loads only i386 code, a 64-bit host only x86-64.
expect("${headers}" "file format ${FORMAT}\n" "a ${FORMAT} module")
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)+)" table "${headers}")
# Rows read "[   0] name"; brackets would confuse a CMake list, so only names are kept.
string(REGEX REPLACE "[ \t]*\\[ *[0-9]+\\] ([^\n]*)\n" "\\1;" exports "${CMAKE_MATCH_1}")
# Each row ends in ';', which leaves an empty last element that CMP0007 keeps.
list(REMOVE_ITEM exports "")
list(SORT exports)
if(NOT exports STREQUAL EXPORTS)
  message(SEND_ERROR "exports are '${exports}', expected '${EXPORTS}'")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${headers}")
foreach(import IN LISTS imports)
  string(TOLOWER "${import}" import)
  if(NOT import MATCHES "dll name: (kernel32|user32|gdi32|ole32|shell32|msvcrt|advapi32)\\.dll")
    message(SEND_ERROR "imports a library that is not the system's own: ${import}")
  endif()
endforeach()

run_tool(symbols ${OBJDUMP} -t ${MODULE})

# The hardening of cmake/hardening.cmake: the image loads at a random base (the
# 64-bit one anywhere in its address space) and its data cannot be run; the
# stack protector is GCC's libssp, linked in, so __stack_chk_fail is among the
# module's own symbols. _FORTIFY_SOURCE leaves nothing to read here: MinGW-w64
# turns a fortified sprintf into a bounded __mingw_snprintf, and our other calls
# write where the compiler cannot know the size, so no __*_chk remains.
expect("${headers}" "\n[ \t]+DYNAMIC_BASE\n" "a random base address (linked with --dynamicbase)")
expect("${headers}" "\n[ \t]+NX_COMPAT\n" "data that cannot be run (linked with --nxcompat)")
if(FORMAT STREQUAL "pei-x86-64")
  expect("${headers}" "\n[ \t]+HIGH_ENTROPY_VA\n" "a base anywhere in 64 bits (linked with --high-entropy-va)")
endif()
expect("${symbols}" " _?__stack_chk_fail\n" "the stack protector's __stack_chk_fail (built with -fstack-protector-strong)")

# A thread_local object with a destructor links in the runtime's __cxa_thread_atexit,
# which pins the DLL until the thread that made the object ends: FreeLibrary would
# leave it loaded, its file locked, for as long as the host's UI thread runs. The
# unload test sees this on the paths it drives, where Wine can run the module; this
# reads every path, without running anything.
if(NOT symbols MATCHES "${first_export}")
  message(SEND_ERROR "the symbol table of ${MODULE} is missing: cannot look for thread-exit destructors")
elseif(symbols MATCHES "__cxa_thread_atexit")
  message(SEND_ERROR "registers a thread-exit destructor (a thread_local with a destructor): FreeLibrary cannot unload it once that code ran")
endif()

run_tool(resources ${WINDRES} -i ${MODULE} -O rc)
# Every resource, the version record included, is in US English (1033).
expect("${resources}" "^[^L]*LANGUAGE 9, 1\n" "resources in US English (1033)")
expect("${resources}" "FILEVERSION 1, 2, 0, 0" "file version 1.2.0.0")
expect("${resources}" "PRODUCTVERSION 1, 2, 0, 0" "product version 1.2.0.0")
foreach(value "CompanyName\", \"Velmora" "FileDescription\", \"${DESCRIPTION}" "FileVersion\", \"1.0"
              "InternalName\", \"TeskDelay" "OriginalFilename\", \"${ORIGINAL}")
  expect("${resources}" "VALUE \"${value}\"" "version string ${value}")
endforeach()
foreach(id RANGE 128 143)
  expect("${resources}" "\n${id} 2 /\\* RT_BITMAP" "bitmap ${id}")
endforeach()
