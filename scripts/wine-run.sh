#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Runs a Windows program under wine. The Windows toolchain files name this
# script as the cross-compiling emulator, so ctest runs the tests of the
# Windows builds as it runs native ones.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#
# From the environment (ctest sets them per test): WINEPREFIX and WINEARCH;
# ZOLTA_WINE_SESSION, the state folder of a running scripts/wine-session.sh,
# whose virtual display the program gets; ZOLTA_WINE_TIMEOUT, the seconds the
# program may take (600). The exit status is the program's.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2; exit 2; }
command -v wine >/dev/null || { echo "wine-run: wine is missing" >&2; exit 127; }

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -n "${ZOLTA_WINE_SESSION:-}" ]; then
  if [ ! -s "$ZOLTA_WINE_SESSION/display" ]; then
    echo "wine-run: no wine session is running in $ZOLTA_WINE_SESSION" >&2
    exit 1
  fi
  export DISPLAY=:$(cat "$ZOLTA_WINE_SESSION/display")
fi
limit=${ZOLTA_WINE_TIMEOUT:-600}
timeout -k 10 "$limit" wine "$@"
status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "wine-run: $1 did not end within $limit seconds; stopped" >&2
fi
exit "$status"
