#!/usr/bin/env bash
# Configures and builds one flavour: scripts/build.sh [release|sanitize] -> build/<flavour>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
case "$flavour" in
  release) extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) extra=(-DCMAKE_BUILD_TYPE=Debug -DWHARFLING_SANITIZE=ON) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 64 ;;
esac
cmake -S "$root" -B "$root/build/$flavour" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$root/build/$flavour"
