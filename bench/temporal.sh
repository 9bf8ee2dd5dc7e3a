#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# The temporal radius side by side with ffmpeg's denoisers that work across
# frames (hqdn3d, atadenoise, nlmeans) and its wavelet one (vaguedenoiser).
# Clips of 40 frames, 384 x 256, 4:2:0 8-bit, cut from data/astronaut.png
# and data/coffee.png, still and panning 2 px right and 1 px down per frame,
# Gaussian noise of sigma 10 and 20 on every plane (tools/temporal_table/
# temporal_grid --clips, seed 2026). PSNR over every sample of the clip
# against the clean clip; each peer at the best point of a small grid of its
# settings, zolta with the settings for the given noise (--sigma S) and
# measured (--sigma auto) at radius 0, 1 and 2. "lowest frame" is the lowest
# per-frame PSNR gain over radius 0 (negative: some frame lost).
# usage: bench/temporal.sh [BUILD_DIR]   (needs zolta-run, temporal_grid, ffmpeg)
#        SIGMAS="10" CLIPS="astronaut-still" bench/temporal.sh   a part of it
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
Z=$build/zolta-run
G=$build/tools/temporal_grid
for tool in "$Z" "$G"; do
  [ -x "$tool" ] || { echo "temporal.sh: $tool not found; build it first" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "temporal.sh: ffmpeg is not installed" >&2; exit 1; }
sigmas=${SIGMAS:-"10 20"}
clips=${CLIPS:-"astronaut-still astronaut-pan coffee-still coffee-pan"}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$G" --clips "$work" --sigmas "$(echo "$sigmas" | tr ' ' ',')" \
  "$root/data/astronaut.png" "$root/data/coffee.png"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -filter_threads 1)

# Best PSNR of a peer over its grid: best NAME CLEAN NOISY FILTER...
best() {
  local name=$1 clean=$2 noisy=$3 top="" top_filter="" p
  shift 3
  for filter in "$@"; do
    "${ff[@]}" -i "$noisy" -vf "$filter" -pix_fmt yuv420p -f yuv4mpegpipe "$work/peer.y4m"
    p=$("$G" --psnr "$clean" "$work/peer.y4m")
    if [ -z "$top" ] || awk "BEGIN{exit !($p > $top)}"; then top=$p; top_filter=$filter; fi
  done
  printf '| %s | %s | `%s` |\n' "$name" "$top" "$top_filter"
}

for s in $sigmas; do
  for c in $clips; do
    clean=$work/$c-clean.y4m
    noisy=$work/$c-s$s.y4m
    echo
    echo "### $c, sigma $s (noisy: $("$G" --psnr "$clean" "$noisy") dB)"
    echo
    echo "| denoiser | PSNR dB | settings |"
    echo "|---|---:|---|"
    for mode in "$s" auto; do
      for r in 0 1 2; do
        "$Z" --threads 2 --temporal $r --sigma $mode "$noisy" "$work/z$r.y4m"
        if [ $r = 0 ]; then
          printf '| zolta radius 0 | %s | `--sigma %s` |\n' "$("$G" --psnr "$clean" "$work/z0.y4m")" "$mode"
        else
          read -r p low < <("$G" --psnr "$clean" "$work/z$r.y4m" "$work/z0.y4m")
          printf '| zolta radius %s | %s | `--temporal %s --sigma %s` (lowest frame %s) |\n' \
            "$r" "$p" "$r" "$mode" "$low"
        fi
      done
    done
    hq=()
    for ls in 4 10 20 40; do
      for lt in 6 15 30; do hq+=("hqdn3d=$ls:$(echo "$ls*3/4" | bc -l | xargs printf '%.2f'):$lt:$lt"); done
    done
    best hqdn3d "$clean" "$noisy" "${hq[@]}"
    ata=()
    for a in 0.1 0.2 0.3; do
      for b in 0.4 1 2; do ata+=("atadenoise=0a=$a:1a=$a:2a=$a:0b=$b:1b=$b:2b=$b:s=9"); done
    done
    best atadenoise "$clean" "$noisy" "${ata[@]}"
    best nlmeans "$clean" "$noisy" "nlmeans=s=$((s / 2)):p=7:r=9" "nlmeans=s=$((s * 4 / 5)):p=7:r=9"
    vd=()
    for t in $((s / 2)) $s $((s * 3 / 2)) $((s * 2)); do vd+=("vaguedenoiser=threshold=$t"); done
    best vaguedenoiser "$clean" "$noisy" "${vd[@]}"
  done
done
