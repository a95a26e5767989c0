#!/usr/bin/env bash
# Format and lint checks: clang-format over every C++ file (a difference fails),
# then clang-tidy with the project's .clang-tidy over the product code (a
# warning fails). Needs a configured build folder for the compile commands.
#   scripts/lint.sh [build-folder]   (default build/asan)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/asan}

mapfile -t cxx < <(git ls-files '*.cpp' '*.h' '*.c')
if ! clang-format --dry-run --Werror "${cxx[@]}"; then
  echo "lint: clang-format differs (run: clang-format -i <files>)" >&2
  exit 1
fi
echo "lint: clang-format clean (${#cxx[@]} files)"

# Product code only: tests, benchmarks and the stand-in are not held to it.
mapfile -t product < <(git ls-files 'app/*.cpp' 'download/*.cpp' 'net/*.cpp' 'script/*.cpp' \
  'text/*.cpp' 'ui_engine/*.cpp' 'ui_engine_common/*.cpp' 'ui_engine_qt/*.cpp' \
  'web/*.cpp' | grep -v '_win32\.cpp$' || true)
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${product[@]/#/$PWD/}" >"$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" | sort -u >&2
  echo "lint: clang-tidy found the problems above" >&2
  exit 1
}
echo "lint: clang-tidy clean (${#product[@]} files)"
