#!/usr/bin/env bash
# Builds the Windows packages: a portable zip (tarnwick.exe, UiEngine.dll,
# README.txt) and an NSIS installer, in build/windows/dist.
#
#   scripts/package-windows.sh [--engine PATH/UiEngine.dll] [--build DIR]
#
# The engine is the Windows tree's own (ui_engine_win32/, built into engine/);
# --engine names another UiEngine.dll (the tests pass the scripted one).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
engine=
while (($#)); do
  case $1 in
    --engine) engine=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--engine UiEngine.dll] [--build DIR]" >&2; exit 2 ;;
  esac
done

if [ -n "$engine" ]; then
  scripts/build-windows.sh "$build" tarnwick
else
  scripts/build-windows.sh "$build" tarnwick UiEngine
  engine=$build/engine/UiEngine.dll
fi

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
publisher=$(cache TW_PUBLISHER)
dist=$build/dist
stage=$dist/Tarnwick
rm -rf "$dist"
mkdir -p "$stage"

# The packaged program and engine carry no debugging symbols.
x86_64-w64-mingw32-strip -o "$stage/tarnwick.exe" "$build/bin/tarnwick.exe"
x86_64-w64-mingw32-strip -o "$stage/UiEngine.dll" "$engine"
# Notepad on every Windows reads UTF-8 with its mark and CRLF line ends.
{
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/" -e "s/@PUBLISHER@/$publisher/" -e 's/$/\r/' \
    packaging/windows/README.txt
} >"$stage/README.txt"

zip_file=$dist/tarnwick-$version-windows-x64.zip
(cd "$dist" && zip -q -X -9 -r "$(basename "$zip_file")" Tarnwick)

setup=$dist/tarnwick-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DPUBLISHER="$publisher" \
  -DPROGRAM="$PWD/$stage/tarnwick.exe" -DENGINE="$(realpath "$stage/UiEngine.dll")" \
  -DREADME="$PWD/$stage/README.txt" -DICON="$PWD/$build/packaging/windows/tarnwick.ico" \
  -DOUTFILE="$PWD/$setup" packaging/windows/tarnwick.nsi

ls -l "$zip_file" "$setup"
