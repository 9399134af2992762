#!/usr/bin/env bash
# The Windows zips as a user gets them:
#   windows_zip_test.sh WINEPREFIX chronvk-VERSION-win32.zip ...
# (a prefix outside this test's own folder: its server outlives the test).
# Each is unpacked into a folder with blanks in its name; its texts must be
# Windows-1252 with CRLF, its exe stripped (the i686 one at most 400 KB), and
# the exe, started under Wine from that folder, must name the zip's version
# and its own build. An exe this machine cannot run (i686 where the kernel
# runs no 32-bit code) is not started; that is said with "skipped:".
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prefix="$(realpath -m "$1")"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for zip in "$@"; do
  name="$(basename "$zip" .zip)"
  version="${name#chronvk-}" && version="${version%-win*}"
  folder="$work/Programme mit Leerzeichen"
  rm -rf "$folder" && mkdir "$folder"
  unzip -q "$zip" -d "$folder"
  dir="$folder/$name"
  for file in LIESMICH.TXT README.TXT LICENSE.TXT; do
    [[ -s "$dir/$file" ]] || fail "$name: no $file"
    [[ $(grep -c $'\r$' "$dir/$file") -eq $(wc -l < "$dir/$file") ]] || fail "$name: $file has lines without CRLF"
  done
  # "für" in Windows-1252: one byte, 0xFC.
  LC_ALL=C grep -q $'f\xfcr' "$dir/LIESMICH.TXT" || fail "$name: LIESMICH.TXT is not Windows-1252"
  exe="$dir/chronvk.exe"
  x86_64-w64-mingw32-objdump -t "$exe" | grep -q 'no symbols' || fail "$name: chronvk.exe is not stripped"
  if [[ $name == *-win32 ]] && (($(stat -c %s "$exe") > 400 * 1024)); then
    fail "$name: chronvk.exe has $(stat -c %s "$exe") bytes, more than 400 KB"
  fi
  build='f\. Windows/32bit'
  [[ $name == *-win64 ]] && build='f\. Windows/64bit'
  status=0
  (cd "$dir" && "$here/../../scripts/wine-run.sh" --prefix "$prefix" "$exe" --version) > "$work/out" || status=$?
  if [[ $status -eq 77 ]]; then
    echo "skipped: starting $name's chronvk.exe: $(sed 's/^skipped: //' "$work/out")"
    continue
  fi
  [[ $status -eq 0 ]] || fail "$name: chronvk.exe --version: status $status"
  grep -qx "CHRONVK Version ${version//./\\.} $build (.*)"$'\r' "$work/out" ||
    fail "$name: chronvk.exe --version said: $(cat "$work/out")"
done
echo "zips ok"
