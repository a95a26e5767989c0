#!/usr/bin/env bash
# Takes the Qt program's main window, once the catalog has loaded, on a
# virtual X display at a screen scale (Qt's QT_SCALE_FACTOR), into docs/:
#
#   scripts/qt-screenshot.sh [--scale PERCENT]   (default 150: main-window-150.png)
set -euo pipefail
cd "$(dirname "$0")/.."
scale=150
while (($#)); do
  case $1 in
    --scale) scale=$2 && shift 2 ;;
    *) echo "usage: $0 [--scale PERCENT]" >&2 && exit 2 ;;
  esac
done
scripts/install-deps.sh
if [ -z "${TW_SCREENSHOTS_ON_DISPLAY:-}" ]; then
  export TW_SCREENSHOTS_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" --scale "$scale"
fi

scripts/build-release.sh >/dev/null
QT_SCALE_FACTOR=$(awk -v p="$scale" 'BEGIN {print p / 100}') build/release/bin/tarnwick &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT
# Waits up to 30 s for the window, then for the catalog, which follows it
# within a second.
for _ in $(seq 300); do
  id=$(xwininfo -root -tree | awk '/"Tarnwick": \("tarnwick"/ {print $1; exit}')
  [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable' && break
  sleep 0.1
done
[ -n "${id:-}" ] || { echo "no window appeared" >&2 && exit 1; }
sleep 2
echo "main window: $(xwininfo -id "$id" | awk '/Width:/ {w = $2} /Height:/ {print w "x" $2}') at $scale %"
xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng >"docs/main-window-$scale.png"
echo "screenshot in docs/main-window-$scale.png"
