#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# zolta on noise as cameras make it, side by side with ffmpeg's denoisers and
# OpenCV's non-local means across frames. Clips of 40 frames, 384 x 256,
# 4:2:0 8-bit from data/astronaut.png and data/coffee.png
# (tools/camera_clips/camera_clips.py, seed 2026: linear light, RGGB mosaic,
# shot + read noise, bilinear demosaicing, gamma 2.2, BT.601; levels "mild",
# "lowlight", "highiso", and "lowlight-x264", the low light through libx264 at
# CRF 20). PSNR against the clean clip (the same pipeline without noise) over
# the whole clip, every cell "all planes / Y". Every peer and zolta's fixed
# --sigma at the best point (all planes) of a small grid around the noise's
# standard deviation in Y (measured against the clean clip); zolta also with
# --sigma auto, and with a profile measured from the clip when zolta-run has
# --profile. OpenCV's filter (about 2.5 s a frame) is measured on every 8th
# frame only. A level "whiteN" (e.g. LEVELS=white10) adds tools/temporal_table's
# clip with Gaussian noise of sigma N on every plane, for reference.
# usage: bench/camera.sh [BUILD_DIR]   (needs zolta-run, ffmpeg, python3 with numpy,
#        scipy and OpenCV; about 12.5 minutes of one core)
#        CLIPS="astronaut-pan" LEVELS="highiso" bench/camera.sh   a part of it
#        CLIPS="astronaut-still coffee-still" ...   the still clips (not run by default)
#        PEERS=none ...   zolta's columns only (the peers' figures do not change
#                         with zolta's; reuse them from doc/benchmarks-camera.md)
#        KEEP=DIR ...     the clips are made in (and left in) DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
Z=$build/zolta-run
tools=$root/tools/camera_clips
py=/usr/bin/python3
[ -x "$py" ] || py=python3
[ -x "$Z" ] || { echo "camera.sh: $Z not found; build it first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "camera.sh: ffmpeg is not installed" >&2; exit 1; }
"$py" -c "import numpy, scipy, cv2" 2>/dev/null ||
  { echo "camera.sh: $py lacks numpy, scipy or cv2 (python3-numpy python3-scipy python3-opencv)" >&2; exit 1; }
clips=${CLIPS:-"astronaut-pan coffee-pan"}
levels=${LEVELS:-"mild lowlight highiso lowlight-x264"}
cv_every=8

peers=${PEERS:-all}
if [ -n "${KEEP:-}" ]; then
  work=$KEEP
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -filter_threads 1)
clip_tool() { "$py" "$tools/camera_clips.py" "$@"; }

camera_levels=() white=()
for l in $levels; do
  case $l in white[0-9]*) white+=("${l#white}") ;; *) camera_levels+=("$l") ;; esac
done
if [ ${#camera_levels[@]} -gt 0 ]; then
  # libpng's complaint about the photographs' colour profile is noise here.
  clip_tool make "$work" --clips "$(echo $clips | tr ' ' ',')" \
    --levels "$(IFS=,; echo "${camera_levels[*]}")" 2> >(grep -v iCCP >&2)
fi
if [ ${#white[@]} -gt 0 ]; then
  G=$build/tools/temporal_grid
  [ -x "$G" ] || { echo "camera.sh: $G not found; build it for the white-noise levels" >&2; exit 1; }
  mkdir -p "$work/white"
  "$G" --clips "$work/white" --sigmas "$(IFS=,; echo "${white[*]}")" \
    "$root/data/astronaut.png" "$root/data/coffee.png"
  for s in "${white[@]}"; do
    for c in $clips; do
      cp "$work/white/$c-clean.y4m" "$work/$c-white$s-clean.y4m"
      cp "$work/white/$c-s$s.y4m" "$work/$c-white$s.y4m"
    done
  done
fi

has_profile=0
# (grep reads the whole help: one that stops at the first match can leave
# zolta-run writing into a closed pipe, and pipefail would take that as no --profile)
"$Z" --help 2>&1 | grep -- '--profile' >/dev/null && has_profile=1

# f X: X rounded to one decimal.
f() { printf '%.1f' "$1"; }
times() { f "$(echo "$1 * $2" | bc -l)"; }

# score CLEAN OUT [--every K] -> "ALL Y"
score() { clip_tool psnr "${@:3}" "$1" "$2"; }

# Keeps the best (all planes) of candidates: consider NAME "ALL Y" SETTINGS
declare -A top_all top_y top_set
consider() {
  local all=${2% *} y=${2#* }
  if [ -z "${top_all[$1]:-}" ] || awk "BEGIN{exit !($all > ${top_all[$1]})}"; then
    top_all[$1]=$all; top_y[$1]=$y; top_set[$1]=$3
  fi
}

# peer NAME CLEAN NOISY FILTER...: ffmpeg's filter over its grid
peer() {
  local name=$1 clean=$2 noisy=$3
  shift 3
  for filter in "$@"; do
    "${ff[@]}" -i "$noisy" -vf "$filter" -pix_fmt yuv420p -f yuv4mpegpipe "$work/peer.y4m"
    consider "$name" "$(score "$clean" "$work/peer.y4m")" "$filter"
  done
}

cell() { printf ' %s / %s |' "${top_all[$1]}" "${top_y[$1]}"; }

header="| clip | level | noisy | zolta auto R0 | zolta auto R2 |"
rule="|---|---|---:|---:|---:|"
if [ $has_profile = 1 ]; then
  header+=" zolta profile R0 | zolta profile R2 |"; rule+="---:|---:|"
fi
header+=" zolta best R0 | zolta best R2 |"
rule+="---:|---:|"
if [ "$peers" != none ]; then
  header+=" fftdnoiz | atadenoise | hqdn3d | nlmeans | vaguedenoiser | bm3d basic | OpenCV NLM 5 frames |"
  rule+="---:|---:|---:|---:|---:|---:|---:|"
fi
rows=() notes=()

for c in $clips; do
  for l in $levels; do
    case $l in white*) clean=$work/$c-$l-clean.y4m ;; *) clean=$work/$c-clean.y4m ;; esac
    noisy=$work/$c-$l.y4m
    top_all=() top_y=() top_set=()
    read -r nall ny < <(score "$clean" "$noisy")
    read -r sy scb scr < <(clip_tool noise "$clean" "$noisy")
    row="| $c | $l | $nall / $ny |"

    for r in 0 2; do
      "$Z" --threads 1 --temporal $r --sigma auto "$noisy" "$work/z.y4m"
      consider "auto$r" "$(score "$clean" "$work/z.y4m")" "--sigma auto"
    done
    row+="$(cell auto0)$(cell auto2)"
    if [ $has_profile = 1 ]; then
      if "$Z" --estimate --profile-out "$work/profile.txt" "$noisy" >/dev/null; then
        for r in 0 2; do
          if "$Z" --threads 1 --temporal $r --profile "$work/profile.txt" "$noisy" "$work/z.y4m"; then
            consider "profile$r" "$(score "$clean" "$work/z.y4m")" "--profile"
            row+="$(cell profile$r)"
          else
            row+=" failed |"
          fi
        done
      else
        row+=" failed | failed |"
      fi
    fi
    for r in 0 2; do
      for k in 0.6 0.8 1 1.25 1.5 1.8; do
        s=$(times "$sy" $k)
        "$Z" --threads 1 --temporal $r --sigma "$s" "$noisy" "$work/z.y4m"
        consider "fixed$r" "$(score "$clean" "$work/z.y4m")" "$s"
      done
      row+=" ${top_all[fixed$r]} / ${top_y[fixed$r]} (σ ${top_set[fixed$r]}) |"
    done

    if [ "$peers" = none ]; then
      rows+=("$row")
      notes+=("- $c $l: noise σ Y $sy, Cb $scb, Cr $scr")
      echo "camera.sh: $c $l done" >&2
      continue
    fi
    grid=()
    for k in 0.8 1.3 2 3 4.5; do grid+=("fftdnoiz=sigma=$(times "$sy" $k):prev=1:next=1"); done
    peer fftdnoiz "$clean" "$noisy" "${grid[@]}"
    grid=()
    for a in 0.04 0.1 0.2 0.3; do
      for b in 0.1 0.2 0.4 1; do grid+=("atadenoise=0a=$a:1a=$a:2a=$a:0b=$b:1b=$b:2b=$b:s=9"); done
    done
    peer atadenoise "$clean" "$noisy" "${grid[@]}"
    grid=()
    for ks in 0.5 1 2 3; do
      for kt in 1 2 4; do
        ls=$(times "$sy" $ks) lt=$(times "$sy" $kt)
        grid+=("hqdn3d=$ls:$(times "$ls" 0.75):$lt:$lt")
      done
    done
    peer hqdn3d "$clean" "$noisy" "${grid[@]}"
    grid=()
    for k in 0.5 0.7 0.95 1.25; do grid+=("nlmeans=s=$(times "$sy" $k):p=7:r=9"); done
    peer nlmeans "$clean" "$noisy" "${grid[@]}"
    grid=()
    for k in 0.6 1 1.5 2 2.6; do grid+=("vaguedenoiser=threshold=$(times "$sy" $k)"); done
    peer vaguedenoiser "$clean" "$noisy" "${grid[@]}"
    grid=()
    for k in 2 3 4 5.5; do grid+=("bm3d=sigma=$(times "$sy" $k):estim=basic"); done
    peer bm3d "$clean" "$noisy" "${grid[@]}"
    for k in 0.7 1 1.4; do
      h=$(times "$sy" $k)
      "$py" "$tools/opencv_nlm.py" "$work/$c-$l.y4m" "$work/cv.y4m" "$h" --every $cv_every
      consider opencv "$(score "$clean" "$work/cv.y4m" --every $cv_every)" "h $h, every ${cv_every}th frame"
    done
    for p in fftdnoiz atadenoise hqdn3d nlmeans vaguedenoiser bm3d opencv; do row+="$(cell $p)"; done
    rows+=("$row")
    notes+=("- $c $l: noise σ Y $sy, Cb $scb, Cr $scr; best: fftdnoiz \`${top_set[fftdnoiz]}\`, atadenoise \`${top_set[atadenoise]}\`, hqdn3d \`${top_set[hqdn3d]}\`, nlmeans \`${top_set[nlmeans]}\`, vaguedenoiser \`${top_set[vaguedenoiser]}\`, bm3d \`${top_set[bm3d]}\`, OpenCV ${top_set[opencv]}")
    echo "camera.sh: $c $l done" >&2
  done
done

echo "PSNR in dB against the clean clip, every cell: all planes / Y."
echo
echo "$header"
echo "$rule"
printf '%s\n' "${rows[@]}"
echo
printf '%s\n' "${notes[@]}"
