#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# scripts/split-denoise.sh around its run: SIGTERM, SIGINT and SIGHUP leave no
# process of the run behind and nothing written; folder names holding quotes,
# '%', newlines and parallel's replacement strings work for every path (input,
# output, --keep, --zolta, TMPDIR); the output file follows zolta-run's rules
# (through symlinks, mode, owner and hard links kept, read-only and folders
# refused).
# usage: split_denoise_files_test.sh ZOLTA_RUN
set -uo pipefail
source "$(dirname "$0")/split_denoise_support.sh"
cd "$work" || exit 1

# 40 noisy frames, in segments of 10; the reference is one zolta-run over all.
"${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 40 \
  -vf noise=alls=12:allf=t,format=yuv420p -f yuv4mpegpipe clip.y4m || exit 1
"$zolta" --sigma 5 clip.y4m whole.y4m || exit 1
denoise() {  # INPUT OUTPUT [OPTIONS...]
  local in=$1 out=$2
  shift 2
  bash "$split" -j 2 -t 1 --zolta "$zolta" "$@" "$in" "$out" -- --sigma 5
}
same_frames() {  # OUTPUT [WHOLE]: the frames of the whole run, whatever the container
  local whole=${2:-whole.y4m}
  if [[ $1 == *.y4m ]]; then cmp "$whole" "$1"; return; fi
  cmp <(tail -n +2 "$whole") <(ffmpeg -v error -nostdin -i "$1" -f yuv4mpegpipe - | tail -n +2)
}

# Signals. zolta-run gets its first frames and then an input that stalls, so
# every job is mid-run (ffmpeg, zolta-run, ffmpeg and the shells between)
# when the signal comes. The script runs in a session of its own, so that any
# process it leaves behind is found; SIGINT is given its default action, which
# a shell's background command would otherwise ignore.
cat >stalling-zolta <<EOF
#!/bin/bash
{ head -c 20000; exec sleep 600; } | exec $(printf %q "$zolta") "\$@"
EOF
chmod +x stalling-zolta
mkdir signal-tmp
signal_case() {  # SIGNAL NUMBER [ZOLTA-RUN OPTIONS...]
  local pid running=0 i status left
  TMPDIR=$PWD/signal-tmp env --default-signal=INT setsid bash "$split" -j 2 -t 1 \
    --zolta ./stalling-zolta clip.y4m "signal-$1.mkv" -- --sigma 5 "${@:3}" &
  pid=$!
  for ((i = 0; i < 300 && running < 2; i++)); do
    sleep 0.1
    running=$(pgrep -s "$pid" -x zolta-run | wc -l)
  done
  [ "$running" -ge 2 ] || { echo "the jobs did not start"; kill -KILL "$pid"; return 1; }
  [ "$(ps -o pid= -s "$pid" | wc -l)" -ge 6 ] || { echo "too few processes to test"; return 1; }
  kill -s "$1" "$pid"
  # (stderr off: the shell notes the signal when it reaps the script)
  { for ((i = 0; i < 300 && $(ps -o stat= -p "$pid" | grep -cv '^Z') > 0; i++)); do
    sleep 0.1
  done; } 2>/dev/null
  if kill -0 "$pid" 2>/dev/null && [ "$(ps -o stat= -p "$pid")" != Z ]; then
    echo "the script still runs 30 seconds after SIG$1:"
    ps -o stat=,pid=,args= -s "$pid"
    kill -KILL $(ps -o pid= -s "$pid")
    return 1
  fi
  { wait "$pid"; } 2>/dev/null
  status=$?
  # Dead processes whose parent ended are no concern (here nothing reaps them).
  left=$(ps -o stat=,pid=,args= -s "$pid" | grep -v '^Z')
  if [ -n "$left" ]; then
    echo "left running after SIG$1:"
    echo "$left"
    kill -KILL $(awk '{ print $2 }' <<<"$left")
    return 1
  fi
  [ "$status" -eq $((128 + $2)) ] || { echo "exit status $status after SIG$1"; return 1; }
  [ -z "$(ls -A signal-tmp)" ] && [ -z "$(ls -A | grep -e "signal-$1" -e '^\.split')" ] ||
    { echo "files left after SIG$1:"; ls -A . signal-tmp; return 1; }
}
check "SIGTERM stops every process" signal_case TERM 15
check "SIGINT stops every process" signal_case INT 2
check "SIGHUP stops every process" signal_case HUP 1
check "SIGTERM stops every process of overlapping segments (--temporal 1)" \
  signal_case TERM 15 --temporal 1

# Names: quotes of both kinds, '%' with a segment number's pattern, a newline
# at the end, parallel's replacement strings, shell words and a leading dash.
odd_name=$'-John\'s 100%06d "renders" {} {.} $HOME `id` ; \\ *\n'
odd=./$odd_name
mkdir -- "$odd" && mkdir -- "$odd/tmp $odd_name" || exit 1
cp clip.y4m "$odd/clip $odd_name.y4m" && cp "$zolta" "$odd/zolta-run $odd_name" || exit 1
names_case() {  # OUTPUT_EXTENSION [REFERENCE ZOLTA-RUN OPTIONS...]
  TMPDIR=$odd/tmp\ $odd_name bash "$split" -j 2 -t 1 --zolta "$odd/zolta-run $odd_name" \
    --keep "$odd/keep $1 $odd_name" "$odd/clip $odd_name.y4m" "$odd/out $odd_name.$1" -- --sigma 5 \
    "${@:3}" &&
    same_frames "$odd/out $odd_name.$1" "${2:-whole.y4m}" &&
    [ "$(ls "$odd/keep $1 $odd_name" | grep -c '^part-.*\.done\.mkv$')" -eq 4 ] &&
    [ -z "$(ls -A "$odd/tmp $odd_name")" ]
}
check "odd folder names, YUV4MPEG2 output" names_case y4m
check "odd folder names, Matroska output" names_case mkv
"$zolta" --sigma 5 --temporal 2 clip.y4m whole-2.y4m || exit 1
check "odd folder names, overlapping segments (--temporal 2)" names_case t2.mkv whole-2.y4m \
  --temporal 2
check "odd TMPDIR given relative, temporary segments" bash -c '
  TMPDIR=$4 bash "$1" -j 2 -t 1 --zolta "$2" "$3" out-tmpdir.y4m -- --sigma 5 &&
  cmp whole.y4m out-tmpdir.y4m && [ -z "$(ls -A "$4")" ]' _ "$split" "$zolta" clip.y4m \
  "$odd/tmp $odd_name"

# The output file, as zolta-run writes one.
links_case() {
  echo old >link-target.y4m
  ln -sf link-target.y4m link.y4m
  denoise clip.y4m link.y4m && [ -L link.y4m ] && same_frames link-target.y4m &&
    [ "$(readlink link.y4m)" = link-target.y4m ]
}
check "a symlink is written through" links_case
mode_owner_case() {
  echo old >kept.mkv
  chmod 640 kept.mkv
  local want="640 $(id -u) $(id -g)"
  if [ "$(id -u)" = 0 ]; then
    chown 4321:8765 kept.mkv && want="640 4321 8765"
  fi
  denoise clip.y4m kept.mkv && same_frames kept.mkv &&
    [ "$(stat -c '%a %u %g' kept.mkv)" = "$want" ] ||
    { echo "mode and owner: $(stat -c '%a %u %g' kept.mkv), wanted $want"; return 1; }
}
check "an existing file keeps its mode and owner" mode_owner_case
hard_link_case() {
  echo old >hard.y4m
  ln -f hard.y4m hard-too.y4m
  denoise clip.y4m hard.y4m && same_frames hard-too.y4m &&
    [ "$(stat -c %i hard.y4m)" = "$(stat -c %i hard-too.y4m)" ]
}
check "hard links stay linked" hard_link_case
# A disk with room for the result once (the temporary) but not twice: the
# hard-linked file cannot take the copy and keeps its old bytes, the complete
# output is kept and named. Needs a small tmpfs, which only root may mount.
full_disk_case() {
  local kept status=0
  mkdir -p disk
  if ! mount -t tmpfs -o size=320k tmpfs disk 2>/dev/null; then
    echo "skipped: a full disk with hard links (cannot mount a small tmpfs here; needs root)"
    return 0
  fi
  head -c 100000 /dev/zero | tr '\0' o >disk/full.y4m && ln -f disk/full.y4m disk/full-too.y4m &&
    ! denoise clip.y4m disk/full.y4m 2>full.err &&
    grep -q "no room for the result on its disk, the file is left as it was" full.err &&
    [ "$(tr -d o <disk/full-too.y4m | wc -c)" = 0 ] && [ "$(stat -c %s disk/full.y4m)" = 100000 ] &&
    [ "$(stat -c %i disk/full.y4m)" = "$(stat -c %i disk/full-too.y4m)" ] &&
    kept=$(sed -n 's/.*the complete output is kept in //p' full.err) && cmp whole.y4m "$kept" ||
    { status=1; cat full.err; ls -la disk; }
  umount disk
  return $status
}
check "a full disk leaves a hard-linked output as it was" full_disk_case
new_file_case() {
  (umask 027 && denoise clip.y4m fresh.y4m) && [ "$(stat -c %a fresh.y4m)" = 640 ]
}
check "a new file is made by the umask" new_file_case
read_only_case() {
  echo old >locked.mkv
  chmod 444 locked.mkv
  ! denoise clip.y4m locked.mkv 2>locked.err && [ "$(cat locked.mkv)" = old ] &&
    grep -q "locked.mkv is read-only: not replaced" locked.err &&
    [ -z "$(ls -A | grep '^\.split')" ]
}
check "a read-only output is refused" read_only_case
folder_case() {
  mkdir -p folder.mkv
  ! denoise clip.y4m folder.mkv 2>folder.err && grep -q "it is a directory" folder.err &&
    [ -z "$(ls -A folder.mkv)" ]
}
check "a folder is refused" folder_case
pipe_case() {
  mkfifo piped.mkv && { cat piped.mkv >from-pipe.mkv & } &&
    denoise clip.y4m piped.mkv && wait $! && [ -p piped.mkv ] && same_frames from-pipe.mkv
}
check "a pipe is written in place" pipe_case

echo "split-denoise files: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
