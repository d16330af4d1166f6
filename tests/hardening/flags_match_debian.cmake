# Holds the flags cmake/hardening.cmake lists to the ones dpkg-buildflags adds
# for DEB_BUILD_MAINT_OPTIONS=hardening=+all on the build's architecture: what
# +all gives beyond -all, for the preprocessor, the C and C++ compilers and the
# linker. The compiler flags Debian 13's dpkg (1.22) adds are expected on every
# dpkg, Debian 12's too. A flag Debian adds (a newer dpkg, another
# architecture) or one dropped from our lists fails here.
# cmake -DARCH=amd64|arm64 -DCPPFLAGS="..." -DCFLAGS="..." -DLDFLAGS="..."
#   -P flags_match_debian.cmake
set(debian13_amd64 -fstack-clash-protection -fcf-protection)
set(debian13_arm64 -fstack-clash-protection -mbranch-protection=standard)
if(NOT DEFINED debian13_${ARCH})
  message(FATAL_ERROR "ARCH must be amd64 or arm64, not '${ARCH}'")
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(FATAL_ERROR "dpkg-buildflags is not installed (Debian's dpkg-dev, part of build-essential: scripts/setup build)")
endif()

# debian_flags(<out> <+all|-all> <CPPFLAGS|CFLAGS|CXXFLAGS|LDFLAGS>)
function(debian_flags out features variable)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_HOST_ARCH=${ARCH} DEB_BUILD_MAINT_OPTIONS=hardening=${features}
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
  if(debian_variable MATCHES "^C(XX)?FLAGS$")
    list(APPEND hardened ${debian13_${ARCH}})
    list(REMOVE_DUPLICATES hardened)
  endif()
  list(SORT hardened)
  separate_arguments(ours UNIX_COMMAND "${${our_variable}}")
  list(SORT ours)
  if(NOT hardened STREQUAL ours)
    message(SEND_ERROR "${debian_variable}: dpkg-buildflags hardens ${ARCH} with '${hardened}' "
      "(Debian 13's additions included), cmake/hardening.cmake with '${ours}'")
    math(EXPR mismatches "${mismatches} + 1")
  endif()
endforeach()
if(mismatches EQUAL 0)
  string(JOIN " " newer ${debian13_${ARCH}})
  message("cmake/hardening.cmake has the flags of dpkg-buildflags with hardening=+all for "
    "${ARCH}, and Debian 13's ${newer}")
endif()
