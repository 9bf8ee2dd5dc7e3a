#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Uses an installed zolta from where it was installed, the way its users do,
# and compares every result with the build tree's:
#   installed_use.sh CHECK PREFIX LIBDIR BUILD WORK
# CHECK is one of
#   pkg-config     a C program compiled with `pkg-config --cflags --libs zolta`
#   cmake-package  the same program built by a CMake project with find_package(zolta)
#   zolta-run      the installed zolta-run on a stream and its demo; its manual
#   plugins        the plugin module found by the host stand-ins in the plugin folders
#   editors        the frei0r filter in ffmpeg and the GStreamer element in gst-launch-1.0,
#                  found where they were installed (in /usr: by the hosts' own search)
#   ofx            zolta.ofx.bundle in PREFIX/OFX/Plugins (/usr/OFX/Plugins: where OpenFX hosts
#                  look), loaded by the OpenFX test host from there
#   all            every one of them
# PREFIX is the installation prefix (/usr for the Debian packages), LIBDIR the
# library folder under it, BUILD the native build tree (its zolta-run, its
# probe program and stand-ins give the expected results), WORK an empty folder
# for this run's files.
set -uo pipefail
if [ $# -ne 5 ]; then
  echo "usage: installed_use.sh CHECK PREFIX LIBDIR BUILD WORK" >&2
  exit 2
fi
check=$1 libdir=$3 work=$5
prefix=$(cd "$2" && pwd) || exit 1
build=$(cd "$4" && pwd) || exit 1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
probe_source=$source_dir/tests/install/denoise_frame.c
lib=$prefix/$libdir
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1

# The version the installed header declares: the .pc, the soname and the
# file name must follow it.
header=$prefix/include/zolta.h
major=$(sed -n 's/^#define ZOLTA_API_VERSION_MAJOR \([0-9]*\)$/\1/p' "$header")
minor=$(sed -n 's/^#define ZOLTA_API_VERSION_MINOR \([0-9]*\)$/\1/p' "$header")
[ -n "$major" ] && [ -n "$minor" ] || { echo "no version in $header" >&2; exit 1; }
version=$major.$minor.0

# Where the dynamic linker takes the library from for a program, resolved.
library_used_by() {
  local path
  path=$(ldd "$1" | sed -n 's/^[[:space:]]*libzolta\.so\.[0-9]* => \([^ ]*\) .*/\1/p')
  [ -n "$path" ] && readlink -f "$path"
}

# The build tree's probe output, the frame every installed copy must give.
"$build/zolta_install_probe" expected.frame >/dev/null || fail "the build tree's probe failed"

# The probe built against the installed library gives the same frame, and
# runs with the installed library.
check_probe() {
  local program=$1 what=$2
  "$program" "$what.frame" || { fail "$what: the probe failed"; return; }
  cmp -s expected.frame "$what.frame" || fail "$what: the frame differs from the build tree's"
  [ "$(library_used_by "$program")" = "$(readlink -f "$lib/libzolta.so.$major")" ] ||
    fail "$what: the probe runs with $(library_used_by "$program"), not $lib/libzolta.so.$major"
}

check_library_files() {
  [ -f "$lib/libzolta.so.$version" ] && [ ! -L "$lib/libzolta.so.$version" ] ||
    fail "no file $lib/libzolta.so.$version"
  [ "$(readlink "$lib/libzolta.so.$major")" = "libzolta.so.$version" ] ||
    fail "$lib/libzolta.so.$major is not a link to libzolta.so.$version"
  [ -L "$lib/libzolta.so" ] || fail "no development link $lib/libzolta.so"
  objdump -p "$lib/libzolta.so.$version" | grep -q "SONAME *libzolta\.so\.$major\$" ||
    fail "the soname of $lib/libzolta.so.$version is not libzolta.so.$major"
}

run_pkg_config() {
  check_library_files
  export PKG_CONFIG_PATH=$lib/pkgconfig
  [ "$(pkg-config --modversion zolta)" = "$version" ] ||
    fail "pkg-config gives version $(pkg-config --modversion zolta), the header $version"
  local libdir_of_pc
  libdir_of_pc=$(pkg-config --variable=libdir zolta)
  [ "$(readlink -f "$libdir_of_pc")" = "$(readlink -f "$lib")" ] ||
    fail "zolta.pc names the library folder $libdir_of_pc, not $lib"
  # shellcheck disable=SC2046  # the flags are words
  if cc -std=c99 -Wall -Wextra -Werror -o probe-pkg-config "$probe_source" \
       $(pkg-config --cflags --libs zolta) -Wl,-rpath,"$libdir_of_pc"; then
    check_probe ./probe-pkg-config pkg-config
  else
    fail "the probe does not build with pkg-config's flags"
  fi
}

run_cmake_package() {
  if cmake -S "$source_dir/tests/install/consumer" -B consumer -DCMAKE_BUILD_TYPE=Release \
       -DCMAKE_PREFIX_PATH="$prefix" -DZOLTA_PROBE_SOURCE="$probe_source" \
       -DZOLTA_WANTED_VERSION="$major.$minor" >consumer.log 2>&1 &&
     cmake --build consumer >>consumer.log 2>&1; then
    local found
    found=$(sed -n 's/^zolta_DIR:PATH=//p' consumer/CMakeCache.txt)
    [ "$(readlink -f "$found")" = "$(readlink -f "$lib/cmake/zolta")" ] ||
      fail "find_package(zolta) found $found, not $lib/cmake/zolta"
    check_probe consumer/denoise_frame cmake-package
  else
    cat consumer.log >&2
    fail "the probe does not build with find_package(zolta)"
  fi
  # The version file: another major version is not this one.
  if cmake -S "$source_dir/tests/install/consumer" -B consumer-next -DCMAKE_PREFIX_PATH="$prefix" \
       -DZOLTA_PROBE_SOURCE="$probe_source" -DZOLTA_WANTED_VERSION=$((major + 1)).0 \
       >consumer-next.log 2>&1; then
    fail "find_package(zolta $((major + 1)).0) accepted version $version"
  fi
}

# A YUV4MPEG2 stream of two 4:2:0 frames; the samples are bytes of the
# bundled photograph's file, varied enough for every wavelet level.
write_stream() {
  {
    printf 'YUV4MPEG2 W64 H48 F25:1 Ip A1:1 C420jpeg\n'
    for skip in 4000 20000; do
      printf 'FRAME\n'
      tail -c +"$skip" "$source_dir/data/astronaut.png" | head -c 4608
    done
  } >"$1"
}

run_zolta_run() {
  local program=$prefix/bin/zolta-run
  [ -x "$program" ] || { fail "no $program"; return; }
  [ "$(library_used_by "$program")" = "$(readlink -f "$lib/libzolta.so.$major")" ] ||
    fail "$program runs with $(library_used_by "$program"), not $lib/libzolta.so.$major"
  # No folder of the build machine in what was installed.
  local file
  for file in "$program" "$lib/libzolta.so.$version" "$lib/vapoursynth/libzolta_plugin.so"; do
    if grep -q -F -e "$source_dir" -e "$build" "$file"; then
      fail "$file holds a path of the build machine ($source_dir)"
    fi
  done

  write_stream in.y4m
  local settings=(--thresholds 160,56,32,192,64,40,200,70,40,230,80,48,200,70,40,230,80,48)
  "$build/zolta-run" "${settings[@]}" in.y4m expected.y4m || fail "the build tree's zolta-run failed"
  "$program" "${settings[@]}" in.y4m got.y4m || fail "$program failed on a stream"
  "$program" "${settings[@]}" - - <in.y4m >piped.y4m || fail "$program failed between pipes"
  cmp -s expected.y4m got.y4m || fail "$program wrote another stream than the build tree's"
  cmp -s expected.y4m piped.y4m || fail "$program wrote another stream to a pipe"

  # The demo finds the installed photograph and writes into the working folder.
  mkdir -p demo-here && (cd demo-here && "$program" --demo --sigma 12 >report.txt) ||
    fail "the installed demo failed"
  grep -q -F "zolta-run demo: $prefix/bin/../share/zolta/astronaut.png" demo-here/report.txt ||
    fail "the installed demo did not read $prefix/share/zolta/astronaut.png: $(head -n 1 demo-here/report.txt)"
  "$build/zolta-run" --demo --sigma 12 --out-dir "$work/demo-build" >/dev/null ||
    fail "the build tree's demo failed"
  cmp -s demo-build/astronaut-denoised.png demo-here/zolta-demo/astronaut-denoised.png ||
    fail "the installed demo's picture differs from the build tree's"

  # Without its photograph, the demo says where it looked and how to name one.
  mkdir -p lonely/bin lonely/lib && cp "$program" lonely/bin/ &&
    cp -P "$lib"/libzolta.so.* lonely/lib/ || fail "cannot copy the installed program"
  if lonely/bin/zolta-run --demo --out-dir lonely-demo >lonely.txt 2>&1; then
    fail "the demo ran without its photograph"
  fi
  grep -q -e "--picture" lonely.txt || fail "the demo without its photograph said: $(cat lonely.txt)"
  lonely/bin/zolta-run --demo --sigma 12 --picture "$prefix/share/zolta/astronaut.png" \
    --out-dir lonely-demo >/dev/null || fail "the demo failed with --picture"
  cmp -s demo-build/astronaut-denoised.png lonely-demo/astronaut-denoised.png ||
    fail "the demo with --picture gave another picture"

  # The manual: installed, clean for man, and naming every option of --help.
  local manual
  manual=$(ls "$prefix"/share/man/man1/zolta-run.1* 2>/dev/null | head -n 1)
  if [ -z "$manual" ]; then
    fail "no manual in $prefix/share/man/man1"
  else
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns on $manual: $warnings"
    local text option
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$manual" 2>/dev/null)
    for option in $("$program" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
      grep -q -F -e "$option" <<<"$text" || fail "the manual does not name $option"
    done
  fi
}

run_plugins() {
  local vs=$lib/vapoursynth avs=$lib/avisynth
  [ -d "$vs" ] && [ -d "$avs" ] || { fail "no plugin folders $vs and $avs"; return; }
  ZOLTA_VAPOURSYNTH_PLUGIN_DIR=$vs ZOLTA_AVISYNTH_PLUGIN_DIR=$avs \
    "$build/zolta_plugin_folder_tests" --gtest_brief=1 ||
    fail "the plugin module was not found or gave other frames in $vs and $avs"
}

# The frei0r filter and the GStreamer element from their installed folders:
# in /usr the hosts find them by themselves; elsewhere they are told the
# folders, as a user of such a prefix tells them. Their frames are compared
# with those of the build tree's modules.
run_editors() {
  local frei0r_dir=$prefix/lib/frei0r-1 gst_dir=$lib/gstreamer-1.0
  [ -f "$frei0r_dir/zolta.so" ] || { fail "no frei0r filter in $frei0r_dir"; return; }
  [ -f "$gst_dir/libgstzolta.so" ] || { fail "no GStreamer element in $gst_dir"; return; }
  local frei0r_env=(env -u FREI0R_PATH) gst_env=(env -u GST_PLUGIN_PATH)
  if [ "$prefix" != /usr ]; then
    frei0r_env=(env FREI0R_PATH="$frei0r_dir")
    gst_env=(env GST_PLUGIN_PATH="$gst_dir")
  fi
  local clip=(-f lavfi -i "testsrc=size=64x48:rate=5,format=bgra" -frames:v 3)
  local filter=(-vf "frei0r=filter_name=zolta:filter_params=0.2" -f rawvideo -pix_fmt bgra)
  "${frei0r_env[@]}" ffmpeg -v error -nostdin -y "${clip[@]}" "${filter[@]}" frei0r-installed.raw ||
    fail "ffmpeg did not run the installed frei0r filter"
  FREI0R_PATH=$build/frei0r-1 ffmpeg -v error -nostdin -y "${clip[@]}" "${filter[@]}" \
    frei0r-build.raw || fail "ffmpeg did not run the build tree's frei0r filter"
  cmp -s frei0r-installed.raw frei0r-build.raw ||
    fail "the installed frei0r filter gives other frames than the build tree's"
  local pipeline=(videotestsrc num-buffers=3 ! video/x-raw,format=I420,width=64,height=48 !
                  zoltadenoise sigma=10 ! filesink async=false)
  "${gst_env[@]}" GST_REGISTRY="$work/registry-installed.bin" timeout 60 \
    gst-inspect-1.0 zoltadenoise >/dev/null 2>&1 || fail "gst-inspect-1.0 does not find zoltadenoise"
  "${gst_env[@]}" GST_REGISTRY="$work/registry-installed.bin" timeout 60 \
    gst-launch-1.0 -q "${pipeline[@]}" location=gst-installed.yuv >/dev/null 2>&1 ||
    fail "gst-launch-1.0 did not run the installed element"
  GST_PLUGIN_PATH=$build/gstreamer-1.0 GST_REGISTRY="$work/registry-build.bin" timeout 60 \
    gst-launch-1.0 -q "${pipeline[@]}" location=gst-build.yuv >/dev/null 2>&1 ||
    fail "gst-launch-1.0 did not run the build tree's element"
  cmp -s gst-installed.yuv gst-build.yuv ||
    fail "the installed GStreamer element gives other frames than the build tree's"
}

# The OpenFX bundle where it was installed, run by the build tree's OpenFX
# test host (built when the OpenFX SDK's source was at hand) from that folder.
run_ofx() {
  local bundle=$prefix/OFX/Plugins/zolta.ofx.bundle/Contents
  [ -f "$bundle/Linux-$(uname -m | sed 's/_/-/g')/zolta.ofx" ] ||
    { fail "no zolta.ofx in $bundle"; return; }
  [ -f "$bundle/Resources/org.zolta.denoise.png" ] || fail "no icon in $bundle/Resources"
  local host_tests=$build/tests/ofx/zolta_ofx_host_tests
  if [ ! -x "$host_tests" ]; then
    echo "ofx: the bundle's files are there; no OpenFX test host in $build to load it"
    return
  fi
  ZOLTA_OFX_PLUGIN_PATH=$prefix/OFX/Plugins "$host_tests" --gtest_brief=1 \
    --gtest_filter='OfxHost.FindsTheBundle*:OfxHost.EveryDepth*:OfxHost.TemporalRadius*' ||
    fail "the installed bundle was not found or gave other frames in $prefix/OFX/Plugins"
}

case $check in
  pkg-config) run_pkg_config ;;
  cmake-package) run_cmake_package ;;
  zolta-run) run_zolta_run ;;
  plugins) run_plugins ;;
  editors) run_editors ;;
  ofx) run_ofx ;;
  all) run_pkg_config; run_cmake_package; run_zolta_run; run_plugins; run_editors; run_ofx ;;
  *) echo "unknown check $check" >&2; exit 2 ;;
esac
if [ "$failures" -ne 0 ]; then
  echo "$check: $failures failures ($prefix)" >&2
  exit 1
fi
echo "$check: the installed files in $prefix work as the build tree's"
