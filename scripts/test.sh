#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds every configuration once and runs all of zolta's tests:
#   build/       native release build: unit, exactness and end-to-end tests
#   build-asan/  clang with AddressSanitizer + UndefinedBehaviorSanitizer, plus a bounded fuzz pass
#   build-tsan/  clang with ThreadSanitizer: one denoiser shared by threads, directly and through
#                zolta-plugin in both host stand-ins; zolta-run's frame pipeline
#   build-win/   the 32-bit Windows library zolta.vdf, its tests run by ctest inside Win32
#                processes under wine
#   build-arm64/ the library, zolta-run (with Debian's multiarch libpng for arm64) and their
#                tests for 64-bit ARM, run under qemu-user: the engine's, the C interface's and
#                zolta-run's stream tests, whose outputs must be the bytes recorded on x86-64
#                (ZOLTA_ARM64_LARGE_FRAMES=1 adds the ultra-high-definition frames, ~2 minutes)
#   build-win64/, build-win32-plugin/
#                zolta-plugin for 64-bit Windows (VapourSynth and AviSynth+) and for 32-bit
#                Windows (AviSynth+), with their tests cross-built and run under wine
#   build-deb/   the Debian packages, built from a copy of the sources, checked with lintian,
#                installed (apt-get install ./*.deb), used from /usr as the native tests use the
#                staged install (build/install-stage/), and purged again
#   build/real-hosts/
#                zolta-plugin in the real AviSynth+ and VapourSynth releases of
#                $ZOLTA_REAL_HOSTS, else ../shared/hosts (skipped when there is none); the
#                Windows AviSynth+ 3.7.5 (64- and 32-bit) under wine in the plugin_windows builds
#   build-win-release/
#                the Windows release archive of the three tested Windows files, unpacked and
#                checked
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=2
# Compiler results are kept between runs where ccache is installed.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
passed=0
failed=0
status=0

# Runs ctest in a build tree (further arguments go to ctest) and adds its
# counts to the totals.
run_ctest() {
  local dir=$1 log
  shift
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure --timeout 600 -j"$jobs" "$@") 2>&1 | tee "$log"
  local line total bad
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    status=1
  else
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" -eq 0 ] || status=1
  fi
  rm -f "$log"
}

section() { printf '\n==== %s ====\n' "$1"; }

# Counts a step that is one test of its own.
count_step() {
  if [ "$1" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    status=1
  fi
}

section "native build"
native_built=0
if cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null &&
   cmake --build build -j"$jobs"; then
  native_built=1
  section "native tests"
  # The OpenFX tests and the real hosts have sections of their own, below.
  run_ctest build -LE '^(ofx|real_host)$'
else
  echo "native build failed"; failed=$((failed + 1)); status=1
fi

section "zolta-plugin in the real hosts (AviSynth+ 3.7.0-dev, VapourSynth R55-R77)"
# Built in build/ for each release's interface version; each release runs in a
# child process. The Windows AviSynth+ runs in the plugin_windows sections
# below and compares its frames with the Linux 3.7.5's, written here.
real_hosts=${ZOLTA_REAL_HOSTS:-$(cd .. && pwd)/shared/hosts}
if [ ! -d "$real_hosts" ]; then
  echo "skipped: no real hosts in $real_hosts (ZOLTA_REAL_HOSTS, else ../shared/hosts)"
elif [ "$native_built" = 1 ]; then
  run_ctest build -L real_host
else
  echo "skipped: the native build failed"; count_step 1
fi

section "OpenFX effect in a host built on the SDK's HostSupport"
# zolta.ofx.bundle loaded from OFX_PLUGIN_PATH by tests/ofx's host, its frames
# against the library's; the SDK's source comes from the real hosts' folder.
if [ "$native_built" = 1 ] && [ -x build/tests/ofx/zolta_ofx_host_tests ]; then
  run_ctest build -L '^ofx$'
else
  echo "skipped: no OpenFX SDK source (\$ZOLTA_REAL_HOSTS/src or ../shared/hosts/src) or no expat"
fi

section "Debian packages (built, lintian, installed, used from /usr, purged)"
if [ "$native_built" = 1 ]; then
  bash tests/install/debian_packages.sh build build-deb
  count_step $?
else
  echo "skipped: the installed packages are compared with the native build"; count_step 1
fi

section "sanitizer build (clang, ASan + UBSan, fuzzing)"
if CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DZOLTA_SANITIZE=ON -DZOLTA_FUZZ=ON -DZOLTA_BENCH=OFF >/dev/null &&
   cmake --build build-asan -j"$jobs"; then
  section "sanitizer tests"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest build-asan
else
  echo "sanitizer build failed"; failed=$((failed + 1)); status=1
fi

section "ARM64 cross build, tests under qemu"
if cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
     -DCMAKE_BUILD_TYPE=Release -DZOLTA_EMULATED_TESTS=ON >/dev/null &&
   cmake --build build-arm64 -j"$jobs"; then
  section "ARM64 tests (plain path, qemu-aarch64)"
  # The peak-memory tests of zolta-run measure qemu there, not the program:
  # they run natively only.
  skip='^ZoltaRun\.(MemoryStaysFlat|AMemoryBudget)'
  if [ "${ZOLTA_ARM64_LARGE_FRAMES:-0}" != 1 ]; then
    skip="$skip|^LargeFrames\."
  fi
  run_ctest build-arm64 -E "$skip"
else
  echo "ARM64 cross build failed"; failed=$((failed + 1)); status=1
fi

section "thread sanitizer build (clang, the threaded code)"
# Several threads share one denoiser, directly and through zolta-plugin in the
# host stand-ins (AviSynth+: the oldest and the newest interface); one frame shared by a
# denoiser's workers; zolta-run's frame pipeline alone and on the engine.
# ThreadSanitizer stops the run at the first data race.
if CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DZOLTA_TSAN=ON -DZOLTA_BENCH=OFF >/dev/null &&
   cmake --build build-tsan -j"$jobs" --target zolta_api_thread_tests zolta_run_format_tests \
     zolta_run_end_to_end_tests zolta_plugin_vs_tests zolta_plugin_avs_tests_8 \
     zolta_plugin_avs_tests_12; then
  section "thread sanitizer tests"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run_ctest build-tsan \
      -R '^(Threads|FrameThreads|Pipeline|VsPluginTest|avsplus(8|12)[.]AvsPluginTest)[.]|^ZoltaRun[.]EveryYuv4mpegLayout'
else
  echo "thread sanitizer build failed"; failed=$((failed + 1)); status=1
fi

# The OpenFX effect and the copies it runs on its test host's threads, when
# the OpenFX tests are built (the SDK's source at hand).
if [ -f build-tsan/CMakeCache.txt ] &&
   cmake --build build-tsan --target help 2>/dev/null | grep -q 'zolta_ofx_host_tests'; then
  section "thread sanitizer: the OpenFX effect in its HostSupport host"
  if cmake --build build-tsan -j"$jobs" --target zolta_ofx zolta_ofx_host_tests; then
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      run_ctest build-tsan -R '^Ofx(Host|MalformedHost)[.]'
  else
    echo "thread sanitizer build of the OpenFX tests failed"; failed=$((failed + 1)); status=1
  fi
fi

section "Win32 cross build (mingw-w64)"
# Its tests run each Windows test program under wine and compare its frames
# with the native build's.
if cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
     -DCMAKE_BUILD_TYPE=Release -DZOLTA_NATIVE_BUILD="$PWD/build" >/dev/null &&
   cmake --build build-win -j"$jobs"; then
  section "Win32 tests under wine"
  run_ctest build-win
else
  echo "Win32 cross build failed"; failed=$((failed + 1)); status=1
fi

# zolta-plugin for Windows: the module, the stand-in hosts (AviSynth.dll) and
# the tests cross-built, the tests run by ctest under wine, each build in its
# own wine prefix.
plugin_windows() {
  local dir=$1 toolchain=$2 arch=$3
  section "zolta-plugin for Windows ($dir)"
  if cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain" \
       -DZOLTA_MINGW_THREADS=posix -DZOLTA_ONLY_PLUGIN=ON -DCMAKE_BUILD_TYPE=Release >/dev/null &&
     cmake --build "$dir" -j"$jobs"; then
    export WINEPREFIX=$PWD/$dir/wineprefix WINEARCH=$arch WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    timeout 30 wineserver -k >/dev/null 2>&1
    [ -f "$WINEPREFIX/system.reg" ] || timeout 300 wineboot -i >/dev/null 2>&1
    run_ctest "$dir"
    timeout 30 wineserver -k >/dev/null 2>&1
    unset WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
  else
    echo "cross build in $dir failed"; failed=$((failed + 1)); status=1
  fi
}
plugin_windows build-win64 mingw-x86_64.cmake win64
plugin_windows build-win32-plugin mingw-i686.cmake win32

section "Windows release archive"
# The three files the wine tests above ran and the Win64 OpenFX bundle, with the
# README, doc/hosts.md and an install text, in one zip; unpacked again, each DLL's bytes, exports and imports checked.
rm -rf build-win-release
if cmake -DVDF=build-win/zolta.vdf -DPLUGIN64=build-win64/zolta_plugin.dll \
     -DPLUGIN32=build-win32-plugin/zolta_plugin.dll -DOFX64=build-win64/ofx/zolta.ofx.bundle \
     -DOUT=build-win-release \
     -P packaging/windows/archive.cmake; then
  cmake -DARCHIVE="$(ls build-win-release/zolta-*-windows.zip)" -DVDF=build-win/zolta.vdf \
    -DPLUGIN64=build-win64/zolta_plugin.dll -DPLUGIN32=build-win32-plugin/zolta_plugin.dll \
    -DOFX64=build-win64/ofx/zolta.ofx.bundle -DOBJDUMP32=i686-w64-mingw32-objdump -DOBJDUMP64=x86_64-w64-mingw32-objdump \
    -P tests/install/windows_archive.cmake
  count_step $?
  cmake -E tar tvf build-win-release/zolta-*-windows.zip
else
  echo "the Windows release archive could not be made"; count_step 1
fi

echo
echo "tests: $passed passed, $failed failed"
exit $status
