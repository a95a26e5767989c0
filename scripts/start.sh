#!/usr/bin/env bash
# Installs what is missing, builds and starts Tarnwick.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build-release.sh
exec scripts/with-display.sh build/release/bin/tarnwick "$@"
