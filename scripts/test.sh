#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite: everything under
# AddressSanitizer and UndefinedBehaviorSanitizer, the format and lint checks, the
# threaded libraries again under ThreadSanitizer, the installed tree and the
# Debian package, the script services under libFuzzer, and the Windows tree's
# suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=address,undefined
cmake --build build/asan -j "$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs")

# --- format and lint: clang-format over every C++ file, clang-tidy over the product code ---
scripts/lint.sh build/asan
# --- end of format and lint

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=thread
threaded_targets=$(cmake --build build/tsan --target help | sed -n 's/^\([a-z_]*_threaded_tests\):.*/\1/p')
if [ -n "$threaded_targets" ]; then
  cmake --build build/tsan -j "$jobs" --target $threaded_targets
  (cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure -j "$jobs" -L threaded)
fi

# --- Install and package: the installed tree, the Debian package, the installed program's window.
scripts/check-install.sh
# --- end of install and package

# --- fuzzing: the script services under libFuzzer for a fixed short time ---
bash scripts/fuzz.sh
# --- end of fuzzing ---

# --- Windows: the cross-built tree and its suites under Wine ---
scripts/test-windows.sh
# --- end of Windows ---
