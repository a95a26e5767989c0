#!/usr/bin/env bash
# Checks the Windows packages under Wine, in the build's own prefix. The zip:
# unpacked, it holds the program, the engine and the read-me, and the program
# runs from its folder. The installer: a silent install into Program Files, the installed program started from another
# folder (so that it finds its engine beside itself through the system's
# search) and recording its run, then a silent uninstall that leaves neither
# the folder nor the Start-menu entry behind.
#
#   scripts/check-windows-packages.sh ZIP SETUP.exe [BUILD_DIR]
#
# Both must carry the scripted engine (package-windows.sh --engine).
set -euo pipefail
cd "$(dirname "$0")/.."

zip_file=$(realpath "$1")
setup=$(realpath "$2")
build=${3:-build/windows}
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

drive_c=$WINEPREFIX/drive_c
installed="$drive_c/Program Files/Tarnwick"
menu_entry="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnwick.lnk"
work=$(mktemp -d /tmp/tw_installer.XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}

# Waits (at most $2 seconds) for the test named $1 to hold.
wait_until() {
  local what=$1 seconds=$2
  for ((i = 0; i < seconds * 10; i++)); do
    if eval "$what"; then return 0; fi
    sleep 0.1
  done
  fail "still not true after ${seconds}s: $what"
}

# Runs the program at Windows path $1 from the folder $2 with a script that
# waits for the catalog; checks its record.
run_program() {
  printf 'wait ^selected\nclose\n' >"$work/script.txt"
  rm -f "$work/record.txt"
  (cd "$2" && TW_UI_SCRIPT="$(winpath "$work/script.txt")" TW_UI_RECORD="$(winpath "$work/record.txt")" \
    timeout 120 wine "$1" </dev/null >/dev/null 2>&1) || fail "$1 ended with $?"
  grep -q '^control 1 window' "$work/record.txt" || fail "$1 opened no window"
  grep -q '^selected' "$work/record.txt" || fail "$1 did not fill its catalog"
}

mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$zip_file")
for file in tarnwick.exe UiEngine.dll README.txt; do
  [ -f "$work/unpacked/Tarnwick/$file" ] || fail "the zip holds no Tarnwick/$file"
done
grep -q '下载完成' "$work/unpacked/Tarnwick/README.txt" || fail "the read-me has no Chinese part"
grep -q 'Default folder' "$work/unpacked/Tarnwick/README.txt" || fail "the read-me has no English part"
run_program "$(winpath "$work/unpacked/Tarnwick/tarnwick.exe")" "$work/unpacked/Tarnwick"
echo "zip check passed: unpacked and ran"

wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer ended with $?"
wait_until '[ -f "$installed/uninstall.exe" ]' 60
for file in tarnwick.exe UiEngine.dll README.txt; do
  [ -f "$installed/$file" ] || fail "$file is not installed"
done
[ -f "$menu_entry" ] || fail "no Start-menu entry"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick' /reg:64 \
  </dev/null 2>/dev/null | tr -d '\r' >"$work/key.txt" || true
grep -q 'DisplayVersion.*REG_SZ' "$work/key.txt" || fail "no version in the uninstall key"
grep -q 'Publisher.*REG_SZ.*Tarnwick developers' "$work/key.txt" || fail "no publisher in the uninstall key"

# Started from a folder without the engine: only the search from the
# program's own folder can find it.
run_program 'C:\Program Files\Tarnwick\tarnwick.exe' "$work"

# The uninstaller copies itself away and returns at once; the copy removes the folder.
wine "C:\\Program Files\\Tarnwick\\uninstall.exe" /S </dev/null >/dev/null 2>&1 ||
  fail "the uninstaller ended with $?"
wait_until '[ ! -e "$installed" ]' 60
[ ! -e "$menu_entry" ] || fail "the Start-menu entry is still there"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick' /reg:64 \
  </dev/null >/dev/null 2>&1; then
  fail "the uninstall key is still there"
fi
echo "installer check passed: installed, ran, uninstalled"
