#!/usr/bin/env bash
# Builds everything and runs every test: the formatting check, the release build and its tests, the
# Debian packages built in that same tree and checked, the Windows cross build and the Wine tests,
# the sanitizer build and its tests, and a short run of each fuzz target. Each part prints its time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The processor time of the finished commands too: on a shared machine the wall time says little.
# `times` runs in this shell (a subshell would count only its own children) and sets cpu.
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
read_cpu() {
  times >"$times_file"
  cpu=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%d", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
    "$times_file")
}
started=$SECONDS
part_started=$SECONDS
part_cpu=0
part() {
  read_cpu
  if ((SECONDS > started)); then
    echo "   (took $((SECONDS - part_started)) s, $((cpu - part_cpu)) s of processor time)"
  fi
  part_started=$SECONDS
  part_cpu=$cpu
  echo "== $*"
}

part "packages the tests need"
bash "$root/scripts/install-deps.sh" tests

part "formatting"
bash "$root/scripts/check-format.sh"

# The browser test (headless Chromium against the server's pages) runs once, in the release flavour,
# and never skips here: the server's routes have their own tests in both flavours, and Chromium's
# start-up beside sanitized programs would only slow the run down.
part "release build"
bash "$root/scripts/build.sh" release
part "release tests"
(cd "$root/build/release" && WHARFLING_REQUIRE_BROWSER=1 WHARFLING_REQUIRE_KEYRING=1 WHARFLING_REQUIRE_DESKTOP_TOOLS=1 \
  WHARFLING_REQUIRE_POSTGRES=1 ctest --output-on-failure --timeout 300 -j2 -LE wine)

# The packages are made from the release tree just built: nothing is compiled again.
part "Debian packages (the release build, packed) and their contents"
bash "$root/scripts/package.sh"
bash "$root/tests/packaging/check_packages.sh" "$root/build/debs"

part "Windows cross build: wharfling.dll and the Wine probe"
cmake -S "$root" -B "$root/build/mingw" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/mingw"
part "Windows module under Wine (one fresh prefix)"
(cd "$root/build/release" && WHARFLING_REQUIRE_WINE=1 ctest --output-on-failure -L wine)

# The sanitizer flavour builds what it checks: no desktop program, benchmarks or Wine host.
part "sanitize build"
bash "$root/scripts/build.sh" sanitize
part "sanitize tests"
(cd "$root/build/sanitize" && WHARFLING_REQUIRE_KEYRING=1 WHARFLING_REQUIRE_POSTGRES=1 ctest --output-on-failure --timeout 300 -j2 -LE 'wine|browser')

part "fuzz targets, a short run each"
bash "$root/scripts/fuzz.sh" 5

read_cpu
part "all done in $((SECONDS - started)) s, $cpu s of processor time"
