#!/usr/bin/env bash
# Installs what is missing, builds, starts the share-service stand-in on
# 127.0.0.1 and the program pointed at it: a whole download of a generated image
# with no internet. The stand-in stops when the program exits.
#   DEMO_SIZE      bytes of the generated image (default 2 GiB)
#   DEMO_THROTTLE  bytes per second it is served at (default 40 MiB/s)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build-release.sh

size=${DEMO_SIZE:-2147483648}
throttle=${DEMO_THROTTLE:-41943040}
. scripts/standin.sh
start_standin "$size" "$throttle"
trap 'kill "$STANDIN_PID" 2>/dev/null; wait "$STANDIN_PID" 2>/dev/null; rm -f "$STANDIN_CA"' EXIT
port=$STANDIN_PORT
echo "Share-service stand-in on 127.0.0.1:$port"
TARNWICK_SHARE_HOST="127.0.0.1:$port" TARNWICK_CA_FILE="$STANDIN_CA" \
  scripts/with-display.sh build/release/bin/tarnwick
