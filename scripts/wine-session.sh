#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Starts and stops what Windows programs need to run under wine in a test
# run: a virtual X display, and the wine prefix's server with its desktop and
# system processes, kept running until stop so that each program starts fast
# and every window lands on the same display.
#
#   wine-session.sh start STATE_DIR
#   wine-session.sh stop STATE_DIR
#
# WINEPREFIX names the prefix (created on first use and kept between runs),
# WINEARCH its architecture (win32 unless set). STATE_DIR keeps the display
# number, the display server's process id and the logs; scripts/wine-run.sh
# reads the display from it (ZOLTA_WINE_SESSION=STATE_DIR). Every wait is
# bounded; the display server ends by itself after ZOLTA_WINE_SESSION_LIMIT
# seconds (3600) should stop never come.
set -uo pipefail

usage() {
  echo "usage: wine-session.sh start|stop STATE_DIR (with WINEPREFIX set)" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
state=$2
[ -n "${WINEPREFIX:-}" ] || usage
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

fail() {
  echo "wine-session: $1" >&2
  [ -n "${2:-}" ] && [ -f "$2" ] && { echo "---- last lines of $2" >&2; tail -n 20 "$2" >&2; }
  exit 1
}

# The display server we started, if it still runs: its process id.
our_display_server() {
  local pid
  [ -f "$state/xvfb.pid" ] || return 1
  pid=$(cat "$state/xvfb.pid")
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
  # A recycled process id belongs to someone else.
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q Xvfb || return 1
  echo "$pid"
}

stop() {
  local pid status=0
  if [ -f "$state/display" ]; then
    DISPLAY=:$(cat "$state/display") timeout 30 wineserver -k >/dev/null 2>&1
  fi
  if pid=$(our_display_server); then
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null
      echo "wine-session: the display server did not stop at TERM; killed" >&2
      status=1
    fi
  fi
  rm -f "$state/display" "$state/xvfb.pid"
  return $status
}

start() {
  local tool n
  for tool in wine wineserver wineboot Xvfb timeout; do
    command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/install-deps.sh)"
  done
  mkdir -p "$state" || fail "cannot create $state"
  stop >/dev/null 2>&1  # what an interrupted earlier run left

  # The server picks a free display itself and writes its number once it
  # accepts clients.
  timeout "${ZOLTA_WINE_SESSION_LIMIT:-3600}" Xvfb -displayfd 3 -screen 0 1024x768x24 \
    -nolisten tcp 3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 1 100); do
    [ -s "$state/display" ] && break
    kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$state/display" ] || { stop; fail "the virtual display did not start" "$state/xvfb.log"; }
  n=$(tr -dc 0-9 <"$state/display")
  echo "$n" >"$state/display"
  export DISPLAY=:$n

  # Every wine process sees the display, wineboot included: the first one
  # starts the prefix's desktop, and a desktop started without a display
  # cannot show windows.
  local log=$state/wine.log
  : >"$log"
  timeout 30 wineserver -k >/dev/null 2>&1  # a server left without its display
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >>"$log" 2>&1 || { stop; fail "creating the wine prefix failed" "$log"; }
    # Without a window manager on the virtual display, wine draws the window
    # frames itself, so that screenshots show the caption.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >>"$log" 2>&1
    # The server those started ends a few seconds after them.
    timeout 60 wineserver -w >/dev/null 2>&1 || timeout 30 wineserver -k >/dev/null 2>&1
  fi
  # A server that stays until stop, and its desktop and system processes
  # started now, with their output in the log: started by a test program,
  # they would hold its output open after it ends.
  timeout 30 wineserver -p >>"$log" 2>&1 || { stop; fail "the wine server did not start" "$log"; }
  timeout 120 wine cmd /c exit </dev/null >>"$log" 2>&1 ||
    { stop; fail "wine cannot run a program in $WINEPREFIX" "$log"; }
  echo "display :$n, prefix $WINEPREFIX ($WINEARCH)"
}

case $action in
  start) start ;;
  stop) stop && echo "stopped" ;;
  *) usage ;;
esac
