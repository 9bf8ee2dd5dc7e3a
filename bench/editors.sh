#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# The editors' faces given one frame at a time, each frame shared by 1 thread
# and by every core: the frei0r filter in ffmpeg and in melt (1920 x 1080
# BGRA) and the GStreamer element (1920 x 1080 I420), frames per second of
# the whole process. The two counts of each row run back to back, RUNS times
# in turn (default 3), and the best run of each counts, so that a moment of
# load on a shared machine does not decide a ratio. Prints a markdown table
# with the ratio and the serial share s that Amdahl's law gives for it on N
# cores (speed-up S = 1 / (s + (1 - s) / N)), from which larger machines can
# be predicted; beside it the host's own share: the same command with the
# filter passing frames through (the frei0r filter at noise 0, which copies
# the frame; GStreamer's identity element), as a share of the one-thread
# time. What the host does per frame (decoding, melt's colour conversions,
# reading and copying buffers) stays serial however many cores the filter
# uses. melt runs twice: as its command line does by default (one thread
# renders every frame: decoding, its colour conversions, the filter, the
# encoding, in turn) and with the consumer's real_time=-N, N = the cores,
# as editors render with parallel processing (Shotcut's export): N frames
# rendered at once, each by its own thread with a filter instance of its own,
# none dropped; there melt's own work overlaps the filter's.
# usage: bench/editors.sh [BUILD_DIR]   (default: build; needs ffmpeg, melt,
#        gst-launch-1.0 and the frei0r and GStreamer modules built)
#        FRAMES=30 RUNS=3 PATHS="ffmpeg melt melt_parallel gst" bench/editors.sh ...
#        (PATHS: the rows to run)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
frames=${FRAMES:-30}
runs=${RUNS:-3}
cores=$(nproc)
for tool in ffmpeg melt gst-launch-1.0; do
  command -v "$tool" >/dev/null || { echo "editors.sh: $tool is not installed" >&2; exit 1; }
done
[ -f "$build/frei0r-1/zolta.so" ] || { echo "editors.sh: no $build/frei0r-1/zolta.so" >&2; exit 1; }
[ -d "$build/gstreamer-1.0" ] || { echo "editors.sh: no $build/gstreamer-1.0" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=25,noise=alls=20:allf=t" \
  -frames:v "$frames" -pix_fmt bgra -c:v rawvideo "$work/hd.nut"
ffmpeg -v error -i "$work/hd.nut" -pix_fmt yuv420p -f rawvideo "$work/hd420.raw"
export FREI0R_PATH=$build/frei0r-1 GST_PLUGIN_PATH=$build/gstreamer-1.0
export GST_REGISTRY=$work/registry.bin
gst-inspect-1.0 zoltadenoise >/dev/null

# Seconds of one run of "$@", tried up to three times; a command that fails
# every time stops the script.
seconds() {
  local start end try
  for try in 1 2 3; do
    start=$(date +%s.%N)
    if "$@" >"$work/run.log" 2>&1; then
      end=$(date +%s.%N)
      awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
      return 0
    fi
  done
  echo "editors.sh: $* failed:" >&2
  tail -n 5 "$work/run.log" >&2
  return 1
}

# The smaller of two times.
least() {
  awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'
}

# THREADS, or "host" for the filter passing frames through.
ffmpeg_run() {
  local params=
  [ "$1" = host ] && params=:filter_params=0
  ZOLTA_THREADS=${1/host/1} ffmpeg -v error -i "$work/hd.nut" \
    -vf "frei0r=filter_name=zolta$params" -f null -
}
# THREADS, then melt's consumer properties. melt 7.12 now and then exits at
# once with success and an unreadable file: a run counts only when it wrote
# its frames (melt writes one fewer than the clip has).
melt_with() {
  local threads=$1 params=()
  shift
  [ "$threads" = host ] && params=(0=0)
  rm -f "$work/m.nut"
  ZOLTA_THREADS=${threads/host/1} melt -quiet "$work/hd.nut" -filter frei0r.zolta "${params[@]}" \
    -consumer avformat:"$work/m.nut" vcodec=rawvideo pix_fmt=bgra an=1 "$@" </dev/null &&
    [ "$(stat -c %s "$work/m.nut" 2>/dev/null || echo 0)" -ge $(((frames - 1) * 1920 * 1080 * 4)) ]
}
melt_run() { melt_with "$1"; }
melt_parallel_run() { melt_with "$1" real_time=-"$cores"; }
gst_run() {
  local element=(zoltadenoise threads="$1")
  [ "$1" = host ] && element=(identity)
  gst-launch-1.0 -q filesrc location="$work/hd420.raw" ! \
    rawvideoparse format=i420 width=1920 height=1080 framerate=25/1 ! \
    "${element[@]}" ! fakesink
}

echo "| path | frames/s, 1 thread | frames/s, $cores threads | ratio | serial share | frames/s, host alone | host's share of 1 thread |"
echo "|---|---|---|---|---|---|---|"
for path in ${PATHS:-ffmpeg melt melt_parallel gst}; do
  best1=; bestn=; besth=
  for ((r = 0; r < runs; ++r)); do
    t1=$(seconds "${path}_run" 1)
    tn=$(seconds "${path}_run" "$cores")
    th=$(seconds "${path}_run" host)
    best1=$(least "$best1" "$t1")
    bestn=$(least "$bestn" "$tn")
    besth=$(least "$besth" "$th")
  done
  awk -v f="$frames" -v a="$best1" -v b="$bestn" -v h="$besth" -v n="$cores" -v p="$path" 'BEGIN {
    s = a / b; share = n > 1 ? (n / s - 1) / (n - 1) : 0;
    if (p == "melt_parallel") p = "melt real_time=-" n;
    printf "| %s | %.1f | %.1f | %.2f | %.2f | %.1f | %.2f |\n", p, f / a, f / b, s, share, f / h, h / a }'
done
