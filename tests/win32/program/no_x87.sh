#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Fails when the 32-bit library's own code does x87 arithmetic: the filter's
# arithmetic is SSE single precision. Returning a float through st(0) is the
# 32-bit calling convention, so x87 loads and stores are allowed.
#   no_x87.sh OBJDUMP ARCHIVE...
set -uo pipefail
objdump=$1
shift
[ $# -gt 0 ] || { echo "no_x87: no archives given" >&2; exit 2; }
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
for archive in "$@"; do
  "$objdump" -d --no-show-raw-insn "$archive" >>"$listing" ||
    { echo "no_x87: cannot disassemble $archive" >&2; exit 1; }
done
# In AT&T syntax: the memory forms carry a size suffix (fmuls, faddl), the
# integer ones an i (fimull), the popping ones a p (faddp).
arithmetic='f(i?(add|sub|subr|mul|div|divr)[slq]?|(add|sub|subr|mul|div|divr)p|sqrt|prem1?|scale'
arithmetic+='|sin|cos|sincos|abs|chs|rndint|patan|ptan|yl2x|yl2xp1|2xm1|xtract)'
found=$(grep -E $'\t'"$arithmetic"'( |$)' "$listing")
instructions=$(grep -c $'\t' "$listing")
if [ -n "$found" ]; then
  echo "x87 arithmetic in the library's own code ($(wc -l <<<"$found") instructions):"
  head -n 20 <<<"$found"
  exit 1
fi
echo "no x87 arithmetic in $instructions instructions of $# archives"
