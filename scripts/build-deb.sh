#!/usr/bin/env bash
# Builds the Debian package and checks it with lintian:
#   build-deb.sh [OUTDIR]        (default build/deb)
# dpkg-buildpackage writes its results beside the source folder, so it works
# on a copy of this tree inside OUTDIR and everything lands there:
# chronvk_VERSION_ARCH.deb, its .changes and .buildinfo, and lintian's report
# lintian.txt. Fails on a lintian error, and before building when
# debian/changelog does not carry the version CMakeLists.txt gives.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:-$top/build/deb}" && cd "${1:-$top/build/deb}" && pwd)"

version="$(sed -n 's/^project(chronvk VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")"
packaged="$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)"
if [[ "${packaged%%[-+~]*}" != "$version" ]]; then
  echo "build-deb.sh: debian/changelog is at $packaged, CMakeLists.txt at $version:" \
       "add a changelog entry (dch -v $version)" >&2
  exit 1
fi

src="$out/chronvk-$version"
rm -rf "$src" "$out"/chronvk*_*.{deb,ddeb,changes,buildinfo} "$out/lintian.txt"
mkdir "$src"
tar -C "$top" --exclude=./build --exclude=./.git -cf - . | tar -C "$src" -xf -
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b --no-sign)

changes=("$out"/chronvk_"$packaged"_*.changes)
status=0
lintian --fail-on error "${changes[0]}" >"$out/lintian.txt" 2>&1 || status=$?
cat "$out/lintian.txt"
for deb in "$out"/chronvk_"$packaged"_*.deb; do
  echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
done
[[ $status -eq 0 ]] || { echo "build-deb.sh: lintian found errors" >&2; exit 1; }
