#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Side by side with ffmpeg's wavelet and spatial denoisers (vaguedenoiser,
# owdenoise, hqdn3d), one thread each. Prints markdown tables:
#   1. quality: the bundled photograph with Gaussian noise (sigma 10, fixed
#      seed), PSNR of each denoiser at the best of a small grid of its settings;
#   2. starting points: zolta's best settings for light, medium and strong noise
#      (sigma 5, 10, 20);
#   3. speed: a 720 x 480 4:2:2 clip of 100 noisy frames, frames per second.
# usage: bench/compare.sh [BUILD_DIR]   (default: build; needs zolta-run and ffmpeg)
#        QUICK=1 bench/compare.sh ...    smaller grids, for a quick look
#        SPEED_ONLY=1 bench/compare.sh ... the speed table only
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
Z=$build/zolta-run
picture=$root/data/astronaut.png
[ -x "$Z" ] || { echo "compare.sh: $Z not found; build the zolta-run target first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "compare.sh: ffmpeg is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -filter_threads 1)
quick=${QUICK:-0}

# PSNR in dB of a picture against the clean photograph, over the R, G and B bytes.
psnr() {
  ffmpeg -hide_banner -nostdin -i "$picture" -i "$1" \
    -lavfi "[0:v]format=gbrp[a];[1:v]format=gbrp[b];[a][b]psnr" -f null - 2>&1 |
    sed -n 's/.*average:\([0-9.]*\).*/\1/p' | tail -n 1 | xargs printf '%.2f'
}

# Best of the lines "PSNR<TAB>settings" on standard input.
best() { sort -t$'\t' -k1,1 -g -r | head -n 1; }

pack() { echo $(($1 * 256 + $1)); }  # one level on, same threshold along rows and columns

zolta_config() {  # Y levels 0..2, then Cb and Cr share the chroma levels 0..2
  local y0 y1 y2 c0 c1 c2
  y0=$(pack "$1"); y1=$(pack "$2"); y2=$(pack "$3")
  c0=$(pack "$4"); c1=$(pack "$5"); c2=$(pack "$6")
  echo "Config($y0, $y1, $y2, $c0, $c1, $c2, $c0, $c1, $c2)"
}

zolta_try() {  # noisy.png y0 y1 y2 c0 c1 c2 -> "PSNR<TAB>Config(...)"
  local noisy=$1 cfg
  shift
  cfg=$(zolta_config "$@")
  "$Z" --config "$cfg" "$noisy" "$work/z.png"
  printf '%s\t%s\n' "$(psnr "$work/z.png")" "$cfg"
}

# Two stages: luma levels with chroma alike, then chroma levels with that luma.
zolta_best() {  # noisy.png -> "PSNR<TAB>Config(...)"
  local noisy=$1 l0s l1s l2s c0s c1s c2s a b c
  if [ "$quick" = 1 ]; then
    l0s="128 192 255"; l1s="32 96"; l2s="0 32"; c0s="160 255"; c1s="64 128"; c2s="0 64"
  else
    l0s="96 128 160 192 224 255"; l1s="32 64 96 128"; l2s="0 32 64"
    c0s="128 160 192 224 255"; c1s="32 64 96 128 160"; c2s="0 32 64 96"
  fi
  local luma
  luma=$(for a in $l0s; do for b in $l1s; do for c in $l2s; do
    zolta_try "$noisy" "$a" "$b" "$c" "$a" "$b" "$c" | sed "s/\$/\t$a $b $c/"
  done; done; done | best)
  read -r a b c <<<"$(cut -f3 <<<"$luma")"
  for x in $c0s; do for y in $c1s; do for w in $c2s; do
    zolta_try "$noisy" "$a" "$b" "$c" "$x" "$y" "$w"
  done; done; done | { cut -f1,2 <<<"$luma"; cat; } | best
}

ffmpeg_try() {  # noisy.png filterchain -> "PSNR<TAB>filterchain"
  "${ff[@]}" -i "$1" -vf "$2,format=rgb24" "$work/f.png"
  printf '%s\t%s\n' "$(psnr "$work/f.png")" "$2"
}

vague_best() {
  local t m
  for t in 2 4 6 8 10 12 14 16 20 24; do for m in soft garrote hard; do
    ffmpeg_try "$1" "format=gbrp,vaguedenoiser=threshold=$t:method=$m"
  done; done | best
}

owdenoise_best() {
  local l c
  for l in 2 4 6 8 12 16; do for c in 2 6 12 24; do
    ffmpeg_try "$1" "format=yuv444p,owdenoise=depth=8:ls=$l:cs=$c"
  done; done | best
}

hqdn3d_best() {
  local l c
  for l in 6 10 14 18 24 32; do for c in 4 8 12 16 24; do
    ffmpeg_try "$1" "format=yuv444p,hqdn3d=luma_spatial=$l:chroma_spatial=$c"
  done; done | best
}

noisy_picture() {  # sigma -> path of the noisy photograph, made by zolta-run's demo
  "$Z" --demo --sigma "$1" --out-dir "$work/s$1" >/dev/null
  echo "$work/s$1/astronaut-noisy.png"
}

echo "zolta side by side: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3)"
echo

if [ "${SPEED_ONLY:-0}" != 1 ]; then
# ---------------------------------------------------------------- quality
noisy10=$(noisy_picture 10)
echo "### Quality: astronaut.png, Gaussian noise sigma 10, seed 2026 (PSNR over RGB)"
echo
echo "| denoiser | best settings of the grid | PSNR (dB) | gain (dB) |"
echo "|---|---|---:|---:|"
n10=$(psnr "$noisy10")
echo "| (noisy input) | | $n10 | |"
row() {  # name "PSNR<TAB>settings"
  local p s
  p=$(cut -f1 <<<"$2"); s=$(cut -f2 <<<"$2")
  echo "| $1 | \`$s\` | $p | $(awk -v a="$p" -v b="$n10" 'BEGIN { printf "%+.2f", a - b }') |"
}
z10=$(zolta_best "$noisy10")
row "zolta (VirtualDub path)" "$z10"
row "vaguedenoiser" "$(vague_best "$noisy10")"
row "owdenoise" "$(owdenoise_best "$noisy10")"
row "hqdn3d" "$(hqdn3d_best "$noisy10")"
echo

# ---------------------------------------------------------------- starting points
echo "### zolta starting points (best of the grid on the photograph)"
echo
echo "| noise | sigma | PSNR noisy (dB) | PSNR denoised (dB) | settings |"
echo "|---|---:|---:|---:|---|"
for pair in light:5 medium:10 strong:20; do
  name=${pair%%:*}; sigma=${pair##*:}
  if [ "$sigma" = 10 ]; then noisy=$noisy10; result=$z10; else
    noisy=$(noisy_picture "$sigma"); result=$(zolta_best "$noisy"); fi
  echo "| $name | $sigma | $(psnr "$noisy") | $(cut -f1 <<<"$result") | \`$(cut -f2 <<<"$result")\` |"
done
echo

fi

# ---------------------------------------------------------------- speed
frames=100
"${ff[@]}" -loop 1 -i "$picture" -frames:v $frames \
  -vf "scale=720:480,noise=alls=10:allf=t,format=yuv422p" -f yuv4mpegpipe "$work/clip.y4m"
seconds() {  # command... -> elapsed seconds, best of three runs (one run past 10 s)
  local best="" t0 t1 t i
  for i in 1 2 3; do
    t0=$(date +%s.%N); "$@"; t1=$(date +%s.%N)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
    best=$(awk -v a="$t" -v b="${best:-$t}" 'BEGIN { print (a < b ? a : b) }')
    awk -v a="$t" 'BEGIN { exit !(a > 10) }' && break
  done
  echo "$best"
}
all_on=$(zolta_config 160 64 32 160 64 32)
declare -a names settings times
names+=("zolta (AviSynth path, all 18 levels on)"); settings+=("$all_on")
times+=("$(seconds "$Z" --config "$all_on" "$work/clip.y4m" /dev/null)")
"${ff[@]}" -i "$work/clip.y4m" -f image2pipe -c:v ppm "$work/clip.ppm"
names+=("zolta (VirtualDub path on RGB: the clip as PPM)"); settings+=("$all_on")
times+=("$(seconds "$Z" --config "$all_on" "$work/clip.ppm" /dev/null)")
for f in vaguedenoiser owdenoise hqdn3d; do
  names+=("$f"); settings+=("$f (defaults)")
  times+=("$(seconds "${ff[@]}" -i "$work/clip.y4m" -vf "$f" -f yuv4mpegpipe /dev/null)")
done
names+=("(ffmpeg copy, no filter)"); settings+=("")
times+=("$(seconds "${ff[@]}" -i "$work/clip.y4m" -f yuv4mpegpipe /dev/null)")

echo "### Speed: 720 x 480 4:2:2, $frames noisy frames, one thread, Y4M in and out (best of 3 runs)"
echo
echo "| denoiser | settings | seconds | frames/s | speed relative to zolta |"
echo "|---|---|---:|---:|---:|"
for i in "${!names[@]}"; do
  awk -v n="${names[$i]}" -v s="${settings[$i]}" -v t="${times[$i]}" -v z="${times[0]}" -v f=$frames \
    'BEGIN { printf "| %s | %s | %.2f | %.1f | %.2fx |\n", n, (s == "" ? "" : "`" s "`"), t, f / t, z / t }'
done
