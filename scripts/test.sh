#!/usr/bin/env bash
# Builds every configuration once and runs all of zolta's tests:
#   build/       native release build: unit, exactness and end-to-end tests
#   build-asan/  clang with AddressSanitizer + UndefinedBehaviorSanitizer, plus a bounded fuzz pass
#   build-tsan/  clang with ThreadSanitizer: the frame pipeline's tests and zolta-run in parallel
#   build-win/   the 32-bit Windows library zolta.vdf, tested inside Win32 processes under wine
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=2
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

section "native build"
if cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null &&
   cmake --build build -j"$jobs"; then
  section "native tests"
  run_ctest build
else
  echo "native build failed"; failed=$((failed + 1)); status=1
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

section "thread sanitizer build (clang, TSan: zolta-run's frame pipeline, alone and on the engine)"
if CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DZOLTA_THREAD_SANITIZE=ON -DZOLTA_BENCH=OFF >/dev/null &&
   cmake --build build-tsan -j"$jobs" --target zolta_run_format_tests zolta_run_end_to_end_tests; then
  section "thread sanitizer tests"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run_ctest build-tsan -R '^(Pipeline\.|ZoltaRun\.EveryYuv4mpegLayout)'
else
  echo "thread sanitizer build failed"; failed=$((failed + 1)); status=1
fi

if [ -f scripts/win32-tests.sh ]; then
  section "Win32 library under wine"
  log=$(mktemp)
  ZOLTA_NATIVE_BUILD=$PWD/build bash scripts/win32-tests.sh 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
  fi
  if [ "$rc" -ne 0 ]; then
    status=1
    [ -n "$line" ] || failed=$((failed + 1))
  fi
  rm -f "$log"
fi

echo
echo "tests: $passed passed, $failed failed"
exit $status
