#!/usr/bin/env bash
# Builds the program, its UI engine and the share-service stand-in without
# sanitizers into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target tarnwick UiEngine share_standin
