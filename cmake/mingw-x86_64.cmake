# SPDX-License-Identifier: BSD-2-Clause
# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-x86-64 and binutils-mingw-w64-x86-64):
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(ZOLTA_MINGW_PREFIX x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs built here run under 64-bit wine.
find_program(ZOLTA_WINE64 NAMES wine64 wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLTA_WINE64})
