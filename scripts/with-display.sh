#!/usr/bin/env bash
# Runs a command on the current display, or on a virtual one when there is none.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$@"
fi
echo "No display found: running on a virtual X display (xvfb-run)." >&2
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
