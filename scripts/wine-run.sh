#!/usr/bin/env bash
# Run a Windows program under Wine, headless, in a private prefix.
#
#   wine-run.sh [--prefix DIR] program.exe [args...]
#
# The cross builds use this as their CMAKE_CROSSCOMPILING_EMULATOR, so ctest
# runs the test .exe files through it. Without --prefix the prefix is
# CHRONVK_WINEPREFIX, or else "wineprefix" in the build directory that holds
# the program (the nearest parent with a CMakeCache.txt).
#
# The prefix is made on first use: a WoW64 prefix (runs i686 and x86_64
# programs alike) with the null graphics driver, so no X server is needed.
# ctest starts several tests at once, so only one of them builds the prefix
# while the others wait on a lock. The program's exit status is ours.
# Wine's own messages are off; CHRONVK_WINEDEBUG=err+all (say) brings them back.
set -euo pipefail

prefix="${CHRONVK_WINEPREFIX:-}"
if [[ "${1:-}" == --prefix ]]; then
  prefix="${2:?--prefix needs a directory}"
  shift 2
fi
if [[ $# -eq 0 ]]; then
  echo "usage: wine-run.sh [--prefix DIR] program.exe [args...]" >&2
  exit 125
fi

if [[ "$1" == */* && ! -f "$1" ]]; then
  echo "wine-run.sh: no such program: $1" >&2
  exit 127
fi

if [[ -z "$prefix" ]]; then
  dir="$(cd "$(dirname "$1")" && pwd)"
  while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do
    dir="$(dirname "$dir")"
  done
  if [[ "$dir" == / ]]; then
    echo "wine-run.sh: $1 is not inside a build directory; use --prefix DIR" >&2
    exit 125
  fi
  prefix="$dir/wineprefix"
fi
mkdir -p "$(dirname "$prefix")"
prefix="$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"

export WINEPREFIX="$prefix"
export WINEDEBUG="${CHRONVK_WINEDEBUG:--all}"
# No Mono or Gecko download prompts: nothing here needs .NET or HTML. And no
# winedbg: on a crash it would wait for ever with nobody to talk to, where a
# test run wants the process to end with a failure status.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# A prefix made while only wine64 was installed can never run i686 programs
# ("could not load kernel32.dll"), so its marker says so and the prefix is
# made again once wine32 is there.
kind=win64-only
[[ -x /usr/lib/wine/wine ]] && kind=wow64
ready="$prefix/.chronvk-ready"
prefix_ok() {
  [[ -f "$ready" ]] && ! [[ "$kind" == wow64 && "$(<"$ready")" == win64-only ]]
}

if ! prefix_ok; then
  exec 9>"$prefix.lock"
  flock 9
  if ! prefix_ok; then
    # A prefix left half-made by an interrupted run is not worth repairing.
    rm -rf "$prefix"
    # No windows on the caller's desktop while the prefix boots.
    if ! env -u DISPLAY -u WAYLAND_DISPLAY WINEARCH=win64 wine wineboot -i >/dev/null 2>&1; then
      echo "wine-run.sh: could not create the Wine prefix $prefix" >&2
      exit 125
    fi
    if ! wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1; then
      echo "wine-run.sh: could not select the null graphics driver in $prefix" >&2
      exit 125
    fi
    # The registry reaches disk when the server exits; only a new server
    # reads the null driver setting.
    wineserver -w
    echo "$kind" >"$ready"
  fi
  flock -u 9
  exec 9>&-
fi

exec wine "$@"
