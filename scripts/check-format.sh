#!/usr/bin/env bash
# clang-format --dry-run --Werror over every C++ source: the files git tracks, or in a checkout
# without git (an unpacked tarball) every .cpp and .h outside build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t sources < <(find . -path ./build -prune -o -path ./debian -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
    sed 's#^\./##' | sort)
fi
if ((${#sources[@]} == 0)); then
  echo "no C++ sources found under $root" >&2
  exit 1
fi
clang-format --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files formatted as .clang-format asks"
