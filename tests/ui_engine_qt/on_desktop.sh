#!/usr/bin/env bash
# Runs a test program on a desktop of its own, as the program runs for a user
# with a screen reader: a virtual X display, a D-Bus session whose
# accessibility bus is started (as a desktop session starts it), and Qt's
# accessibility on, as a running screen reader turns it on.
#   on_desktop.sh program [arguments]
set -euo pipefail
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
# The accessibility bus's socket goes here, apart from any other run's.
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
dbus-run-session -- bash -c '
  dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress >/dev/null
  xvfb-run -a -s "-screen 0 1024x768x24" "$@"' on_desktop "$@"
