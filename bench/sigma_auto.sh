#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# How close --sigma auto comes to the best noise level zolta-run can be given.
# Clips of 40 frames, 384 x 256, 4:2:0 8-bit, cut from data/astronaut.png and
# data/coffee.png, still and panning 2 px right and 1 px down per frame, with
# Gaussian noise of sigma 2, 5 and 10 on every plane (tools/temporal_table/
# temporal_grid --clips, seed 2026). For each clip: the luma noise --estimate
# reads, the PSNR with --sigma auto, and the best PSNR of --sigma s over
# s = sigma x 0.5, 0.6, ..., 2 (the grid), all at radius 0, PSNR in dB over
# every sample against the clean clip. With BEFORE=DIR, a second zolta-run
# (an earlier build) is measured beside the first.
# usage: bench/sigma_auto.sh [BUILD_DIR]        (needs zolta-run and temporal_grid)
#        BEFORE=/path/to/old/build bench/sigma_auto.sh build
#        SIGMAS="5" CLIPS="coffee-still" bench/sigma_auto.sh   a part of it
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
Z=$build/zolta-run
G=$build/tools/temporal_grid
before=${BEFORE:-}
for tool in "$Z" "$G" ${before:+"$before/zolta-run"}; do
  [ -x "$tool" ] || { echo "sigma_auto.sh: $tool not found; build it first" >&2; exit 1; }
done
sigmas=${SIGMAS:-"2 5 10"}
clips=${CLIPS:-"astronaut-still astronaut-pan coffee-still coffee-pan"}
factors="0.5 0.6 0.7 0.8 0.9 1 1.1 1.25 1.4 1.6 1.8 2"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$G" --clips "$work" --sigmas "$(echo "$sigmas" | tr ' ' ',')" \
  "$root/data/astronaut.png" "$root/data/coffee.png" >/dev/null

# Luma noise --estimate reads: measured ZOLTA_RUN NOISY
measured() { "$1" --estimate "$2" | sed -n 's/.*: Y \([0-9.]*\).*/\1/p'; }
# PSNR of zolta-run with the given arguments: score ZOLTA_RUN CLEAN NOISY ARGS...
score() {
  local z=$1 clean=$2 noisy=$3
  shift 3
  "$z" --threads 2 "$@" "$noisy" "$work/out.y4m"
  "$G" --psnr "$clean" "$work/out.y4m"
}

if [ -n "$before" ]; then
  echo "| clip | σ | noisy | Y read before | auto before | Y read now | auto now | grid best (at σ) | now − best |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
else
  echo "| clip | σ | noisy | Y read | auto | grid best (at σ) | auto − best |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
fi
for s in $sigmas; do
  for c in $clips; do
    clean=$work/$c-clean.y4m
    noisy=$work/$c-s$s.y4m
    top="" top_at=""
    for f in $factors; do
      at=$(echo "$s * $f" | bc -l | xargs printf '%.2f')
      p=$(score "$Z" "$clean" "$noisy" --sigma "$at")
      if [ -z "$top" ] || awk "BEGIN{exit !($p > $top)}"; then top=$p; top_at=$at; fi
    done
    auto=$(score "$Z" "$clean" "$noisy" --sigma auto)
    gap=$(awk "BEGIN{printf \"%+.2f\", $auto - $top}")
    row="| $c | $s | $("$G" --psnr "$clean" "$noisy")"
    if [ -n "$before" ]; then
      row="$row | $(measured "$before/zolta-run" "$noisy") | $(score "$before/zolta-run" "$clean" "$noisy" --sigma auto)"
    fi
    echo "$row | $(measured "$Z" "$noisy") | $auto | $top ($top_at) | $gap |"
  done
done
