#!/usr/bin/env bash
# The main job: screens a few generated sample photos as the upload dialog would.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WHARFLING_CONFIG_DIR="$work/config"
head -c 120000 /dev/urandom >"$work/beach.jpg"
head -c 2500000 /dev/urandom >"$work/panorama.jpg"
mkdir "$work/holiday"
"$root/build/release/wharfling" screen "$work/beach.jpg" "$work/panorama.jpg" "$work/holiday"
