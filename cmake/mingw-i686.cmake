# SPDX-License-Identifier: BSD-2-Clause
# Cross build for 32-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-i686 and binutils-mingw-w64-i686):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZOLTA_MINGW_PREFIX i686-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs built here run under wine (see cmake/wine-tests.cmake).
get_filename_component(ZOLTA_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOLTA_WINE_RUN})
