#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Installs what a fresh Debian 12 machine lacks for building and testing zolta.
#   install-deps.sh          everything (native build, sanitizers, fuzzing, Win32 cross build, wine,
#                            ARM64 cross build under qemu, with libpng for 64-bit ARM from Debian's
#                            multiarch packages for zolta-run, the Debian packages and lintian)
#   install-deps.sh --native only what the native build, zolta-run and the editors' faces
#                            (frei0r, GStreamer: their development files and real hosts; expat
#                            for the OpenFX SDK's host library the OpenFX tests build) need,
#                            with Python's numpy, SciPy and OpenCV for the camera-noise clips
#                            (tools/camera_clips) and bench/camera.sh
set -euo pipefail

native=(cmake make g++ pkg-config libpng-dev libgtest-dev libbenchmark-dev man-db
        frei0r-plugins-dev melt ffmpeg libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
        gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good libexpat1-dev
        python3-numpy python3-scipy python3-opencv)
full=("${native[@]}" clang libclang-rt-14-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
      g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb
      g++-aarch64-linux-gnu libpng-dev:arm64 qemu-user googletest parallel procps time debhelper
      dpkg-dev lintian)

want=("${full[@]}")
[ "${1:-}" = "--native" ] && want=("${native[@]}")

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# Packages of another architecture come from the same mirrors once dpkg knows
# that architecture.
for arch in i386 arm64; do
  if printf '%s\n' "${missing[@]}" | grep -q ":$arch\$"; then
    $SUDO dpkg --add-architecture "$arch"
  fi
done
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" \
  >/tmp/zolta-apt.log 2>&1 || { tail -n 30 /tmp/zolta-apt.log; exit 1; }
