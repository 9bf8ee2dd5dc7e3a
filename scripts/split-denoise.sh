#!/usr/bin/env bash
# Denoises a video in segments, several at a time, on this machine or on many:
#   1. ffmpeg cuts the video into segments of whole frames, kept losslessly
#      (FFV1 in Matroska: every frame a key frame; the colour range and
#      field order kept);
#   2. GNU parallel runs "ffmpeg | zolta-run | ffmpeg" on each segment, as many
#      at once as there are job slots (--sshlogin reaches other machines);
#   3. ffmpeg joins the denoised segments in order, losslessly.
# Each frame is denoised on its own, so the joined frames are exactly those of
# one zolta-run over the whole video.
#
# usage: split-denoise.sh [OPTIONS] INPUT OUTPUT [-- ZOLTA-RUN OPTIONS...]
#   OUTPUT         .y4m: YUV4MPEG2; any other name: FFV1 video in the container
#                  its extension names (e.g. .mkv, .nut), with INPUT's audio
#   -j N           job slots on each machine (default: its cores)
#   -S LOGINS      machines, as GNU parallel's --sshlogin: "4/user@host,:" is four
#                  slots on host and the default number here (":"). Remote
#                  machines need ffmpeg and zolta-run (see --zolta)
#   -t SECONDS     length of a segment (default 60)
#   -f PIX_FMT     convert to this pixel format before denoising (e.g. yuv422p);
#                  default: the input's own
#   --zolta PATH   the zolta-run to run (default: build/zolta-run; with -S,
#                  "zolta-run" from PATH on every machine)
#   --keep DIR     keep the segments in DIR, an empty or new folder (default: a
#                  temporary folder)
# Example:
#   scripts/split-denoise.sh -S 8/me@render1,8/me@render2,: film.mkv clean.mkv -- --sigma auto
set -euo pipefail

die() {
  echo "split-denoise.sh: $*" >&2
  exit 1
}

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=""
logins=""
seconds=60
pix_fmt=""
zolta=""
keep=""
while [ $# -gt 0 ]; do
  case $1 in
    -j) jobs=${2:?-j needs a number}; shift 2 ;;
    -S) logins=${2:?-S needs machines}; shift 2 ;;
    -t) seconds=${2:?-t needs seconds}; shift 2 ;;
    -f) pix_fmt=${2:?-f needs a pixel format}; shift 2 ;;
    --zolta) zolta=${2:?--zolta needs a path}; shift 2 ;;
    --keep) keep=${2:?--keep needs a folder}; shift 2 ;;
    -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    --) break ;;
    -*) die "unknown option $1" ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || die "usage: split-denoise.sh [OPTIONS] INPUT OUTPUT [-- ZOLTA-RUN OPTIONS...]"
input=$1
output=$2
shift 2
if [ $# -gt 0 ]; then
  [ "$1" = "--" ] || die "zolta-run's options follow --"
  shift
fi
[ -f "$input" ] || die "cannot open $input"
command -v ffmpeg >/dev/null || die "ffmpeg is not installed"
command -v parallel >/dev/null || die "GNU parallel is not installed (Debian: parallel)"
[[ $seconds =~ ^[0-9]+([.][0-9]+)?$ ]] || die "-t takes seconds, not \"$seconds\""
if [ -z "$zolta" ]; then
  if [ -n "$logins" ] && [ "$logins" != ":" ]; then zolta=zolta-run; else zolta=$root/build/zolta-run; fi
fi

input=$(realpath "$input")
# The jobs run inside the segments' folder: a local path is made absolute.
case $zolta in */*) zolta=$(realpath "$zolta") ;; esac
out_dir=$(cd "$(dirname "$output")" && pwd) || die "no folder for $output"
output=$out_dir/$(basename "$output")
tmp=$out_dir/.part$$-$(basename "$output")  # keeps the extension, which names the container
if [ -n "$keep" ]; then
  mkdir -p "$keep"
  [ -z "$(ls -A "$keep")" ] || die "--keep $keep: the folder must be empty"
  work=$(cd "$keep" && pwd)
  trap 'rm -f "$tmp"' EXIT
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"; rm -f "$tmp"' EXIT
fi
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
lossless=(-c:v ffv1 -g 1)

# 1. Cut. Every FFV1 frame (-g 1) is a key frame, so each segment starts
# exactly where the one before it ends.
convert=()
[ -n "$pix_fmt" ] && convert=(-pix_fmt "$pix_fmt")
"${ff[@]}" -i "$input" -map 0:v:0 "${convert[@]}" "${lossless[@]}" -f segment \
  -segment_time "$seconds" -segment_format matroska -reset_timestamps 1 "$work/part-%06d.mkv" ||
  die "ffmpeg could not cut $input"

# 2. Denoise, a segment a job. The job's command is one shell line; every word
# of it is quoted here so that any option or path passes through unchanged.
zolta_words=$(printf ' %q' "$zolta" "$@")
job="set -o pipefail; ${ff[*]} -i {} -strict -1 -f yuv4mpegpipe - |$zolta_words - - | ${ff[*]} -f yuv4mpegpipe -i - ${lossless[*]} {.}.done.mkv"
where=()
if [ -n "$logins" ]; then
  where=(--sshlogin "$logins" --trc {.}.done.mkv)
fi
(cd "$work" && ls part-*.mkv | grep -v '\.done\.mkv$' |
  parallel ${jobs:+-j "$jobs"} "${where[@]}" --halt now,fail=1 "$job") ||
  die "a segment failed; nothing was written to $output"

# 3. Join, in the segments' order, without decoding.
for f in "$work"/part-*.done.mkv; do printf "file '%s'\n" "$f"; done >"$work/list.txt"
case $output in
  *.y4m)
    # The stream header is the one zolta-run keeps from ffmpeg's reading of
    # the input (frame rate, interlacing, aspect, chroma siting and range as
    # they were), then the joined frames.
    "${ff[@]}" -i "$input" -map 0:v:0 "${convert[@]}" -frames:v 1 -f yuv4mpegpipe -strict -1 \
      "$work/first.y4m" &&
    { head -n 1 "$work/first.y4m"
      "${ff[@]}" -f concat -safe 0 -i "$work/list.txt" -map 0:v -fps_mode passthrough \
        -f yuv4mpegpipe -strict -1 - | tail -n +2
    } >"$tmp" ;;
  *)
    "${ff[@]}" -f concat -safe 0 -i "$work/list.txt" -i "$input" -map 0:v -map 1:a? \
      -c copy "$tmp" ;;
esac || die "ffmpeg could not join the segments"
mv -f "$tmp" "$output"
