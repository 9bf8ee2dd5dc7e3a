#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# zolta-run end to end, file to file, beside ffmpeg's denoisers and beside the
# engine benchmark, on clips of noisy frames made with ffmpeg:
# 720 x 480 and 1920 x 1080; 4:2:2 and 4:2:0; 8 and 10 bits. zolta has every
# level on (all eighteen thresholds 40). Every row is a run under
# /usr/bin/time -v: wall time, CPU time (user + system) and peak memory. The
# quick programs (zolta-run, hqdn3d) run 3 times (RUNS) and the row shows the
# run with the shortest wall time, so that a moment of load on a shared
# machine does not decide a ratio; vaguedenoiser and nlmeans run once.
# Prints markdown tables:
#   1. every row: zolta-run with one thread and with every core; hqdn3d,
#      vaguedenoiser and (720 x 480 only) nlmeans at their defaults, with
#      ffmpeg's default threading and with one thread;
#   2. zolta-run with one thread against the engine benchmark (CPU time per
#      frame), every core against one thread, and zolta-run with every core
#      against the ffmpeg filters with theirs;
#   3. the temporal radius: zolta-run --sigma 10 --temporal R with every core
#      beside hqdn3d at its defaults, 4:2:0, both writing Y4M to a pipe; 8-bit
#      clips, 10-bit at 3840 x 2160.
# usage: bench/speed.sh [BUILD_DIR]    (default: build; needs zolta-run,
#        bench/zolta_engine_bench, ffmpeg and /usr/bin/time)
#        FRAMES=20 SIZES=720x480 RUNS=1 bench/speed.sh ...   a quicker look
#        LAYOUTS=420 DEPTHS=8 ...                              fewer clips
#        RADII="0 1 2" TEMPORAL_SIZES="1920x1080 3840x2160"    table 3 (the default)
#        SIZES= ...  table 3 alone;  RADII= ...  tables 1 and 2 alone
# Takes about a quarter of an hour on a 2-core machine (table 3 alone about
# five minutes); not part of the tests.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
Z=$build/zolta-run
B=$build/bench/zolta_engine_bench
picture=$root/data/astronaut.png
frames=${FRAMES:-100}
fast_runs=${RUNS:-3}
sizes=${SIZES-720x480 1920x1080}
layouts=${LAYOUTS:-422 420}
depths=${DEPTHS:-8 10}
radii=${RADII-0 1 2}
temporal_sizes=${TEMPORAL_SIZES-1920x1080 3840x2160}
for tool in "$Z" "$B" /usr/bin/time; do
  [ -x "$tool" ] || { echo "speed.sh: $tool not found" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "speed.sh: ffmpeg is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
thresholds=$(printf '40,%.0s' {1..18})
thresholds=${thresholds%,}
cores=$(nproc)

# Runs a command `runs` times under /usr/bin/time -v and keeps the run with
# the shortest wall time (read from the shell's clock, to the microsecond);
# prints "wall_s cpu_s peak_MB" of that run.
measure() {  # runs command...
  local runs=$1 best="" k start end wall cpu mb
  shift
  for ((k = 0; k < runs; ++k)); do
    start=$EPOCHREALTIME
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt"; then
      echo "speed.sh: failed: $*" >&2
      cat "$work/stderr.txt" >&2
      exit 1
    fi
    end=$EPOCHREALTIME
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    read -r cpu mb < <(awk -F': ' '/User time/ { user = $2 } /System time/ { sys = $2 }
      /Maximum resident set size/ { rss = $2 }
      END { printf "%.3f %.1f\n", user + sys, rss / 1024 }' "$work/time.txt")
    if [ -z "$best" ] || awk -v a="$wall" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best="$wall $cpu $mb"
    fi
  done
  echo "$best"
}

# The engine benchmark's CPU time per frame, in ms, for one frame format and
# size, one thread.
engine_ms() {  # layout bits width height
  "$B" --benchmark_filter="^api/yuv$1p$2/$3x$4\$" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median/ { t = $4; u = $5; gsub(/"/, "", u)
                         if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
                         printf "%.3f\n", t }'
}

rows=$work/rows.txt
summary=$work/summary.txt
: >"$rows"
: >"$summary"
row() {  # clip program threads "wall cpu mb"
  local clip=$1 program=$2 threads=$3 wall cpu mb
  read -r wall cpu mb <<<"$4"
  awk -v c="$clip" -v p="$program" -v t="$threads" -v w="$wall" -v u="$cpu" -v m="$mb" -v f="$frames" \
    'BEGIN { printf "| %s | %s | %s | %.3f | %.1f | %.2f | %.0f |\n", c, p, t, w, f / w, 1000 * u / f, m }' \
    >>"$rows"
  echo "$wall"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

for size in $sizes; do
  w=${size%x*}
  h=${size#*x}
  for layout in $layouts; do
    for bits in $depths; do
      fmt=yuv${layout}p
      [ "$bits" = 8 ] || fmt=${fmt}${bits}le
      clip=$work/clip.y4m
      name="${w}x${h} ${layout} ${bits}-bit"
      "${ff[@]}" -loop 1 -i "$picture" -frames:v "$frames" \
        -vf "scale=$w:$h,noise=alls=10:allf=t,format=$fmt" -strict -1 -f yuv4mpegpipe "$clip"

      z1=$(row "$name" "zolta-run" 1 \
        "$(measure "$fast_runs" "$Z" --threads 1 --thresholds "$thresholds" "$clip" /dev/null)")
      z1_cpu=$(awk -F'|' 'END { gsub(/ /, "", $7); print $7 }' "$rows")
      zn=$(row "$name" "zolta-run" "$cores" \
        "$(measure "$fast_runs" "$Z" --threads "$cores" --thresholds "$thresholds" "$clip" /dev/null)")
      filters="hqdn3d vaguedenoiser"
      [ "$size" = 720x480 ] && filters="$filters nlmeans"
      declare -A fast=()
      for f in $filters; do
        runs=$fast_runs
        [ "$f" = hqdn3d ] || runs=1  # the slow filters run long enough to time once
        fast[$f]=$(row "$name" "ffmpeg $f" default \
          "$(measure "$runs" "${ff[@]}" -i "$clip" -vf "$f" -strict -1 -f yuv4mpegpipe /dev/null)")
        row "$name" "ffmpeg $f" 1 "$(measure "$runs" "${ff[@]}" -threads 1 -filter_threads 1 \
          -filter_complex_threads 1 -i "$clip" -vf "$f" -strict -1 -f yuv4mpegpipe /dev/null)" \
          >/dev/null
      done
      engine=$(engine_ms "$layout" "$bits" "$w" "$h")
      {
        printf '| %s | %.2f | %s | %s | %s |' "$name" "$z1_cpu" "${engine:-?}" \
          "$( [ -n "$engine" ] && ratio "$z1_cpu" "$engine" || echo ?)" "$(ratio "$z1" "$zn")"
        for f in hqdn3d vaguedenoiser nlmeans; do
          if [ -n "${fast[$f]:-}" ]; then printf ' %s |' "$(ratio "${fast[$f]}" "$zn")"; else printf ' |'; fi
        done
        echo
      } >>"$summary"
      unset fast
      rm -f "$clip"
    done
  done
done

# Table 3: the temporal radius beside hqdn3d, each run's Y4M to a pipe.
temporal_rows=$work/temporal.txt
: >"$temporal_rows"
piped=(bash -o pipefail -c '"$@" | cat >/dev/null' piped)  # command...: its output through a pipe
temporal_row() {  # clip program "wall cpu mb" hqdn3d_wall
  local wall cpu mb
  read -r wall cpu mb <<<"$3"
  awk -v c="$1" -v p="$2" -v w="$wall" -v u="$cpu" -v m="$mb" -v f="$frames" -v h="${4:-$wall}" \
    'BEGIN { printf "| %s | %s | %.3f | %.1f | %.2f | %.0f | %.2f |\n", c, p, w, f / w, 1000 * u / f, m, w / h }' \
    >>"$temporal_rows"
}
if [ -n "$radii" ]; then
  for size in $temporal_sizes; do
    w=${size%x*}
    h=${size#*x}
    bits=8
    [ "$w" -ge 3840 ] && bits=10
    fmt=yuv420p
    [ "$bits" = 8 ] || fmt=${fmt}${bits}le
    clip=$work/clip.y4m
    name="${w}x${h} 420 ${bits}-bit"
    "${ff[@]}" -loop 1 -i "$picture" -frames:v "$frames" \
      -vf "scale=$w:$h,noise=alls=10:allf=t,format=$fmt" -strict -1 -f yuv4mpegpipe "$clip"
    hq=$(measure "$fast_runs" "${piped[@]}" "${ff[@]}" -i "$clip" -vf hqdn3d -strict -1 -f yuv4mpegpipe -)
    temporal_row "$name" "ffmpeg hqdn3d" "$hq"
    for r in $radii; do
      temporal_row "$name" "zolta-run --temporal $r" \
        "$(measure "$fast_runs" "${piped[@]}" "$Z" --threads "$cores" --sigma 10 --temporal "$r" "$clip" -)" \
        "${hq%% *}"
    done
    rm -f "$clip"
  done
fi

echo "zolta-run speed: $(date -u '+%Y-%m-%d %H:%M UTC'), $cores cores," \
  "$(ffmpeg -version | head -n 1 | cut -d' ' -f1-3), $frames frames a clip, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -s "$rows" ]; then
  echo
  echo "### Every run (Y4M file in, Y4M to /dev/null; zolta-run and hqdn3d: best of $fast_runs runs)"
  echo
  echo "| clip | program | threads | wall s | frames/s | CPU ms/frame | peak MB |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  cat "$rows"
  echo
  echo "### Ratios"
  echo
  echo "CPU: zolta-run --threads 1, user + system per frame; engine: the benchmark's CPU time per frame"
  echo "(median of 3). Speed-ups are frame rates with every core ($cores threads) over the other row."
  echo
  echo "| clip | zolta-run 1 thread CPU ms/frame | engine ms/frame | zolta-run / engine | every core / 1 thread | zolta-run / hqdn3d | zolta-run / vaguedenoiser | zolta-run / nlmeans |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|"
  cat "$summary"
fi
if [ -s "$temporal_rows" ]; then
  echo
  echo "### The temporal radius (Y4M file in, Y4M to a pipe; best of $fast_runs runs, $cores threads)"
  echo
  echo "zolta-run --sigma 10 --threads $cores; hqdn3d at its defaults with ffmpeg's threading."
  echo "The last column is the wall time over hqdn3d's on the same clip (below 1: faster)."
  echo
  echo "| clip | program | wall s | frames/s | CPU ms/frame | peak MB | / hqdn3d |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  cat "$temporal_rows"
fi
