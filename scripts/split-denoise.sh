#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Denoises a video in segments, several at a time, on this machine or on many:
#   1. ffmpeg cuts the video into segments of whole frames, kept losslessly
#      (FFV1 in Matroska: every frame a key frame, none added or dropped);
#   2. with --temporal R among zolta-run's options, each segment gets the R
#      frames of the video on each side of it (none before the first frame or
#      after the last), copied from its neighbours: the segments overlap by R
#      frames. zolta-run measures the noise on the video's first 8 frames
#      once, as a noise profile that every segment is given (--profile);
#   3. GNU parallel runs "ffmpeg | zolta-run | ffmpeg" on each segment, as many
#      at once as there are job slots (--sshlogin reaches other machines), and
#      keeps the segment's own frames, each given back its time (YUV4MPEG2
#      carries none);
#   4. ffmpeg joins the denoised segments in order, losslessly, every frame at
#      its time (a variable frame rate stays as it was), with the input's
#      audio at the input's offset from the video and the input's colour tags
#      and field order. (A .y4m output has one frame rate.)
# Each frame is made from the same frames as in one zolta-run over the whole
# video, so the joined frames are exactly those of that run. (Without
# --temporal, --sigma auto measures each segment's own first frames.)
#
# usage: split-denoise.sh [OPTIONS] INPUT OUTPUT [-- ZOLTA-RUN OPTIONS...]
#   OUTPUT         .y4m: YUV4MPEG2; any other name: FFV1 video in the container
#                  its extension names (e.g. .mkv, .nut), with INPUT's audio.
#                  Written as zolta-run writes: through symlinks, keeping the
#                  mode and owner of an existing file; a read-only one is refused
#   -j N           job slots on each machine (default: its cores)
#   -S LOGINS      machines, as GNU parallel's --sshlogin: "4/user@host,:" is four
#                  slots on host and the default number here (":"). Remote
#                  machines need ffmpeg and ffprobe, zolta-run (see --zolta) and rsync,
#                  which GNU parallel copies with (this machine too)
#   -t SECONDS     length of a segment (default 60)
#   -f PIX_FMT     convert to this pixel format before denoising (e.g. yuv422p;
#                  RGB input needs one, e.g. yuv444p); default: the input's own
#   --zolta PATH   the zolta-run to run (default: build/zolta-run; with -S,
#                  "zolta-run" from PATH on every machine)
#   --keep DIR     keep the segments in DIR, an empty or new folder (default: a
#                  temporary folder)
# SIGINT, SIGTERM and SIGHUP stop every process of the run before the script
# ends, and nothing is written.
# Example:
#   scripts/split-denoise.sh -S 8/me@render1,8/me@render2,: film.mkv clean.mkv -- --sigma auto \
#     --temporal 2
set -euo pipefail

die() {
  echo "split-denoise.sh: $*" >&2
  exit 1
}

# Runs a command and keeps all of its output but the final newline in the
# named variable (a name may itself end in a newline, which $(...) would drop).
capture() {
  local _name=$1 _out
  shift
  _out=$("$@" && echo .) || return 1
  _out=${_out%.}
  printf -v "$_name" '%s' "${_out%$'\n'}"
}

# The absolute form of a path, every character kept.
absolute() {
  case $1 in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$PWD" "$1" ;; esac
}

# Follows symlinks from $1 (absolute) to the name finally written, which need
# not exist; sets target. Fails on a loop.
follow_links() {
  local hops link
  target=$1
  for ((hops = 0; hops < 40; hops++)); do
    [ -L "$target" ] || return 0
    capture link readlink -- "$target" || return 1
    case $link in /*) target=$link ;; *) target=${target%/*}/$link ;; esac
  done
  return 1
}

root=$(cd "$(dirname -- "$0")/.." && pwd)
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

# The radius zolta-run will take from its options: the last --temporal,
# reading them as zolta-run does (a value is the next word or follows "=";
# "--" ends the options) and its number as strtol does. A value zolta-run
# refuses counts as 0 here, and zolta-run refuses it in the segments.
temporal_radius() {
  local text=0 word sign digit
  while [ $# -gt 0 ]; do
    word=$1
    shift
    case $word in
      --) break ;;
      --temporal=*) text=${word#--temporal=} ;;
      --temporal) text=${1-}; shift $(($# > 0)) ;;
      --show-plane | --off | --estimate | --demo | --help | --*=*) ;;
      --*) shift $(($# > 0)) ;;
    esac
  done
  if [[ $text =~ ^[[:space:]]*([+-]?)0*([0-9])$ ]]; then
    sign=${BASH_REMATCH[1]}
    digit=${BASH_REMATCH[2]}
    if [ "$digit" -le 2 ] && { [ "$sign" != - ] || [ "$digit" = 0 ]; }; then
      echo "$digit"
      return
    fi
  fi
  echo 0
}
radius=$(temporal_radius "$@")

# Whether zolta-run's options give the noise themselves (--sigma S, or a
# profile of the user's own), read as temporal_radius reads them: then no
# noise is measured for the segments. (--thresholds, --config and --vcf give
# the spatial settings only; the temporal ones still follow the noise.)
settings_given() {
  local word given=1
  while [ $# -gt 0 ]; do
    word=$1
    shift
    case $word in
      --) break ;;
      --sigma=*) [ "${word#--sigma=}" = auto ] && given=1 || given=0 ;;
      --sigma) [ "${1-}" = auto ] && given=1 || given=0; shift $(($# > 0)) ;;
      --profile=*) given=0 ;;
      --profile) given=0; shift $(($# > 0)) ;;
      --show-plane | --off | --estimate | --demo | --help | --*=*) ;;
      --*) shift $(($# > 0)) ;;
    esac
  done
  return $given
}
shown_input=$input
command -v ffmpeg >/dev/null || die "ffmpeg is not installed"
command -v ffprobe >/dev/null || die "ffprobe is not installed (Debian: ffmpeg)"
command -v parallel >/dev/null || die "GNU parallel is not installed (Debian: parallel)"
command -v ps >/dev/null || die "ps is not installed (Debian: procps)"
[[ $seconds =~ ^[0-9]+([.][0-9]+)?$ ]] || die "-t takes seconds, not \"$seconds\""
if [ -z "$zolta" ]; then
  if [ -n "$logins" ] && [ "$logins" != ":" ]; then zolta=zolta-run; else zolta=$root/build/zolta-run; fi
fi

# The work runs inside the segments' folder: every path given is made
# absolute first.
input=$(absolute "$input"; echo .)
input=${input%.}
case $zolta in */*) zolta=$(absolute "$zolta"; echo .); zolta=${zolta%.} ;; esac
shown_output=$output
output=$(absolute "$output"; echo .)
output=${output%.}

# 0. The output file, by zolta-run's rules: written through symlinks to their
# target; an existing file keeps its mode and (where allowed) its owner and
# group, and its hard links; a read-only one is refused. A whole result goes
# to a temporary name beside the target and is put in place at the end; one
# for a device or a pipe is made in the segments' folder and then copied
# there.
follow_links "$output" || die "cannot write $shown_output: too many levels of symbolic links"
target_dir=${target%/*}/
[ -d "$target_dir" ] || die "cannot write $shown_output: its folder $target_dir does not exist"
stream=0
existed=0
if [ -e "$target" ]; then
  [ -d "$target" ] && die "cannot write $shown_output: it is a directory"
  if [ -f "$target" ]; then
    read -r mode owner group links < <(stat -L -c '%a %u %g %h' -- "$target")
    # Root may write anything, so a file without any write permission counts
    # as read-only too.
    if [ ! -w "$target" ] || (((8#$mode & 8#222) == 0)); then
      die "$shown_output is read-only: not replaced (make it writable or choose another name)"
    fi
    existed=1
  else
    stream=1
  fi
fi
# The temporary keeps the extension of the name given, which names the container.
name=${output##*/}
suffix=""
case $name in ?*.*) suffix=.${name##*.} ;; esac
work=""
remove_work=0
tmp=""
cleanup() {
  if [ "$stream" = 0 ] && [ -n "$tmp" ]; then rm -f -- "$tmp"; fi
  if [ "$remove_work" = 1 ]; then rm -rf -- "$work"; fi
}
trap cleanup EXIT
if [ "$stream" = 0 ]; then
  capture tmp mktemp -p "$target_dir" --suffix="$suffix" .split-denoise-XXXXXX ||
    die "cannot write $shown_output: its folder is not writable"
fi

if [ -n "$keep" ]; then
  mkdir -p -- "$keep"
  [ -z "$(ls -A -- "$keep")" ] || die "--keep $keep: the folder must be empty"
  work=$(absolute "$keep"; echo .)
  work=${work%.}
else
  capture work mktemp -d || die "cannot make a temporary folder"
  remove_work=1
  work=$(absolute "$work"; echo .)
  work=${work%.}
fi
# The tools' own temporary files too (GNU parallel's among them) stay where
# TMPDIR named, seen from the segments' folder.
if [ -n "${TMPDIR:-}" ]; then
  TMPDIR=$(absolute "$TMPDIR"; echo .)
  export TMPDIR=${TMPDIR%.}
fi
cd -- "$work"
if [ "$stream" = 1 ]; then tmp=$work/joined$suffix; fi

# Every process started below, however deep (GNU parallel gives each job a
# process group of its own, so a group is not enough), as a list of ids. The
# command substitution running it leaves itself out.
descendants() {
  local self=$BASHPID
  ps -e -o pid=,ppid= | awk -v top=$$ -v self="$self" '
    { parent[$1] = $2; pids[NR] = $1 }
    END {
      found[top] = 1
      do {
        more = 0
        for (i in pids) {
          p = pids[i]
          if (!(p in found) && (parent[p] in found) && p != self && !(parent[p] == self)) {
            found[p] = 1; more = 1
          }
        }
      } while (more)
      for (p in found) if (p != top) print p
    }'
}

# "STATE STARTTIME" of a process, from /proc; fails once it is gone.
process_state() {
  local line fields
  read -r line 2>/dev/null <"/proc/$1/stat" || return 1
  read -r -a fields <<<"${line##*) }"  # the fields after the command's name
  echo "${fields[0]} ${fields[19]}"
}

# Stops the whole run: every process is frozen first (so none starts another
# or is lost to a parent that ends), then asked to end; what still runs after
# ten seconds is killed. Returns when none is left. A process is known by its
# id and start time, so an id that comes free and is given again is left alone.
stop_run() {
  local all=" " pid more state tries alive
  local -A started=()
  while :; do
    more=0
    for pid in $(descendants); do
      case $all in *" $pid "*) continue ;; esac
      kill -STOP "$pid" 2>/dev/null || continue
      state=$(process_state "$pid") || continue
      started[$pid]=${state#* }
      all+="$pid "
      more=1
    done
    [ "$more" = 1 ] || break
  done
  for pid in $all; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in $all; do kill -CONT "$pid" 2>/dev/null || true; done
  for ((tries = 0; tries < 250; tries++)); do
    alive=""
    for pid in $all; do
      state=$(process_state "$pid") || continue
      [ "${state#* }" = "${started[$pid]}" ] && [ "${state%% *}" != Z ] && alive+="$pid "
    done
    all=$alive
    [ -n "$all" ] || break
    if [ "$tries" = 200 ]; then
      for pid in $all; do kill -KILL "$pid" 2>/dev/null || true; done
    fi
    sleep 0.05
  done
  wait 2>/dev/null || true
}

on_signal() {
  trap '' TERM INT HUP
  stop_run
  cleanup
  trap - "$1" EXIT
  kill -s "$1" $$
}
trap 'on_signal TERM' TERM
trap 'on_signal INT' INT
trap 'on_signal HUP' HUP

# Long commands run in the background, so that a signal is handled at once
# (a foreground command would hold it back until it ends).
run() {
  "$@" &
  wait $!
}

ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
lossless=(-c:v ffv1 -g 1)
convert=()
[ -n "$pix_fmt" ] && convert=(-pix_fmt "$pix_fmt")
# Every frame as it comes, none repeated to fill a late start or a gap, each
# at its time (the input's time base, not one of an even frame rate).
cut=(-map 0:v:0 -fps_mode passthrough -enc_time_base:v -1 "${convert[@]}" "${lossless[@]}")

# What ffprobe says of a file's first video stream: "key=value" lines.
probe() {
  ffprobe -v error -select_streams v:0 -show_entries "$1" -of default=noprint_wrappers=1 \
    "file:$2"
}
value() {  # KEY PROBED
  sed -n "s/^$1=//p" <<<"$2" | head -n 1
}

# The first frame the way the jobs will get it: a frame that YUV4MPEG2 cannot
# carry (RGB, alpha) fails here, not in every segment.
run "${ff[@]}" -i "file:$input" "${cut[@]}" -frames:v 1 first.mkv ||
  die "ffmpeg could not read $shown_input"
if ! run "${ff[@]}" -i first.mkv -strict -1 -f yuv4mpegpipe - >/dev/null 2>first.err; then
  format=$(value pix_fmt "$(probe stream=pix_fmt first.mkv)")
  if [ -n "$pix_fmt" ]; then
    die "-f $pix_fmt: zolta-run reads YUV or grey frames (YUV4MPEG2), not $format"
  fi
  case $format in
    *rgb* | *bgr* | *gbr* | pal8 | 0* | x*)
      depth=$(sed -nE 's/.*[^0-9](9|10|12|14|16)(le|be)$/\1/p' <<<"$format")
      case $format in rgb48* | bgr48* | rgba64* | bgra64*) depth=16 ;; esac
      want=yuv444p${depth:+${depth}le}
      die "$shown_input has RGB frames ($format); zolta-run reads YUV: pass -f $want to convert them" ;;
    *)
      die "$shown_input has $format frames, which zolta-run cannot read; pass -f with a YUV format, e.g. -f yuv420p" ;;
  esac
fi
rm -f first.err

# 1. Cut. Every FFV1 frame (-g 1) is a key frame, so each segment starts
# exactly where the one before it ends. Relative names: the folder's own name
# may hold anything, '%' included.
# segments.csv: each segment's name and the time of its first frame.
run "${ff[@]}" -i "file:$input" "${cut[@]}" -f segment -segment_time "$seconds" \
  -segment_format matroska -reset_timestamps 1 -segment_list segments.csv \
  -segment_list_type csv part-%06d.mkv ||
  die "ffmpeg could not cut $shown_input"

# 2. With --temporal R, frame n is made from frames n - R ... n + R. Each
# segment's job then reads the segment with up to R frames of the film on
# each side, taken from the neighbouring segments (as many as that needs:
# a segment may be shorter than R), and keeps only the segment's own frames.
# The pieces are copied, not decoded: every frame is a key frame, so the
# segment muxer splits a segment exactly at a frame number and -frames:v ends
# a copy exactly. A job's line: its input, the first and the end frame it
# keeps, its result.
frames_in() {
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "file:$1"
}
with_context() {
  local parts=(part-*[0-9].mkv) first=() count=() total=0 k j lo hi from to name pieces
  for ((k = 0; k < ${#parts[@]}; k++)); do
    first[k]=$total
    count[k]=$(frames_in "${parts[k]}") || return 1
    total=$((total + count[k]))
  done
  for ((k = 0; k < ${#parts[@]}; k++)); do
    name=${parts[k]%.mkv}
    lo=$((first[k] > radius ? first[k] - radius : 0))
    hi=$((first[k] + count[k] + radius < total ? first[k] + count[k] + radius : total))
    pieces=()
    for ((j = k; j > 0 && first[j] > lo; j--)); do :; done  # the segment holding frame lo
    for (( ; j < ${#parts[@]} && first[j] < hi; j++)); do
      from=$((lo > first[j] ? lo - first[j] : 0))
      to=$((hi < first[j] + count[j] ? hi - first[j] : count[j]))
      if ((from > 0)); then  # the end of a segment before this one
        run "${ff[@]}" -i "${parts[j]}" -map 0:v:0 -c copy -f segment -segment_frames "$from" \
          -segment_format matroska -reset_timestamps 1 "context-$k-$j-%d.mkv" || return 1
        rm -f "context-$k-$j-0.mkv"
        pieces+=("context-$k-$j-1.mkv")
      elif ((to < count[j])); then  # the start of a segment after it
        run "${ff[@]}" -i "${parts[j]}" -map 0:v:0 -c copy -frames:v "$to" "context-$k-$j.mkv" ||
          return 1
        pieces+=("context-$k-$j.mkv")
      else
        pieces+=("${parts[j]}")
      fi
    done
    printf "file '%s'\n" "${pieces[@]}" >"$name.context.txt"
    run "${ff[@]}" -f concat -safe 0 -i "$name.context.txt" -map 0:v:0 -c copy \
      "$name.context.mkv" || return 1
    rm -f context-*.mkv
    [ "$(frames_in "$name.context.mkv")" = $((hi - lo)) ] || return 1
    printf '%s\t%s\t%s\t%s\n' "$name.context.mkv" $((first[k] - lo)) \
      $((first[k] + count[k] - lo)) "$name.done.mkv"
  done
}

measure=0
[ "$radius" != 0 ] && ! settings_given "$@" && measure=1
if [ "$radius" != 0 ]; then
  with_context >parts.txt || die "ffmpeg could not give the segments their neighbouring frames"
fi
# Settings that the options leave to the noise follow the noise measured on
# the first frames: the film's (zolta-run measures 8), not each segment's.
if [ "$measure" = 1 ]; then
  printf "file '%s'\n" part-*[0-9].mkv >noise.txt
  run "${ff[@]}" -f concat -safe 0 -i noise.txt -map 0:v:0 -fps_mode passthrough -frames:v 8 \
    -strict -1 -f yuv4mpegpipe noise.y4m || die "ffmpeg could not read the first frames of $shown_input"
  run "$zolta" --estimate --profile-out noise.profile noise.y4m >/dev/null ||
    die "zolta-run could not measure the noise of $shown_input"
fi

# 3. Denoise, a segment a job. zolta-run and its options reach the job in a
# variable, every word quoted, so that no path or option is read as one of
# parallel's replacement strings.
if [ "$measure" = 0 ]; then
  SPLIT_DENOISE_ZOLTA=$(printf ' %q' "$zolta" "$@")
else
  SPLIT_DENOISE_ZOLTA=$(printf ' %q' "$zolta" --profile noise.profile "$@")
fi
export SPLIT_DENOISE_ZOLTA
denoise="eval \"\$SPLIT_DENOISE_ZOLTA - -\""
# YUV4MPEG2 has one frame rate and no times: every frame's time goes around
# the pipe. A job lists its input's frame times (ffprobe's packet times; every
# frame a packet, in order), and this program makes of them the filter that
# gives the denoised frames back their times from the segment's first frame:
# setpts over the frame number N as a balanced tree of if()s (as many leaves
# as frames, a depth of log2 of them), in microseconds (the y4m's time base
# is its frame rate's). With select=1, the filter keeps only
# frames from ... to - 1 first, as the jobs of overlapping segments do.
SPLIT_DENOISE_TIMES='
  function tree(lo, hi,   mid) {
    if (lo == hi) return sprintf("%.6f", t[lo] - t[from])
    mid = int((lo + hi + 1) / 2)
    return "if(lt(N," (mid - from) ")," tree(lo, mid - 1) "," tree(mid, hi) ")"
  }
  $1 ~ /^-?[0-9.]+$/ { t[n++] = $1 }
  END {
    if (to < 0) to = n
    if (from < 0 || to > n || to <= from) exit 1
    if (select) printf "select=gte(n\\,%d)*lt(n\\,%d),", from, to
    printf "settb=1/1000000,setpts=\047(%s)/TB\047\n", tree(from, to - 1)
  }'
export SPLIT_DENOISE_TIMES
times="ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0"
timed=(-fps_mode passthrough -enc_time_base:v 1:1000000)
where=()
if [ "$radius" = 0 ]; then
  job="set -o pipefail; $times {} | sort -g | awk -v from=0 -v to=-1 \"\$SPLIT_DENOISE_TIMES\" >{.}.times && ${ff[*]} -i {} -fps_mode passthrough -strict -1 -f yuv4mpegpipe - | $denoise | ${ff[*]} -f yuv4mpegpipe -i - -filter_script:v {.}.times ${timed[*]} ${lossless[*]} {.}.done.mkv && rm -f {.}.times"
  [ -n "$logins" ] && where=(--sshlogin "$logins" --trc '{.}.done.mkv')
  printf '%s\n' part-*.mkv >parts.txt
else
  # Every frame read as it is, so that the frame numbers hold; the job keeps
  # its segment's frames, timed from its first one as without the context.
  # select, not trim: trim would end the reading before the last context
  # frames, and zolta-run, writing them, would fail on the closed pipe.
  job="set -o pipefail; $times {1} | sort -g | awk -v from={2} -v to={3} -v select=1 \"\$SPLIT_DENOISE_TIMES\" >{4}.times && ${ff[*]} -i {1} -fps_mode passthrough -strict -1 -f yuv4mpegpipe - | $denoise | ${ff[*]} -f yuv4mpegpipe -i - -filter_script:v {4}.times ${timed[*]} ${lossless[*]} {4} && rm -f {4}.times"
  where=(--colsep '\t')
  if [ -n "$logins" ]; then
    where+=(--sshlogin "$logins" --transferfile '{1}' --return '{4}' --cleanup)
    [ "$measure" = 0 ] || where+=(--basefile noise.profile)
  fi
fi
run parallel ${jobs:+-j "$jobs"} "${where[@]}" --env SPLIT_DENOISE_ZOLTA --env SPLIT_DENOISE_TIMES \
  --halt now,fail=1 \
  -a parts.txt "$job" || die "a segment failed; nothing was written to $shown_output"

# 4. Join, in the segments' order, without decoding. Each segment lasts until
# the next one's first frame (its time in segments.csv), so that gaps between
# frames stay where they were, also between segments.
awk -F, '{ name[NR] = $1; start[NR] = $2 }
  END {
    for (k = 1; k <= NR; k++) {
      sub(/[.]mkv$/, ".done.mkv", name[k])
      printf "file \047%s\047\n", name[k]
      if (k < NR) printf "duration %.6f\n", start[k + 1] - start[k]
    }
  }' segments.csv >list.txt
case $output in
  *.y4m)
    # The stream header is the one zolta-run keeps from ffmpeg's reading of
    # the input (frame rate, interlacing, aspect, chroma siting and range as
    # they were), then the joined frames.
    run "${ff[@]}" -i "file:$input" -map 0:v:0 "${convert[@]}" -frames:v 1 -f yuv4mpegpipe \
      -strict -1 first.y4m || die "ffmpeg could not read $shown_input"
    run bash -c 'set -o pipefail
      { head -n 1 first.y4m
        "$@" -f concat -safe 0 -i list.txt -map 0:v -fps_mode passthrough \
          -f yuv4mpegpipe -strict -1 - | tail -n +2
      } >"$0"' "$tmp" "${ff[@]}" ;;
  *)
    # The video starts where the input's did, against its audio; the colour
    # tags that the pixel conversion decides (matrix, range, chroma siting)
    # are read from a converted frame, those it leaves alone (primaries,
    # transfer) and the field order, which the cut does not keep, from the
    # input.
    from_input=$(probe stream=start_time,color_primaries,color_transfer,field_order:format=start_time "$input")
    from_frame=$(probe stream=color_space,color_range,chroma_location first.mkv)
    video_start=$(value start_time "$from_input")
    file_start=$(sed -n 's/^start_time=//p' <<<"$from_input" | tail -n 1)
    offset=$(awk -v v="$video_start" -v f="$file_start" \
      'BEGIN { if (v ~ /^-?[0-9.]+$/ && f ~ /^-?[0-9.]+$/) printf "%.6f", v - f; else print 0 }')
    tags=()
    tag() {  # OPTION VALUE: a value ffmpeg names. Range and siting are stated
      # even when unknown, as the YUV4MPEG2 passage would otherwise fill them in.
      case $2 in "" | reserved | N/A) return ;; esac
      if [ "$2" = unknown ] && [ "$1" != -color_range ]; then return; fi
      tags+=("$1:v" "$2")
    }
    primaries=$(value color_primaries "$from_input")
    transfer=$(value color_transfer "$from_input")
    matrix=$(value color_space "$from_frame")
    case $transfer in bt470m) transfer=gamma22 ;; bt470bg) transfer=gamma28 ;; esac
    case $matrix in gbr) matrix=rgb ;; esac
    tag -color_primaries "$primaries"
    tag -color_trc "$transfer"
    tag -colorspace "$matrix"
    tag -color_range "$(value color_range "$from_frame")"
    tag -chroma_sample_location "$(value chroma_location "$from_frame")"
    tag -field_order "$(value field_order "$from_input")"
    run "${ff[@]}" -itsoffset "$offset" -f concat -safe 0 -i list.txt -i "file:$input" \
      -map 0:v -map 1:a? -c copy "${tags[@]}" "$tmp" ;;
esac || die "ffmpeg could not join the segments"

if [ "$stream" = 0 ]; then
  if [ "$existed" = 1 ]; then
    # The owner first: changing it may clear set-id bits that the mode sets.
    if [ "$(id -u)" = 0 ] || [ "$owner" = "$(id -u)" ]; then
      chown -- "$owner:$group" "$tmp" 2>/dev/null || chgrp -- "$group" "$tmp" 2>/dev/null || true
    fi
    chmod -- "$mode" "$tmp"
  else
    chmod -- "$(printf '%o' $((8#666 & ~8#$(umask))))" "$tmp"
  fi
  if [ "$existed" = 1 ] && [ "$links" -gt 1 ]; then
    # Hard links stay linked: the result is copied into the file in place,
    # once the file holds room for all of it: it grows by zeros after its
    # end first, so a full disk leaves it as it was (fallocate --posix of
    # util-linux 2.38 reports success on a full disk). It is not truncated
    # first: freed blocks may not come back at once. What fails keeps the
    # complete output.
    kept=$tmp
    tmp=""
    size=$(stat -c %s -- "$kept") && old_size=$(stat -c %s -- "$target") ||
      die "cannot write $shown_output; the complete output is kept in $kept"
    if ((size > old_size)) && ! head -c $((size - old_size)) /dev/zero 2>/dev/null >>"$target"; then
      truncate -s "$old_size" -- "$target" 2>/dev/null || true
      die "cannot write $shown_output: no room for the result on its disk, the file is left as it was; the complete output is kept in $kept"
    fi
    { cat -- "$kept" 1<>"$target" && truncate -s "$size" -- "$target"; } ||
      die "cannot write $shown_output; the complete output is kept in $kept"
    rm -f -- "$kept"
  else
    mv -f -T -- "$tmp" "$target" || die "cannot write $shown_output"
  fi
  tmp=""
else
  run sh -c 'exec cat -- "$1" >"$2"' sh "$tmp" "$target" || die "cannot write $shown_output"
  rm -f -- "$tmp"
fi
