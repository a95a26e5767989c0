#!/usr/bin/env bash
# Drives the Windows program through a whole download under Wine, on a virtual
# X display, and keeps a screenshot of each step in docs/: the main window
# after the catalog loaded, the name box, the confirmation, the progress and
# the completion box. The images come from the share-service stand-in (a
# Linux process on the loopback that Wine shares), 100 MiB at 10 MiB/s.
#
#   scripts/windows-screenshots.sh
#
# Wine 8 on Xvfb presents only the first window of a virtual desktop on the
# screen: every window opened after it (the program's boxes, and Wine's own
# MessageBoxW just as well) holds its drawing but shows black in a capture of
# the screen. So each step's picture is the screen with every window of the
# program laid over it, bottom to top, each read from the window itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ -z "${TW_SCREENSHOTS_ON_DISPLAY:-}" ]; then
  export TW_SCREENSHOTS_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

scripts/build-release.sh >/dev/null
scripts/build-windows.sh >/dev/null
win=build/windows
export WINEPREFIX="$PWD/$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Wine server still running for the prefix (the Windows tests keep one a
# minute) holds the display it started on, and would open the windows there.
wineserver -k 2>/dev/null || true

run=$(mktemp -d)
. scripts/standin.sh
start_standin 104857600 10485760
trap 'wineserver -k 2>/dev/null || true; kill "$STANDIN_PID" 2>/dev/null || true; rm -rf "$run" "$STANDIN_CA"' EXIT
port=$STANDIN_PORT
# As localhost: Wine matches no IP address against a certificate's names. The
# certificate's file in Wine's drive form (Z: is the root of this machine).
export TARNWICK_SHARE_HOST="localhost:$port"
TARNWICK_CA_FILE="Z:$(tr / '\\' <<<"$STANDIN_CA")"
export TARNWICK_CA_FILE

cp "$win/bin/tarnwick.exe" "$win/engine/UiEngine.dll" "$run/"
# A Wine virtual desktop of 800x600: one X window holds every window of the run.
(cd "$run" && wine explorer /desktop=Tarnwick,800x600 tarnwick.exe) &

shot() {
  local picture="$run/screen.pnm" layer="$run/window.pnm" desktop id geometry
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 800 -height 600 >"$picture"
  desktop=$(xwininfo -root -tree | awk '/"Tarnwick - Wine desktop"/ {print $1; exit}')
  # xwininfo names the children top first; tac turns that into painting order.
  xwininfo -id "$desktop" -children | grep '("tarnwick.exe"' | tac |
    while read -r id _; do
      xwininfo -id "$id" | grep -q 'Map State: IsViewable' || continue
      geometry=$(xwininfo -id "$id" | awk '/-geometry/ {print $2}')
      [[ $geometry =~ ^([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)$ ]] || continue
      ((BASH_REMATCH[1] > 1 && BASH_REMATCH[2] > 1)) || continue
      xwd -id "$id" -silent | xwdtopnm 2>/dev/null >"$layer"
      # A window reaching past the desktop's edge stays as the screen shows it.
      if pnmpaste "$layer" "${BASH_REMATCH[3]}" "${BASH_REMATCH[4]}" "$picture" >"$picture.next" 2>/dev/null; then
        mv "$picture.next" "$picture"
      fi
    done
  pnmtopng <"$picture" >"docs/$1.png"
}
# Waits up to 60 s for a viewable window of the program with this title.
await_window() {
  local id
  for _ in $(seq 600); do
    for id in $(xwininfo -root -tree | grep -F "\"$1\": (\"tarnwick.exe\"" | awk '{print $1}'); do
      xwininfo -id "$id" | grep -q 'Map State: IsViewable' && { sleep 0.5; return 0; }
    done
    sleep 0.1
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}
# The main window and the progress have no state this script can read: their
# pauses are far longer than those steps take under Wine.
await_window Tarnwick
sleep 5
shot windows-main-window
xdotool mousemove 173 142 click 1   # 选定下载
await_window "请输入文件名："
xdotool type --delay 50 "win10-2004"
sleep 1
shot windows-input-box
xdotool key Return
await_window "请您核对文件名："
shot windows-confirm
xdotool key Return
sleep 4
shot windows-download-progress
await_window "下载完成"
shot windows-download-complete
echo "screenshots in docs/windows-*.png"
