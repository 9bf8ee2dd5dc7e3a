#!/usr/bin/env bash
# scripts/split-denoise.sh on this machine with three job slots: the joined
# result is byte for byte one zolta-run over the whole stream, as YUV4MPEG2
# and as a lossless Matroska file, at 8 and 10 bits; a failing segment leaves
# no output.
# usage: split_denoise_test.sh ZOLTA_RUN
set -uo pipefail
source "$(dirname "$0")/split_denoise_support.sh"
config="Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)"

# 62 noisy frames at 25 per second, in segments of 10 frames and a short last one.
"${ff[@]}" -f lavfi -i testsrc=size=128x96:rate=25 -frames:v 62 \
  -vf noise=alls=12:allf=t,format=yuv422p -f yuv4mpegpipe "$work/clip.y4m" || exit 1
"$zolta" --config "$config" "$work/clip.y4m" "$work/whole.y4m" || exit 1

check "YUV4MPEG2 output" bash -c '
  "$1" -j 3 -t 0.4 --zolta "$2" --keep "$3/parts" "$3/clip.y4m" "$3/joined.y4m" -- --config "$4" &&
  [ "$(ls "$3"/parts/part-*.done.mkv | wc -l)" -eq 7 ] &&
  cmp "$3/whole.y4m" "$3/joined.y4m"' _ "$split" "$zolta" "$work" "$config"

check "Matroska output" bash -c '
  "$1" -j 3 -t 0.4 --zolta "$2" "$3/clip.y4m" "$3/joined.mkv" -- --config "$4" &&
  ffmpeg -v error -nostdin -i "$3/joined.mkv" -f yuv4mpegpipe - | tail -n +2 >"$3/frames" &&
  tail -n +2 "$3/whole.y4m" | cmp - "$3/frames"' _ "$split" "$zolta" "$work" "$config"

check "job slots given as machines (-S 3/:, this one)" bash -c '
  "$1" -S 3/: -t 0.4 --zolta "$2" "$3/clip.y4m" "$3/slots.y4m" -- --config "$4" 2>/dev/null &&
  cmp "$3/whole.y4m" "$3/slots.y4m"' _ "$split" "$zolta" "$work" "$config"

# 10-bit 4:2:0 at 30000/1001 frames a second, thresholds beyond the legacy range.
"${ff[@]}" -f lavfi -i testsrc=size=128x96:rate=30000/1001 -frames:v 40 \
  -vf noise=alls=12:allf=t,format=yuv420p10le -strict -1 -f yuv4mpegpipe "$work/deep.y4m" || exit 1
deep="400,120,60,400,120,60,600,200,90,600,200,90,600,200,90,600,200,90"
"$zolta" --thresholds "$deep" "$work/deep.y4m" "$work/deep-whole.y4m" || exit 1
check "10-bit 4:2:0" bash -c '
  "$1" -j 3 -t 0.3 --zolta "$2" "$3/deep.y4m" "$3/deep-joined.y4m" -- --thresholds "$4" &&
  cmp "$3/deep-whole.y4m" "$3/deep-joined.y4m"' _ "$split" "$zolta" "$work" "$deep"

check "a failing segment leaves nothing" bash -c '
  ! "$1" -j 3 -t 0.4 --zolta "$2" "$3/clip.y4m" "$3/bad.y4m" -- --config "Config(1, 2)" \
    2>/dev/null &&
  [ -z "$(ls -A "$3" | grep -e bad -e "^\.part")" ]' _ "$split" "$zolta" "$work"

echo "split-denoise: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
