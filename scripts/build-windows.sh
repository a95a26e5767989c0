#!/usr/bin/env bash
# Cross-builds the Windows tree with mingw-w64 into build/windows (or the
# folder given as the first argument) and makes its Wine prefix on first use.
# Further arguments are build targets (default: everything).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/windows}
shift || true

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
if (($#)); then
  cmake --build "$build" -j "$(nproc)" --target "$@"
else
  cmake --build "$build" -j "$(nproc)"
fi

# The prefix belongs to the build: nothing of the user's own Wine set-up is
# read or changed. Making it takes some 20 s, once.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# The virtual displays here have no window manager: Wine then places and maps
# the windows itself, instead of waiting two seconds on one for every window
# it hides.
if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
fi

# The engine asks for Microsoft YaHei, else SimSun; the prefix maps both to
# the CJK font installed here (fonts-wqy-microhei), so Chinese is readable.
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
if ! grep -q '"Microsoft YaHei"=' "$WINEPREFIX/system.reg"; then
  for face in "Microsoft YaHei" "SimSun"; do
    wine reg add "$substitutes" /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  wineserver -w
fi
