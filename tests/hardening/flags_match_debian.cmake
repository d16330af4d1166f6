# Holds the flags cmake/hardening.cmake lists to the ones dpkg-buildflags adds
# for DEB_BUILD_MAINT_OPTIONS=hardening=+all: what +all gives beyond -all, for
# the preprocessor, the C and C++ compilers and the linker. A flag Debian adds
# (a newer dpkg, another architecture) or one dropped from our lists fails here.
# cmake -DCPPFLAGS="..." -DCFLAGS="..." -DLDFLAGS="..." -P flags_match_debian.cmake
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(FATAL_ERROR "dpkg-buildflags is not installed (Debian's dpkg-dev, part of build-essential: scripts/setup build)")
endif()

# debian_flags(<out> <+all|-all> <CPPFLAGS|CFLAGS|CXXFLAGS|LDFLAGS>)
function(debian_flags out features variable)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${features}
      ${DPKG_BUILDFLAGS} --get ${variable}
    OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed: ${failed}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${text}")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

set(mismatches 0)
foreach(pair CPPFLAGS:CPPFLAGS CFLAGS:CFLAGS CXXFLAGS:CFLAGS LDFLAGS:LDFLAGS)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 debian_variable)
  list(GET pair 1 our_variable)
  debian_flags(hardened +all ${debian_variable})
  debian_flags(plain -all ${debian_variable})
  if(plain)
    list(REMOVE_ITEM hardened ${plain})
  endif()
  list(SORT hardened)
  separate_arguments(ours UNIX_COMMAND "${${our_variable}}")
  list(SORT ours)
  if(NOT hardened STREQUAL ours)
    message(SEND_ERROR "${debian_variable}: dpkg-buildflags hardens with '${hardened}', "
      "cmake/hardening.cmake with '${ours}'")
    math(EXPR mismatches "${mismatches} + 1")
  endif()
endforeach()
if(mismatches EQUAL 0)
  message("cmake/hardening.cmake has the flags of dpkg-buildflags with hardening=+all")
endif()
