#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# scripts/split-denoise.sh on this machine with three job slots: the joined
# result is byte for byte one zolta-run over the whole stream, as YUV4MPEG2
# and as a lossless Matroska file, at 8 and 10 bits; a failing segment leaves
# no output. With --temporal 1 and 2 too: segments shorter than the radius,
# settings measured on the film's first frames, a radius zolta-run refuses.
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

# --temporal R: a frame is made from R frames on each side, so every cut needs
# its neighbours' frames. 11 frames in segments of 5 and a last one of 1, and
# 5 frames in segments of one frame each, shorter than the radius. Frames of
# 320x240: the context frames a job drops outgrow a pipe's buffer.
"${ff[@]}" -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 11 \
  -vf noise=alls=12:allf=t,format=yuv420p -f yuv4mpegpipe "$work/short.y4m" || exit 1
"${ff[@]}" -i "$work/short.y4m" -frames:v 5 -f yuv4mpegpipe "$work/tiny.y4m" || exit 1
# One run over CLIP in segments of SECONDS, expected to make SEGMENTS of them;
# then its frames against those of one zolta-run with the same options.
temporal() {  # CLIP SECONDS SEGMENTS OUTPUT OPTIONS...
  local clip=$1 seconds=$2 segments=$3 out=$4
  shift 4
  rm -rf "$work/temporal-parts"
  "$split" -j 3 -t "$seconds" --zolta "$zolta" --keep "$work/temporal-parts" "$work/$clip.y4m" \
    "$work/$out" -- "$@" &&
    [ "$(ls "$work"/temporal-parts/part-*.done.mkv | wc -l)" -eq "$segments" ] &&
    "$zolta" "$@" "$work/$clip.y4m" "$work/$out.whole.y4m" || return 1
  case $out in
    *.y4m) cmp "$work/$out.whole.y4m" "$work/$out" ;;
    *)
      ffmpeg -v error -nostdin -i "$work/$out" -f yuv4mpegpipe - | tail -n +2 >"$work/$out.frames" &&
        tail -n +2 "$work/$out.whole.y4m" | cmp - "$work/$out.frames" ;;
  esac
}
check "--temporal 2, segments of 5 frames and a last one of 1" \
  temporal short 0.2 3 t2.y4m --sigma 8 --temporal 2
check "--temporal 2, segments of one frame" temporal tiny 0.04 5 t2-tiny.y4m --sigma 8 --temporal 2
check "--temporal=1, segments of one frame, the last --temporal counting" \
  temporal tiny 0.04 5 t1-tiny.y4m --sigma 8 --temporal 0 --temporal=1
without_context() {  # --temporal 0 cuts no context: the jobs take the segments
  temporal short 0.2 3 t0.y4m --sigma 8 --temporal 0 &&
    [ "$(cat "$work/temporal-parts/parts.txt")" = "$(cd "$work/temporal-parts" && ls part-*[0-9].mkv)" ]
}
check "--temporal 0: each segment on its own, as without it" without_context
# Measured settings (the temporal thresholds without --sigma S, --sigma auto)
# follow the film's first frames, not each segment's: 8 quiet frames, then
# 12 noisier ones, in two segments.
"${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=25 -filter_complex \
  "[0]split[a][b];[a]noise=alls=3:allf=t,trim=end_frame=8[q];[b]noise=alls=20:allf=t,trim=start_frame=8:end_frame=20,setpts=PTS-STARTPTS[l];[q][l]concat,format=yuv420p" \
  -f yuv4mpegpipe "$work/changing.y4m" || exit 1
check "--temporal 2 and --config as Matroska: the temporal thresholds of the film's noise" \
  temporal changing 0.4 2 tc.mkv --config "$config" --temporal 2
check "a radius zolta-run refuses: its message, nothing written" bash -c '
  ! "$1" -j 3 -t 0.2 --zolta "$2" "$3/short.y4m" "$3/t3.y4m" -- --sigma 8 --temporal 3 \
    2>"$3/t3.err" && grep -q "temporal must be an integer from 0 to 2" "$3/t3.err" &&
  grep -q "a segment failed; nothing was written" "$3/t3.err" && [ ! -e "$3/t3.y4m" ] &&
  [ -z "$(ls -A "$3" | grep "^\.split-denoise")" ]' _ "$split" "$zolta" "$work"

echo "split-denoise: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
