# Hardening of every program and module we build, as Debian builds its own
# packages: the flags dpkg-buildflags gives with
# DEB_BUILD_MAINT_OPTIONS=hardening=+all (dpkg 1.21, Debian 12), written out
# here rather than asked of dpkg-buildflags at configure time. Its answer also
# carries flags that are not hardening (-g -O2 would override the presets'
# optimisation), changes with the environment (DEB_*FLAGS_APPEND,
# /etc/dpkg/buildflags.conf) and describes the build machine, not a MinGW
# target; written out, the release build, the packages made from it and every
# developer's build get the same flags. The test hardening.flags_match_debian
# holds these lists to dpkg-buildflags, so that Debian adding a flag shows up.
#
#   stack protector  -fstack-protector-strong: a canary in every function with
#                    a local array or a local whose address is taken
#   format           -Wformat -Werror=format-security
#   fortify          -D_FORTIFY_SOURCE=2: memcpy, snprintf & co. checked against
#                    the size of the object they write, where the compiler knows it
#   relro, bindnow   (ELF) the relocations resolved at load, then made read-only
#   pie              (ELF) programs load at a random address: Debian's GCC and
#                    clang build them so already; CheckPIESupported says so to
#                    any other compiler
#
# On Windows the ELF linker flags have no meaning; the PE ones are the image's
# random base (64-bit: anywhere in the address space) and data that cannot be
# run. MinGW-w64's stack protector and fortified functions live in GCC's libssp,
# which GCC links only when it sees -fstack-protector-strong on the link line;
# the -static of the toolchain file links it into the module, so that it still
# imports nothing beside the system's own libraries.
set(TESK_HARDENING_CPPFLAGS -D_FORTIFY_SOURCE=2)
set(TESK_HARDENING_CFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
if(WIN32)
  set(TESK_HARDENING_LDFLAGS -fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND TESK_HARDENING_LDFLAGS -Wl,--high-entropy-va)
  endif()
else()
  set(TESK_HARDENING_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  include(CheckPIESupported)
  check_pie_supported()
endif()

# _FORTIFY_SOURCE needs the optimiser (at -O0 glibc only warns that it does
# nothing, and -Werror stops the build there), and the address and thread
# sanitizers intercept memcpy, memset, strcpy and read but not glibc's
# __memcpy_chk, __memset_chk, __strcpy_chk and __read_chk, so fortified calls
# would go unchecked by them: the debug build and the sanitizer builds go without.
string(REGEX MATCH "-fsanitize=[^ ]*(address|thread|memory)" TESK_SANITIZED
  "${CMAKE_C_FLAGS} ${CMAKE_CXX_FLAGS}")
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT TESK_SANITIZED)
  set(TESK_FORTIFY ON)
else()
  set(TESK_FORTIFY OFF)
endif()

if(TESK_FORTIFY)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${TESK_HARDENING_CPPFLAGS}>")
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${TESK_HARDENING_CFLAGS}>")
add_link_options(${TESK_HARDENING_LDFLAGS})
