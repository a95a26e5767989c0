#!/usr/bin/env bash
# Drives the Windows program through a whole download under Wine, on a virtual
# X display, and keeps a screenshot of each step in docs/: the main window
# after the catalog loaded, the name box, the confirmation, the progress and
# the completion box. The images come from the share-service stand-in (a
# Linux process on the loopback that Wine shares), 100 MiB at 10 MiB/s.
#
#   scripts/windows-screenshots.sh [--scale PERCENT]
#
# --scale 150 runs the program on a screen of 150 % (the prefix's LogPixels
# at 144 for the run, put back to 96 after it) on a desktop as much larger,
# and keeps the main window and the confirmation (one of the engine's boxes)
# as windows-main-window-150.png and windows-confirm-150.png.
#
# Wine 8 on Xvfb presents only the first window of a virtual desktop on the
# screen: every window opened after it (the program's boxes, and Wine's own
# MessageBoxW just as well) holds its drawing but shows black in a capture of
# the screen. So each step's picture is the screen with every window of the
# program laid over it, bottom to top, each read from the window itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scale=100
while (($#)); do
  case $1 in
    --scale) scale=$2 && shift 2 ;;
    *) echo "usage: $0 [--scale PERCENT]" >&2 && exit 2 ;;
  esac
done
# The Wine desktop, and pixels at 96 DPI, in the screen's pixels.
px() { echo $(($1 * scale / 100)); }
width=$(px 800) height=$(px 600) suffix=""
((scale == 100)) || suffix="-$scale"

scripts/install-deps.sh
if [ -z "${TW_SCREENSHOTS_ON_DISPLAY:-}" ]; then
  export TW_SCREENSHOTS_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 $((width + 224))x$((height + 168))x24" "$0" --scale "$scale"
fi

scripts/build-release.sh >/dev/null
scripts/build-windows.sh >/dev/null
win=build/windows
export WINEPREFIX="$PWD/$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Wine server still running for the prefix (the Windows tests keep one a
# minute) holds the display it started on, and would open the windows there.
wineserver -k 2>/dev/null || true
# Wine gives every window the prefix's DPI; the engine scales to it.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}
set_dpi $((96 * scale / 100))

run=$(mktemp -d)
. scripts/standin.sh
start_standin 104857600 10485760
trap 'wineserver -k 2>/dev/null || true; set_dpi 96; kill "$STANDIN_PID" 2>/dev/null || true; rm -rf "$run" "$STANDIN_CA"' EXIT
port=$STANDIN_PORT
# As localhost: Wine matches no IP address against a certificate's names. The
# certificate's file in Wine's drive form (Z: is the root of this machine).
export TARNWICK_SHARE_HOST="localhost:$port"
TARNWICK_CA_FILE="Z:$(tr / '\\' <<<"$STANDIN_CA")"
export TARNWICK_CA_FILE

cp "$win/bin/tarnwick.exe" "$win/engine/UiEngine.dll" "$run/"
# A Wine virtual desktop of 800x600 (at 100 %): one X window holds every
# window of the run.
(cd "$run" && wine explorer /desktop=Tarnwick,"$width"x"$height" tarnwick.exe) &

shot() {
  local picture="$run/screen.pnm" layer="$run/window.pnm" desktop id geometry
  ((scale == 100)) || [[ $1 == windows-main-window || $1 == windows-confirm ]] || return 0
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width "$width" -height "$height" >"$picture"
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
  pnmtopng <"$picture" >"docs/$1$suffix.png"
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
# The window is the program's 522x442 at the screen's scale, give or take
# the rounding of its edges.
size=$(xwininfo -root -tree | awk '/"Tarnwick": \("tarnwick.exe"/ {print $(NF - 1); exit}')
echo "main window: $size at $scale %"
near() {
  local off=$(($1 - $(px "$2")))
  ((off >= -2 && off <= 2))
}
if ! [[ $size =~ ^([0-9]+)x([0-9]+)\+ ]] || ! near "${BASH_REMATCH[1]}" 522 ||
  ! near "${BASH_REMATCH[2]}" 442; then
  echo "the main window is not $(px 522)x$(px 442)" >&2
  exit 1
fi
shot windows-main-window
xdotool mousemove "$(px 173)" "$(px 142)" click 1   # 选定下载
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
echo "screenshots in docs/windows-*$suffix.png"
