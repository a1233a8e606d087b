#!/usr/bin/env bash
# Builds everything and runs every test: the release build, the sanitizer build, the Windows
# cross build (the module and the program the Wine tests run), the Wine tests, the formatting check,
# and a short run of each fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

echo "== formatting"
mapfile -t sources < <(cd "$root" && git ls-files '*.cpp' '*.h')
(cd "$root" && clang-format --dry-run --Werror "${sources[@]}")

echo "== Windows cross build: wharfling.dll and the Wine probe"
cmake -S "$root" -B "$root/build/mingw" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/mingw"

# The browser test (headless Chromium against the server's pages) runs once, in the release flavour,
# and never skips here: the server's routes have their own tests in both flavours, and Chromium's
# start-up beside sanitized programs would only slow the run down.
for flavour in release sanitize; do
  echo "== $flavour build and tests"
  bash "$root/scripts/build.sh" "$flavour"
  exclude=wine
  [ "$flavour" = release ] || exclude='wine|browser'
  (cd "$root/build/$flavour" && WHARFLING_REQUIRE_BROWSER=1 WHARFLING_REQUIRE_KEYRING=1 WHARFLING_REQUIRE_POSTGRES=1 ctest --output-on-failure --timeout 300 -j2 -LE "$exclude")
done

echo "== Windows module under Wine (one fresh prefix)"
(cd "$root/build/release" && WHARFLING_REQUIRE_WINE=1 ctest --output-on-failure -L wine)

echo "== fuzz targets, a short run each"
bash "$root/scripts/fuzz.sh" 10
