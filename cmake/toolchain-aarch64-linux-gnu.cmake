# Cross-building for 64-bit ARM Linux (aarch64) with Debian's cross compiler
# (g++-aarch64-linux-gnu), against Debian's arm64 libraries unpacked into a
# sysroot of their own by `scripts/setup arm64` (build/arm64-sysroot; set
# TESK_ARM64_SYSROOT in the environment for another). The cross compiler keeps
# its own C library and C++ headers; the sysroot adds the libraries the
# plug-in and its tests link, and is the guest's root for qemu-aarch64, which
# runs the tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

if(DEFINED ENV{TESK_ARM64_SYSROOT})
  set(TESK_ARM64_SYSROOT $ENV{TESK_ARM64_SYSROOT})
else()
  get_filename_component(TESK_ARM64_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../build/arm64-sysroot
    ABSOLUTE)
endif()
if(NOT EXISTS ${TESK_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu)
  message(FATAL_ERROR "no arm64 sysroot at ${TESK_ARM64_SYSROOT}: run scripts/setup arm64")
endif()

# Libraries, headers and CMake packages from the sysroot only; programs from this machine.
set(CMAKE_FIND_ROOT_PATH ${TESK_ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${TESK_ARM64_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
  "${TESK_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${TESK_ARM64_SYSROOT}/usr/share/pkgconfig")

# The libraries' headers after the compiler's own, so that the sysroot never
# stands in for the C library's; the libraries' own dependencies are found
# in the sysroot when linking.
set(tesk_sysroot_includes
  "-idirafter ${TESK_ARM64_SYSROOT}/usr/include/aarch64-linux-gnu -idirafter ${TESK_ARM64_SYSROOT}/usr/include")
set(CMAKE_C_FLAGS_INIT "${tesk_sysroot_includes}")
set(CMAKE_CXX_FLAGS_INIT "${tesk_sysroot_includes}")
set(tesk_sysroot_links
  "-Wl,-rpath-link,${TESK_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu:${TESK_ARM64_SYSROOT}/lib/aarch64-linux-gnu")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${tesk_sysroot_links}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${tesk_sysroot_links}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${tesk_sysroot_links}")

# Test programs run under qemu-aarch64, the sysroot standing for / when they
# load libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static;-L;${TESK_ARM64_SYSROOT})
