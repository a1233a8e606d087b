#!/usr/bin/env bash
# Configures and builds one flavour with warnings as errors, as the test command wants it:
# scripts/build.sh [release|sanitize] [TARGET...] -> build/<flavour>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift $(($# > 0 ? 1 : 0))
case "$flavour" in
  # Debian's build flags (hardening), as debian/rules passes them: the packages are built in this
  # very tree (scripts/package.sh), so that packaging after the tests compiles nothing again.
  release)
    extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
    if command -v dpkg-buildflags >/dev/null; then
      flags() { (cd "$root" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"); }
      extra+=("-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)" "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)")
    fi
    ;;
  # The desktop program is built and tested once, in the release flavour: Qt's own libraries are not
  # instrumented, and their leak reports would drown the project's.
  sanitize) extra=(-DCMAKE_BUILD_TYPE=Debug -DWHARFLING_SANITIZE=ON -DWHARFLING_DESKTOP=OFF) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 64 ;;
esac
# Quiet, also in a tree that the package build (which logs every command) configured last.
cmake -S "$root" -B "$root/build/$flavour" -G Ninja -DWHARFLING_WERROR=ON -DCMAKE_VERBOSE_MAKEFILE=OFF "${extra[@]}" \
  >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$root/build/$flavour" "${targets[@]}"
