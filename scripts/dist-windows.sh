#!/usr/bin/env bash
# Makes the Windows zips from built cross presets:
#   dist-windows.sh OUTDIR PRESET...        e.g. build/dist win32 win64
# Each PRESET's build (build/PRESET, chronvk.exe built) gives
# OUTDIR/chronvk-VERSION-PRESET.zip with one folder chronvk-VERSION-PRESET/
# holding the stripped chronvk.exe, LIESMICH.TXT and README.TXT in
# Windows-1252 with CRLF (as every Notepad reads them) and the licence as
# LICENSE.TXT. The version is the one the build was configured with.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
shift

# cache BUILD NAME: a variable of that build's CMake cache.
cache() { sed -n "s/^$2:[A-Z]*=//p" "$top/build/$1/CMakeCache.txt"; }
# text FILE VERSION: the file as Windows wants it; iconv refuses a letter
# Windows-1252 has not.
text() { sed -e "s/@VERSION@/$2/g" -e 's/$/\r/' "$1" | iconv -f UTF-8 -t WINDOWS-1252; }

for preset in "$@"; do
  version="$(cache "$preset" CMAKE_PROJECT_VERSION)"
  name="chronvk-$version-$preset"
  stage="$out/$name"
  rm -rf "$stage" "$out/$name.zip"
  mkdir "$stage"
  "$(cache "$preset" CMAKE_STRIP)" -o "$stage/chronvk.exe" "$top/build/$preset/ui/win32/chronvk.exe"
  text "$top/dist/windows/LIESMICH.TXT" "$version" > "$stage/LIESMICH.TXT"
  text "$top/dist/windows/README.TXT" "$version" > "$stage/README.TXT"
  text "$top/LICENSE" "$version" > "$stage/LICENSE.TXT"
  (cd "$out" && zip -q -X -r "$name.zip" "$name")
  echo "$name.zip: $(stat -c %s "$out/$name.zip") bytes, chronvk.exe $(stat -c %s "$stage/chronvk.exe") bytes"
  rm -rf "$stage"
done
