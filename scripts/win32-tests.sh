#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds the 32-bit Windows library zolta.vdf and its test program with the
# mingw-w64 cross compiler and runs the Windows checks with ctest, each test
# program inside a Win32 process under wine (the build's cross-compiling
# emulator; the checks are listed in tests/win32/program/win32_tests.cmake).
#
#   build-win/             the cross build, its wine prefix, and the files the
#                          run writes (win32-test/: the dialog screenshot ...)
#   build-winnative/       native build of the reference digests, unless
#                          ZOLTA_NATIVE_BUILD names a configured native
#                          release build to take them from
#
# Arguments go to ctest (for example -R Dialog, or -V). Exits non-zero when a
# build or a test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${ZOLTA_NATIVE_BUILD:-$root/build-winnative}
jobs=2

if [ -z "${ZOLTA_NATIVE_BUILD:-}" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DZOLTA_BENCH=OFF \
    >/dev/null || exit 1
fi
cmake --build "$native" --target zolta_legacy_module zolta-digests -j"$jobs" >/dev/null || exit 1
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DZOLTA_NATIVE_BUILD="$native" >/dev/null || exit 1
cmake --build build-win -j"$jobs" || exit 1
cd build-win && ctest --output-on-failure --timeout 600 -j"$jobs" "$@"
