# SPDX-License-Identifier: BSD-2-Clause
# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the
# test programs run under qemu-user:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DZOLTA_EMULATED_TESTS=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ZOLTA_ARM64_PREFIX aarch64-linux-gnu)
find_program(ZOLTA_ARM64_CC NAMES ${ZOLTA_ARM64_PREFIX}-gcc REQUIRED)
find_program(ZOLTA_ARM64_CXX NAMES ${ZOLTA_ARM64_PREFIX}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${ZOLTA_ARM64_CC})
set(CMAKE_CXX_COMPILER ${ZOLTA_ARM64_CXX})

# The cross toolchain's own root, then Debian's multiarch folders for the
# target's libraries (libpng-dev:arm64 for zolta-run: /usr/lib/aarch64-linux-gnu,
# headers in /usr/include, which the cross compiler searches after its own).
set(CMAKE_FIND_ROOT_PATH /usr/${ZOLTA_ARM64_PREFIX} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built here run under qemu with the cross toolchain's runtime:
# its loader (-L) and, first on the library path, its libc, so that loader and
# libc come from one glibc. Debian's multiarch libc6:arm64 (brought by
# libpng-dev:arm64) is listed in the machine's loader cache; found before the
# toolchain's own, it hangs the first pthread_create. The multiarch folder
# comes second, for libpng and zlib.
find_program(ZOLTA_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static REQUIRED)
set(ZOLTA_ARM64_LIBRARY_PATH /usr/${ZOLTA_ARM64_PREFIX}/lib:/usr/lib/${ZOLTA_ARM64_PREFIX})
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLTA_QEMU_AARCH64} -L /usr/${ZOLTA_ARM64_PREFIX}
    -E LD_LIBRARY_PATH=${ZOLTA_ARM64_LIBRARY_PATH})
