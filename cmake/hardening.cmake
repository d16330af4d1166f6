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
# Debian 13's dpkg (1.22) adds two more, which we use wherever the compiler
# takes them for an ELF target, on Debian 12 as well:
#   stack clash      -fstack-clash-protection: a frame larger than a page is
#                    probed page by page as it grows, so that it cannot step
#                    over the guard page below the stack into another mapping
#   branch           x86: -fcf-protection, an ENDBR at every place an indirect
#                    call or jump may land and the shadow-stack marking;
#                    arm64: -mbranch-protection=standard, return addresses
#                    signed (PAC) and BTI landing pads
# Their marks in the ELF notes appear only where the C library's start files
# carry them too (Debian 12's do not), so the tests read them off the code.
#
# On Windows the ELF linker flags have no meaning; the PE ones are the image's
# random base (64-bit: anywhere in the address space) and data that cannot be
# run. MinGW-w64's stack protector and fortified functions live in GCC's libssp,
# which GCC links only when it sees -fstack-protector-strong on the link line;
# the -static of the toolchain file links it into the module, so that it still
# imports nothing beside the system's own libraries.
# tesk_debian13_hardening(<out>): the flags Debian 13 adds for this processor
# that the compiler takes. Windows probes every frame larger than a page itself
# (___chkstk_ms) and checks indirect branches with its own mechanism, so none of
# them is asked for a PE target.
function(tesk_debian13_hardening out)
  include(CheckCCompilerFlag)
  set(wanted -fstack-clash-protection)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
    list(APPEND wanted -fcf-protection)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    list(APPEND wanted -mbranch-protection=standard)
  endif()
  set(taken)
  foreach(flag ${wanted})
    string(MAKE_C_IDENTIFIER "TESK_TAKES${flag}" result)
    check_c_compiler_flag(${flag} ${result})
    if(${result})
      list(APPEND taken ${flag})
    endif()
  endforeach()
  set(${out} ${taken} PARENT_SCOPE)
endfunction()

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
  tesk_debian13_hardening(TESK_HARDENING_DEBIAN13_CFLAGS)
  list(APPEND TESK_HARDENING_CFLAGS ${TESK_HARDENING_DEBIAN13_CFLAGS})
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
