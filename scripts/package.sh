#!/usr/bin/env bash
# Builds the Debian packages wharfling, wharfling-desktop and parvault-server into build/debs/ the
# Debian way (debian/, debhelper, dpkg-buildpackage -b -us -uc), in the release flavour's build
# tree: after the test command's release build it only installs and packs. Then runs lintian.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/debs"
# What the build needs (debian/control's Build-Depends) and lintian, when the machine lacks them.
if ! command -v dpkg-checkbuilddeps >/dev/null || ! command -v lintian >/dev/null ||
  ! (cd "$root" && dpkg-checkbuilddeps 2>/dev/null); then
  echo "installing the packages' build dependencies"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends dpkg-dev lintian
  apt-get build-dep -y -q --no-install-recommends "$root"
fi
rm -rf "$out"
mkdir -p "$out"
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
cd "$root"
# debhelper gives the build a HOME of its own: a compiler cache keeps its usual folder.
if [ -n "${CMAKE_CXX_COMPILER_LAUNCHER-}" ] && command -v ccache >/dev/null; then
  CCACHE_DIR=$(ccache -k cache_dir)
  export CCACHE_DIR
fi
# The .buildinfo and .changes go beside the packages, not into the folder above the checkout.
dpkg-buildpackage -b -us -uc --buildinfo-file="$out/wharfling_${version}_${arch}.buildinfo" \
  --buildinfo-option=-u"$out" --changes-file="$out/wharfling_${version}_${arch}.changes" \
  --changes-option=-u"$out" >"$out/build.log" 2>&1 || {
  tail -n 60 "$out/build.log" >&2
  echo "package build failed: see $out/build.log" >&2
  exit 1
}
# dh_clean leaves debian/ as committed; its own work folders go.
echo "== packages in $out"
(cd "$out" && ls -l -- *.deb)
echo "== lintian"
lintian --fail-on error --tag-display-limit 0 --info "$out"/*.changes
