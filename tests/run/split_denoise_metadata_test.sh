#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# scripts/split-denoise.sh keeps what a film carries besides its frames: the
# video's start against the audio's (within a frame, no frame added), the
# colour tags (matrix, primaries, transfer with PQ and HLG, range, chroma
# siting) and the field order, every frame's time (variable frame rate); RGB
# frames are refused at once, naming the -f to pass.
# usage: split_denoise_metadata_test.sh ZOLTA_RUN
set -uo pipefail
source "$(dirname "$0")/split_denoise_support.sh"
cd "$work" || exit 1
denoise() {  # INPUT OUTPUT [OPTIONS...]: two-second segments, two job slots
  local in=$1 out=$2
  shift 2
  bash "$split" -j 2 -t 2 --zolta "$zolta" "$@" "$in" "$out" -- --sigma 5
}
# "key=value" lines of the first video stream (and the audio's start time).
tags() {
  ffprobe -v error -select_streams v:0 -show_entries \
    stream=color_space,color_primaries,color_transfer,color_range,chroma_location,field_order \
    -of default=noprint_wrappers=1 "$1"
}
start() {  # FILE v|a
  ffprobe -v error -select_streams "$2:0" -show_entries stream=start_time -of csv=p=0 "$1"
}
frames() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$1"
}

# Audio against video: the output's video starts as far from its audio as the
# input's did, within one frame (a tenth of a second), with the same frames.
same_offset() {  # INPUT OUTPUT
  local gap_in gap_out
  gap_in=$(awk -v v="$(start "$1" v)" -v a="$(start "$1" a)" 'BEGIN { print v - a }')
  gap_out=$(awk -v v="$(start "$2" v)" -v a="$(start "$2" a)" 'BEGIN { print v - a }')
  awk -v i="$gap_in" -v o="$gap_out" 'BEGIN { d = i - o; exit !(d < 0.1 && d > -0.1) }' ||
    { echo "video minus audio start: input $gap_in, output $gap_out"; return 1; }
  [ "$(frames "$1")" = "$(frames "$2")" ] ||
    { echo "frames: input $(frames "$1"), output $(frames "$2")"; return 1; }
}
offset_case() {  # NAME VIDEO_DELAY AUDIO_DELAY
  "${ff[@]}" -itsoffset "$2" -f lavfi -i testsrc=size=64x48:rate=10:duration=4 \
    -itsoffset "$3" -f lavfi -i sine=duration=5 -pix_fmt yuv420p -c:v ffv1 -c:a pcm_s16le \
    "$1.mkv" || return 1
  denoise "$1.mkv" "$1-out.mkv" && same_offset "$1.mkv" "$1-out.mkv"
}
check "video half a second after the audio" offset_case late-video 0.5 0
check "audio 0.3 s after the video" offset_case late-audio 0 0.3
check "both late, as in a transport stream (1.5 s and 1 s)" offset_case both-late 1.5 1

# Colour tags and field order: a bt709 film in limited range, interlaced top
# field first; PQ (10 bits, full range) bottom field first; HLG progressive.
tag_case() {  # NAME PIX_FMT ENCODER_OPTIONS...
  local name=$1 pix=$2
  shift 2
  "${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=10:duration=3 -pix_fmt "$pix" "$@" \
    -c:v ffv1 "$name.mkv" || return 1
  denoise "$name.mkv" "$name-out.mkv" || return 1
  [ "$(tags "$name.mkv")" = "$(tags "$name-out.mkv")" ] ||
    { diff <(tags "$name.mkv") <(tags "$name-out.mkv"); return 1; }
}
check "bt709, limited range, left siting, top field first" tag_case bt709 yuv420p \
  -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
  -chroma_sample_location left -field_order tt
check "PQ, bt2020, full range, top-left siting, bottom field first" tag_case pq yuv420p10le \
  -colorspace bt2020nc -color_primaries bt2020 -color_trc smpte2084 -color_range pc \
  -chroma_sample_location topleft -field_order bb
check "HLG, 4:2:2, progressive" tag_case hlg yuv422p10le \
  -colorspace bt2020nc -color_primaries bt2020 -color_trc arib-std-b67 -color_range tv \
  -field_order progressive
check "bt601 matrix, bt470bg transfer, bottom field first stored top first" tag_case pal yuv420p \
  -colorspace bt470bg -color_primaries bt470bg -color_trc gamma28 -color_range tv \
  -chroma_sample_location topleft -field_order bt

# RGB frames: one message naming the -f to pass, before any segment runs;
# with it, the film goes through.
rgb_case() {  # PIX_FMT WANTED
  "${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=10:duration=2 -pix_fmt "$1" -c:v ffv1 \
    "rgb-$1.mkv" || return 1
  if denoise "rgb-$1.mkv" "rgb-$1-out.mkv" 2>"rgb-$1.err"; then
    echo "RGB $1 accepted"
    return 1
  fi
  grep -q -- "pass -f $2" "rgb-$1.err" && [ "$(wc -l <"rgb-$1.err")" -eq 1 ] &&
    [ ! -e "rgb-$1-out.mkv" ] || { cat "rgb-$1.err"; return 1; }
  denoise "rgb-$1.mkv" "rgb-$1-out.mkv" -f "$2" &&
    [ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 "rgb-$1-out.mkv")" = "$2" ]
}
check "RGB input (bgr0) asks for -f yuv444p" rgb_case bgr0 yuv444p
check "10-bit RGB input (gbrp10le) asks for -f yuv444p10le" rgb_case gbrp10le yuv444p10le

# With --temporal the segments overlap; all but the frames is as without it:
# every packet's time, the audio's bytes, the streams' tags and times.
carried() {  # FILE
  ffprobe -v error -show_entries packet=stream_index,pts,dts,duration,flags:stream=index,codec_name,start_time,duration,r_frame_rate,time_base,color_space,color_primaries,color_transfer,color_range,chroma_location,field_order \
    -of compact "$1" &&
    ffprobe -v error -select_streams a -show_entries packet=data_hash -show_data_hash md5 \
      -of compact "$1"
}
overlap_case() {
  "${ff[@]}" -itsoffset 0.5 -f lavfi -i testsrc=size=64x48:rate=10:duration=4 \
    -f lavfi -i sine=duration=5 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 \
    -color_trc bt709 -color_range tv -field_order tt -c:v ffv1 -c:a pcm_s16le overlap.mkv ||
    return 1
  for r in 0 1; do
    bash "$split" -j 2 -t 1 --zolta "$zolta" overlap.mkv "overlap-$r.mkv" -- --sigma 5 \
      --temporal "$r" || return 1
  done
  diff <(carried overlap-0.mkv) <(carried overlap-1.mkv) && same_offset overlap.mkv overlap-1.mkv
}
check "--temporal 1 keeps the timing, audio and tags of --temporal 0" overlap_case

# Variable frame rate: frames 53, 53 and 14 ms apart, with gaps of 0.3 s and
# 0.5 s (dropped frames), against 3 s of audio. Every frame keeps its time
# (to Matroska's millisecond), also across the segments' joins, and the
# frames are those of one zolta-run over all of them, also where the noise is
# measured (once, on the film's first frames, for every segment).
packet_times() {  # FILE
  ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 "$1"
}
audio_bytes() {  # FILE
  ffprobe -v error -select_streams a -show_entries packet=pts,data_hash -show_data_hash md5 \
    -of compact "$1"
}
"${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=duration=3 -frames:v 31 \
  -vf "noise=alls=12:allf=t,format=yuv420p,settb=1/1000,setpts='(N*0.04+0.3*gte(N\,10)+0.5*gte(N\,20)+0.013*mod(N\,3))/TB'" \
  -fps_mode passthrough -enc_time_base:v 1:1000 -c:v ffv1 -c:a flac vfr.mkv || exit 1
vfr_case() {  # RADIUS SIGMA
  local out=vfr-$1-$2.mkv
  "$zolta" --sigma "$2" --temporal "$1" \
    <("${ff[@]}" -i vfr.mkv -fps_mode passthrough -f yuv4mpegpipe -) "vfr-whole-$1.y4m" &&
    bash "$split" -j 2 -t 0.5 --zolta "$zolta" vfr.mkv "$out" -- --sigma "$2" --temporal "$1" ||
    return 1
  diff <(packet_times vfr.mkv) <(packet_times "$out") || { echo "frame times differ"; return 1; }
  cmp <(tail -n +2 "vfr-whole-$1.y4m") \
    <("${ff[@]}" -i "$out" -fps_mode passthrough -f yuv4mpegpipe - | tail -n +2) &&
    diff <(audio_bytes vfr.mkv) <(audio_bytes "$out") && same_offset vfr.mkv "$out"
}
check "variable frame rate: every frame keeps its time, audio in step" vfr_case 0 5
check "variable frame rate through overlapping segments (--temporal 2)" vfr_case 2 5
check "variable frame rate, the noise measured once for every segment" vfr_case 2 auto

echo "split-denoise metadata: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
