#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with, and only
# those that are missing (apt-get update runs first in that case).
set -euo pipefail

packages=(
  # Build and test, Linux.
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libcurl4-openssl-dev libssl-dev openssl duktape-dev
  libgtest-dev libcpp-httplib-dev
  # Keeping the computer awake (the login manager over D-Bus), and the private
  # bus its tests run on.
  libdbus-1-dev dbus-daemon
  curl xvfb xauth fonts-wqy-microhei locales
  # Screen-reader tests: a D-Bus session with the accessibility bus; keys sent through the display.
  dbus dbus-bin at-spi2-core xdotool
  # Format and lint checks; fuzzing with libFuzzer.
  clang-format clang-tidy clang libclang-rt-14-dev
  # Windows: the cross toolchain, Wine to run what it builds, the installer compiler.
  g++-mingw-w64-x86-64-posix wine wine64 nsis zip
  # A FAT image for the Windows program's FAT drive under Wine.
  dosfstools
  # Screenshots of the Windows program on the virtual display.
  x11-apps netpbm xdotool
  # Benchmarks: the whole job by hand, for comparison (bench/download_bench).
  aria2
  # Linux package: icons, desktop entry and metainfo checks, the .deb and its check.
  librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
