#!/usr/bin/env bash
# Builds the Debian package: the program and its UI engine in a Release build in
# build/package, with Debian's hardening flags, then CPack. Prints the package's
# path on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# CMake has no variable for preprocessor flags.
cflags="$CPPFLAGS $CFLAGS"
cxxflags="$CPPFLAGS $CXXFLAGS"

# The package holds only what is installed, so only that is built: the install
# step does not wait for the whole tree (tests, benchmarks, stand-in).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target tarnwick UiEngine tarnwick_data

rm -rf "$build/deb"
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/deb/tarnwick_*.deb)
echo "$deb"
