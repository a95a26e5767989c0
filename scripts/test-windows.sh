#!/usr/bin/env bash
# Builds the Windows tree (scripts/build-windows.sh) and runs its test suites
# under Wine, against servers on 127.0.0.1 in the test programs themselves.
set -euo pipefail
cd "$(dirname "$0")/.."

# Wine makes windows only on an X display, and the Wine services started below
# keep the display they were started on: the whole run gets one virtual display.
if [ -z "${DISPLAY:-}" ]; then
  exec scripts/with-display.sh bash "$0" "$@"
fi

build=build/windows
scripts/build-windows.sh "$build"

export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# A FAT drive F: for the check that refuses files of 4 GiB or more there. Wine
# tells a drive's file system from its device (dosdevices/f::) when its
# services start, so the drive is made before them, and a server still running
# for this prefix is ended first. The device is a FAT image on a loop device,
# which needs root; without one the test that uses the drive is skipped.
fat_loop=""
release_fat_drive() {
  rm -f "$WINEPREFIX/dosdevices/f:" "$WINEPREFIX/dosdevices/f::"
  if [ -n "$fat_loop" ]; then losetup -d "$fat_loop" || true; fi
}
trap release_fat_drive EXIT
if [ "$(id -u)" -eq 0 ] && command -v mkfs.vfat >/dev/null; then
  rm -f "$build/fat.img"
  truncate -s 64M "$build/fat.img"
  if mkfs.vfat -F 32 "$build/fat.img" >/dev/null 2>&1; then
    fat_loop=$(losetup -f --show "$build/fat.img" 2>/dev/null || true)
  fi
fi
if [ -n "$fat_loop" ]; then
  rm -rf "$build/fat-drive"
  mkdir -p "$build/fat-drive"
  ln -sfn "$PWD/$build/fat-drive" "$WINEPREFIX/dosdevices/f:"
  ln -sfn "$fat_loop" "$WINEPREFIX/dosdevices/f::"
  export TW_WINE_FAT_FOLDER="$PWD/$build/fat-drive"
fi
wineserver -k >/dev/null 2>&1 || true

# One Wine server for the whole run instead of one per test program, with its
# services started here: started by the first test program, they would hold
# on to that program's output and keep CTest waiting for it to end.
wineserver -p 60
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
status=0
(cd "$build" && ctest --output-on-failure -j "$(nproc)") || status=$?
# The download road through tarnwick.exe under Wine, driven from the Linux
# tree's test programs against the stand-in running as a Linux process (with
# the scripted engine, and from the keyboard with the tree's own Win32
# engine), and the WinHTTP transport's TLS trust against that tree's servers.
linux=build/linux
cmake -S . -B "$linux" -G Ninja -DTW_WINDOWS_BUILD_DIR="$PWD/$build" >/dev/null
cmake --build "$linux" -j "$(nproc)" --target app_wine_e2e_tests app_wine_desktop_e2e_tests \
  net_wine_tests
(cd "$linux" && ctest -L wine --output-on-failure -j "$(nproc)") || status=$?
# The packages, with the scripted engine in them so that the packed program
# runs with no display; then the zip's and the installer's checks in this prefix.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
scripts/package-windows.sh --build "$build" --engine "$build/scripted/UiEngine.dll" &&
  scripts/check-windows-packages.sh "$build/dist/tarnwick-$version-windows-x64.zip" \
    "$build/dist/tarnwick-$version-setup.exe" "$build" ||
  status=1
wineserver -k || true
exit "$status"
