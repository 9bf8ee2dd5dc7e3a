#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# The Debian packages built, checked, installed on this machine, used from
# /usr and removed again:
#   debian_packages.sh BUILD OUT
# 1. builds them with `dpkg-buildpackage -b -us -uc` from a copy of the
#    sources in OUT/src (the packages land in OUT), tests and benchmarks off;
# 2. runs lintian, which must report no error (its output is printed);
# 3. purges the packages if an earlier run left them installed, installs
#    them (apt-get install ./….deb, waiting for dpkg's lock) and lists their
#    files (dpkg -L);
# 4. runs installed_use.sh on /usr against the native build tree BUILD: a C
#    program with pkg-config and with find_package(zolta), zolta-run, the
#    plugin module from the hosts' folders;
# 5. purges them, and checks that every file they brought and every folder
#    they made is gone.
# Must run as root; one run at a time on a machine (a lock); exits non-zero
# on the first failed step, purging what it installed.
set -uo pipefail
if [ $# -ne 2 ]; then
  echo "usage: debian_packages.sh BUILD OUT" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd) || exit 1
out=$2
packages=(libzolta1 libzolta-dev zolta-tools zolta-plugin frei0r-plugin-zolta gstreamer1.0-zolta
          ofx-plugin-zolta)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)

step() { printf -- '--- %s\n' "$*"; }
die() {
  echo "debian_packages: $*" >&2
  exit 1
}

# Our packages that dpkg knows in any state (installed, or configuration left).
known_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q -v "not-installed" && echo "$p"
  done
}

step "building the packages in $out"
rm -rf "$out" && mkdir -p "$out/src" || die "cannot make $out"
out=$(cd "$out" && pwd)
# The sources as the repository has them (tracked and new files, not what
# .gitignore leaves out, such as the build trees).
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 cp --parents -t "$out/src") || die "cannot copy the sources"
else
  tar -C "$source_dir" --exclude='./build*' -cf - . | tar -C "$out/src" -xf - ||
    die "cannot copy the sources"
fi
(cd "$out/src" && dpkg-buildpackage -b -us -uc -j2 >"$out/build.log" 2>&1) || {
  tail -n 40 "$out/build.log"
  die "dpkg-buildpackage failed (log: $out/build.log)"
}
version=$(dpkg-parsechangelog -l "$out/src/debian/changelog" -S Version)
header_version=$(sed -n 's/^#define ZOLTA_API_VERSION_\(MAJOR\|MINOR\) \([0-9]*\)$/\2/p' \
                 "$source_dir/include/zolta.h" | paste -sd. -).0
[ "${version%%-*}" = "$header_version" ] ||
  die "debian/changelog says $version, include/zolta.h $header_version"
debs=()
for p in "${packages[@]}"; do
  deb=$out/${p}_${version}_$arch.deb
  [ -f "$deb" ] || die "no $deb"
  debs+=("$deb")
done
ls -l "$out"/*.deb "$out"/*.ddeb 2>/dev/null | awk '{print "  " $5 "  " $NF}'

step "lintian"
changes=$out/zolta_${version}_$arch.changes
lintian --display-level ">=pedantic" "$changes" >"$out/lintian.txt" 2>&1
sed 's/^/  /' "$out/lintian.txt"
if grep -q '^E: ' "$out/lintian.txt"; then
  die "lintian reports errors"
fi

# From here on the machine's package state is ours: one run at a time, and
# apt waits for another user of dpkg to finish.
exec 9>/var/lock/zolta-debian-packages.lock && flock 9 || die "cannot take the lock"
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y "$@"
}

left=$(known_packages)
if [ -n "$left" ]; then
  step "purging what an earlier run left: $(echo $left)"
  # shellcheck disable=SC2086
  apt_get purge $left >/dev/null 2>&1 || die "cannot purge $left"
fi

step "installing the packages"
apt_get install --no-install-recommends "${debs[@]}" >"$out/install.log" 2>&1 || {
  cat "$out/install.log"
  die "installing the packages failed"
}
: >"$out/files.txt"
for p in "${packages[@]}"; do
  echo "  $p:"
  dpkg -L "$p" | sed 's/^/    /'
  dpkg -L "$p" >>"$out/files.txt"
done
sort -u "$out/files.txt" -o "$out/files.txt"

step "using the installed packages from /usr"
bash "$source_dir/tests/install/installed_use.sh" all /usr "lib/$multiarch" "$build" \
  "$out/checks"
use_status=$?

step "purging the packages"
apt_get purge "${packages[@]}" >"$out/purge.log" 2>&1 || {
  cat "$out/purge.log"
  die "purging the packages failed"
}
remaining=()
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder stays when something else owns it or put files into it.
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    dpkg -S "$path" >/dev/null 2>&1 && continue
    [ -n "$(ls -A "$path")" ] && continue
  fi
  remaining+=("$path")
done <"$out/files.txt"
[ ${#remaining[@]} -eq 0 ] || die "left behind after purging: ${remaining[*]}"
[ -z "$(known_packages)" ] || die "dpkg still knows $(known_packages)"
echo "  every file and folder the packages brought is gone"

[ $use_status -eq 0 ] || die "the installed packages did not work as the build tree"
echo "debian_packages: built, lintian-clean of errors, installed, used and removed"
