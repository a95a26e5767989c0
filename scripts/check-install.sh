#!/usr/bin/env bash
# Checks what a user gets from an installation: builds the Debian package
# (scripts/package-deb.sh), installs the same build into a staging folder, and
# checks the installed files against packaging/installed-files.txt, the menu
# entry, the AppStream metainfo, the package with lintian, and that the
# installed program opens its window on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

# Run under xvfb-run by the last step: starts the installed program from an
# empty working directory, so that only its run path can find the engine, waits
# for its window and ends it.
if [ "${1:-}" = "--window" ]; then
  program=$2 engine=$3
  workdir=$(mktemp -d) runtime=$(mktemp -d)
  (cd "$workdir" && exec env -u LD_LIBRARY_PATH XDG_RUNTIME_DIR="$runtime" "$program") &
  pid=$!
  trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; rm -rf "$workdir" "$runtime"' EXIT
  for _ in $(seq 150); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Tarnwick"' && break
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the installed program exited before showing its window" >&2; exit 1; }
    sleep 0.2
  done
  if ! xwininfo -root -tree | grep -q '"Tarnwick"'; then
    echo "FAIL: no window titled Tarnwick within 30 s of starting $program" >&2
    exit 1
  fi
  if ! grep -q -F "$engine" "/proc/$pid/maps"; then
    echo "FAIL: the program's window is up but $engine is not the engine it loaded:" >&2
    grep -F libUiEngine "/proc/$pid/maps" >&2 || true
    exit 1
  fi
  echo "ok: the installed program shows its window, drawn by $engine"
  exit 0
fi

build=build/package
deb=$(scripts/package-deb.sh | tail -n 1)

stage=$(realpath -m "$build/stage")
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr --strip >"$build/install.log"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
engine=$stage/usr/lib/$multiarch/tarnwick/libUiEngine.so
expected=$build/installed-files.txt
sed "s|/MULTIARCH/|/$multiarch/|" packaging/installed-files.txt | LC_ALL=C sort >"$expected"

echo "== installed files (cmake --install, then the package's contents)"
(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$build/staged-files.txt"
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./||; /[^/]$/p' | LC_ALL=C sort \
  >"$build/deb-files.txt"
for list in staged-files deb-files; do
  if ! diff -u "$expected" "$build/$list.txt"; then
    echo "FAIL: $build/$list.txt differs from packaging/installed-files.txt (+ installed, not listed)" >&2
    exit 1
  fi
done
echo "ok: $(wc -l <"$expected") files, as listed in packaging/installed-files.txt"

echo "== desktop entry"
desktop=$stage/usr/share/applications/org.tarnwick.Tarnwick.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out" >&2; exit 1; }
if [ -n "$out" ]; then echo "$out" >&2; echo "FAIL: desktop-file-validate has remarks" >&2; exit 1; fi
echo "ok: desktop-file-validate"

echo "== metainfo"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/org.tarnwick.Tarnwick.metainfo.xml"

echo "== package $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Depends Recommends
# Errors fail the check; warnings are printed.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "ok: lintian found no errors"

echo "== the installed program on a virtual display"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --window \
  "$stage/usr/bin/tarnwick" "$engine"
