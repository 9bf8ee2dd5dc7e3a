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

set(CMAKE_FIND_ROOT_PATH /usr/${ZOLTA_ARM64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built here run under qemu with the cross toolchain's runtime.
find_program(ZOLTA_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLTA_QEMU_AARCH64} -L /usr/${ZOLTA_ARM64_PREFIX})
