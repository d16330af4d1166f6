# Reads each built module's dynamic symbols: none may import __cxa_thread_atexit,
# which a thread_local object with a destructor registers its destructor with. glibc
# keeps a module with such a destructor pending loaded until the thread that made
# the object ends, so a host could never unload it. The unload test sees this only
# on the paths it drives; this sees every path.
# cmake -DNM=<nm> "-DMODULES=<module>;..." -P check_no_thread_exit_destructors.cmake

foreach(module IN LISTS MODULES)
  execute_process(COMMAND ${NM} -D --undefined-only ${module}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} cannot read ${module}: ${failed}")
  endif()
  if(NOT symbols MATCHES "__cxa_finalize")
    # Every C++ module of ours imports it: without it the listing is not what we think.
    message(FATAL_ERROR "${NM} listed no imports of ${module}")
  endif()
  if(symbols MATCHES "__cxa_thread_atexit")
    message(SEND_ERROR "${module} registers a thread-exit destructor (a thread_local with a destructor): it cannot be unloaded once that code ran")
  endif()
endforeach()
