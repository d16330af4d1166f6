# Runs a command and checks its exit status and what it printed: for programs
# whose verdict is their output, under an emulator where a test program of our
# own would cost a process more.
# cmake "-DCOMMAND=<program;args...>" -DSTATUS=<n> "-DEXPECT=<regex;...>" -P check_cli.cmake
execute_process(COMMAND ${COMMAND} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
set(printed "${out}${err}")
if(NOT status STREQUAL "${STATUS}")
  message(SEND_ERROR "exit status ${status}, expected ${STATUS}")
endif()
foreach(pattern IN LISTS EXPECT)
  if(NOT printed MATCHES "${pattern}")
    message(SEND_ERROR "the output does not match '${pattern}'")
  endif()
endforeach()
message("${printed}")
