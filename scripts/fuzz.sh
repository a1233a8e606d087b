#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# each for a fixed time: scripts/fuzz.sh [seconds per target, default 10] [target...]
# Seed corpora are in tests/fuzz/corpus/<target>; what a run learns goes to build/fuzz/corpus/<target>,
# and an input that breaks a target is saved as build/fuzz/<target>-crash-*.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
shift || true
build="$root/build/fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWHARFLING_FUZZ=ON -DWHARFLING_WERROR=OFF >/dev/null
cmake --build "$build"
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(url_fuzz page_tools_fuzz ini_fuzz server_forms_fuzz upload_receiver_fuzz)
fi
for target in "${targets[@]}"; do
  seeds="$root/tests/fuzz/corpus/$target"
  learned="$build/corpus/$target"
  mkdir -p "$learned"
  echo "== fuzz $target for ${seconds}s"
  (cd "$build" && "./tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$build/$target-" -print_final_stats=1 "$learned" "$seeds" \
    2>"$build/$target.log") || {
    tail -n 40 "$build/$target.log"
    echo "fuzz target $target failed: see $build/$target.log" >&2
    exit 1
  }
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build/$target.log" | tr '\n' ' '
  echo
done
