#!/usr/bin/env bash
# Builds the 32-bit Windows library zolta.vdf and its test program with the
# mingw-w64 cross compiler, and runs the tests inside a Win32 process under
# wine, with a virtual X display for the dialog.
#
#   build-win/             the cross build, its wine prefix and the test output
#   build-winnative/       native build of the reference digests, unless
#                          ZOLTA_NATIVE_BUILD names a configured native
#                          release build to take them from (the test command
#                          passes its own, so that it is built only once)
#
# Ends with a line "N passed, N failed" that counts the checks made here and
# the test groups of the Windows program; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=$root/build-win
native=${ZOLTA_NATIVE_BUILD:-$root/build-winnative}
out=$win/win32-test
jobs=2

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "[  OK  ] $1"; }
fail() { failed=$((failed + 1)); echo "[ FAIL ] $1"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}
# Prints the last lines of a log after a failed step.
show_tail() { echo "---- last lines of $1"; tail -n "${2:-40}" "$1"; echo "----"; }

for tool in i686-w64-mingw32-g++ i686-w64-mingw32-objdump wine wineserver Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    fail "tool $tool is missing (run scripts/install-deps.sh)"
    finish
  fi
done
mkdir -p "$out"

# ---- cross build -------------------------------------------------------------
log=$out/build-win.log
if timeout 900 cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
     -DCMAKE_BUILD_TYPE=Release >"$log" 2>&1 &&
   timeout 900 cmake --build "$win" --target zolta zolta-win32-tests -j"$jobs" >>"$log" 2>&1; then
  pass "cross build of zolta.vdf and zolta-win32-tests.exe"
else
  fail "cross build of zolta.vdf and zolta-win32-tests.exe"
  show_tail "$log"
  finish
fi

# ---- native reference digests --------------------------------------------------
log=$out/build-native.log
if { [ -n "${ZOLTA_NATIVE_BUILD:-}" ] ||
     timeout 900 cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DZOLTA_TESTS=OFF \
       -DZOLTA_BENCH=OFF >"$log" 2>&1; } &&
   timeout 900 cmake --build "$native" --target zolta zolta-digests -j"$jobs" >>"$log" 2>&1 &&
   timeout 300 "$native/win32-host/zolta-digests" --library "$native/libzolta.so" \
     --photo "$root/data/astronaut.png" --write-picture "$out/astronaut.rgb32" --work "$out" \
     >"$out/native-digests.txt" 2>>"$log"; then
  pass "native reference digests ($(wc -l <"$out/native-digests.txt") frames)"
else
  fail "native reference digests"
  show_tail "$log"
  rm -f "$out/native-digests.txt"
fi

# ---- no x87 arithmetic in the library's own code --------------------------------
# Returning a float through st(0) is the 32-bit calling convention, so loads and
# stores are allowed; arithmetic must all be SSE.
x87=$(for lib in "$win"/engine/libzolta_engine.a "$win"/vdub/libzolta_vdub.a \
                 "$win"/avs/libzolta_avs.a; do
        [ -f "$lib" ] && i686-w64-mingw32-objdump -d --no-show-raw-insn "$lib"
      done | grep -E -c $'\t''f(add|sub|subr|mul|div|divr|sqrt|prem|scale|sin|cos|abs|chs)p?( |$)')
if [ -f "$win/engine/libzolta_engine.a" ] && [ "$x87" -eq 0 ]; then
  pass "no x87 arithmetic in the library's own code"
else
  fail "x87 arithmetic instructions in the library's own code: $x87"
fi

# ---- virtual display and wine prefix ----------------------------------------------
display=""
xvfb_pid=""
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
}
trap cleanup EXIT

for n in $(seq 91 140); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  timeout 900 Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do
    [ -e /tmp/.X11-unix/X$n ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e /tmp/.X11-unix/X$n ]; then
    display=":$n"
    break
  fi
  kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
if [ -z "$display" ]; then
  fail "starting a virtual X display"
  show_tail "$out/xvfb.log"
  finish
fi

# Every wine process, wineboot included, sees the display: the first one
# starts the prefix's desktop, and a desktop started without a display
# cannot show windows.
export DISPLAY=$display
export WINEPREFIX=$win/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
timeout 30 wineserver -k >/dev/null 2>&1  # a server left from an earlier run
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! timeout 300 wineboot -i >"$out/wineboot.log" 2>&1; then
    fail "creating the wine prefix"
    show_tail "$out/wineboot.log"
    finish
  fi
  # Without a window manager on the virtual display, wine draws the window
  # frames itself, so that the screenshot shows the dialog's caption.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
    >>"$out/wineboot.log" 2>&1
fi

# ---- the Win32 run ---------------------------------------------------------------
args=(--out win32-test --def ../zolta.def)
[ -s "$out/native-digests.txt" ] && args+=(--digests win32-test/native-digests.txt)
[ -s "$out/astronaut.rgb32" ] && args+=(--picture win32-test/astronaut.rgb32)
log=$out/win32-tests.log
(cd "$win" && timeout 600 wine ./zolta-win32-tests.exe "${args[@]}") >"$log" 2>&1
rc=$?
cleanup

# The program's own lines, without wine's chatter about the environment.
grep -v -E '^(fixme|err|warn|trace):' "$log" | sed 's/\r$//'
line=$(sed 's/\r$//' "$log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
if [ -n "$line" ]; then
  passed=$((passed + ${line%% *}))
  n=${line#*, }
  failed=$((failed + ${n%% *}))
fi
if [ -z "$line" ] || { [ "$rc" -ne 0 ] && [ "${n%% *}" -eq 0 ]; }; then
  fail "zolta-win32-tests.exe ended with status $rc"
  show_tail "$log" 60
fi
[ -f "$out/dialog.png" ] && echo "dialog screenshot: $out/dialog.png"
finish
