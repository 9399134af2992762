#!/usr/bin/env bash
# Install the Debian packages that one purpose needs:
#   bootstrap.sh run     the native toolchain: build and run the programs
#   bootstrap.sh bench   that and Google Benchmark
#   bootstrap.sh deb     the Debian package's build dependencies, debhelper and lintian
#   bootstrap.sh windows the mingw-w64 cross compilers and zip, for the Windows zips
#   bootstrap.sh test    everything: also GoogleTest, Wine (32-bit too), what the
#                        network and screenshot tests use, and what the package's
#                        and the zips' tests use
# Safe to run again and again: when everything is there it only looks
# (dpkg-query) and touches nothing. Uses sudo when not run as root.
set -euo pipefail

purpose="${1:-test}"

# libgpiod-dev and pps-tools (its sys/timepps.h): every Linux program reads
# GPIO lines and PPS sources, so every purpose builds with them.
native=(make cmake ninja-build g++ pkg-config libgpiod-dev pps-tools)
# debian/control's Build-Depends (libgpiod and pps-tools for the edges as the
# kernel stamps them), what dpkg-buildpackage takes for granted, the
# package's tools and its checker.
deb=(libncurses-dev libgpiod-dev pps-tools build-essential debhelper dpkg-dev lintian)
# Cross builds (the win32 thread model: no winpthreads, so the programs load
# on XP); GoogleTest's sources, which configuring the presets wants; zip.
windows=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
         googletest zip)
case "$purpose" in
  run)
    # chronvk's terminal screen
    packages=("${native[@]}" libncurses-dev)
    ;;
  bench)
    packages=("${native[@]}" libbenchmark-dev)
    ;;
  deb)
    packages=("${native[@]}" "${deb[@]}")
    ;;
  windows)
    packages=("${native[@]}" "${windows[@]}")
    ;;
  test)
    packages=(
      "${native[@]}" "${deb[@]}" "${windows[@]}"
      libgtest-dev libgmock-dev
      # the cross builds' test runner
      wine wine64 wine32:i386
      # terminal front-end, network tests in namespaces, screenshots of dialogs
      libncurses-dev iproute2 tcpdump tshark xvfb imagemagick
      # the screen driven through a terminal multiplexer; the reception chart
      # checked as XML and rendered
      tmux libxml2-utils librsvg2-bin
      # the package installed in a throw-away root (its user, its units
      # checked), the zips unpacked
      adduser systemd unzip
    )
    ;;
  *)
    echo "usage: bootstrap.sh run|bench|deb|windows|test" >&2
    exit 2
    ;;
esac

missing=()
for pkg in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)"
  [[ "$status" == installed ]] || missing+=("$pkg")
done

need_i386=0
if [[ "$purpose" == test ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
fi

if [[ ${#missing[@]} -eq 0 && $need_i386 -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null; then
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
  echo "bootstrap: missing ${missing[*]}; run this script as root (sudo is not installed)" >&2
  exit 1
fi

echo "bootstrap: installing ${missing[*]}"
if [[ $need_i386 -eq 1 ]]; then
  # wine32 is an i386 package; the 32-bit build's tests cannot run without it.
  "${as_root[@]}" dpkg --add-architecture i386
fi
if [[ "$purpose" == test ]]; then
  # tshark would otherwise ask whether ordinary users may capture packets.
  echo "wireshark-common wireshark-common/install-setuid boolean false" |
    "${as_root[@]}" debconf-set-selections
fi

apt_opts=(-y -q -o DPkg::Lock::Timeout=600)
"${as_root[@]}" apt-get "${apt_opts[@]}" update
"${as_root[@]}" apt-get "${apt_opts[@]}" install "${missing[@]}"
