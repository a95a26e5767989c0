#!/usr/bin/env bash
# Checks what a user gets from an installation: builds the Debian package
# (scripts/package-deb.sh), installs the same build into a staging folder, and
# checks the installed files against packaging/installed-files.txt, the menu
# entry, the AppStream metainfo, the package with lintian, and that the
# installed program opens its window on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAIL: $*" >&2; exit 1; }

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
    kill -0 "$pid" 2>/dev/null || fail "the installed program exited before showing its window"
    sleep 0.2
  done
  xwininfo -root -tree | grep -q '"Tarnwick"' ||
    fail "no window titled Tarnwick within 30 s of starting $program"
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
  diff -u "$expected" "$build/$list.txt" ||
    fail "$build/$list.txt differs from packaging/installed-files.txt (+ installed, not listed)"
done
echo "ok: $(wc -l <"$expected") files, as listed in packaging/installed-files.txt"

echo "== menu entry and metainfo"
desktop=$stage/usr/share/applications/tarnwick.desktop
metainfo=$stage/usr/share/metainfo/org.tarnwick.Tarnwick.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out" >&2; exit 1; }
[ -z "$out" ] || { echo "$out" >&2; fail "desktop-file-validate has remarks"; }
appstreamcli validate --no-net --pedantic "$metainfo"
# What the validators cannot see: the names that tie the installed files together.
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$stage/usr/bin/$program" ] || fail "the menu entry starts '$program', not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$stage/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
  fail "the menu entry's icon '$icon' is not installed"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] ||
  fail "the metainfo launches '$launchable', not the installed $(basename "$desktop")"
echo "ok: the menu entry starts $program with the icon $icon; the metainfo names the entry"

echo "== package $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Depends Recommends
# Errors fail the check; warnings are printed.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "ok: lintian found no errors"

echo "== the installed program on a virtual display"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --window \
  "$stage/usr/bin/tarnwick" "$engine"
