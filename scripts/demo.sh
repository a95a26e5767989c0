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
out=$(mktemp)
build/release/bin/share_standin --port 0 --size "$size" --throttle "$throttle" >"$out" &
standin=$!
trap 'kill "$standin" 2>/dev/null; wait "$standin" 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 100); do
  grep -q '^PORT ' "$out" && break
  sleep 0.1
done
port=$(sed -n 's/^PORT //p' "$out")
[ -n "$port" ] || { echo "the stand-in did not start" >&2; exit 1; }
echo "Share-service stand-in on 127.0.0.1:$port"
TARNWICK_SHARE_HOST="127.0.0.1:$port" scripts/with-display.sh build/release/bin/tarnwick
