# SPDX-License-Identifier: BSD-2-Clause
# What the tests of scripts/split-denoise.sh share, sourced by each with
# ZOLTA_RUN as its first argument: the script, a work folder removed at the
# end, ffmpeg's quiet command line, and check NAME COMMAND... counting
# passes and failures.
zolta=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
split=$root/scripts/split-denoise.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # name command...
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); fi
}
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
