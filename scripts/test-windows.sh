#!/usr/bin/env bash
# Builds the Windows tree (scripts/build-windows.sh) and runs its test suites
# under Wine, against servers on 127.0.0.1 in the test programs themselves.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
scripts/build-windows.sh "$build"

export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server for the whole run instead of one per test program.
wineserver -p 60
status=0
(cd "$build" && ctest --output-on-failure -j "$(nproc)") || status=$?
wineserver -k || true
exit "$status"
