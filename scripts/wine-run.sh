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
# Two kinds of machine run this:
# - Most run 32-bit code. The prefix is then a WoW64 prefix that runs i686 and
#   x86_64 programs alike, started through Debian's `wine` wrapper.
# - Some kernels have IA-32 emulation switched off: the 32-bit loader
#   /usr/lib/wine/wine, which the wrapper always starts first, fails with
#   "Exec format error". There the prefix is a 64-bit one made and used by the
#   64-bit loader directly (wine64, wineserver64); x86_64 programs run, and an
#   i686 program is not started: we print why and exit 77, which ctest reports
#   as a skipped test.
# Which kind this is gets found out once per prefix, by trying the 32-bit
# loader, and is kept in the prefix's marker file.
#
# The prefix is made on first use, with the null graphics driver, so no X
# server is needed. ctest starts several tests at once, so only one of them
# builds the prefix while the others wait on a lock. The program's exit status
# is ours. Wine's own messages are off; CHRONVK_WINEDEBUG=err+all (say) brings
# them back.
#
# We only ever delete a prefix we made ourselves (it holds our ".chronvk-made"
# marker from the moment we created the directory). A directory that exists
# without it may be somebody's ~/.wine: it is refused, never removed.
#
# The Wine programs can be replaced for tests: CHRONVK_WINE (the wrapper),
# CHRONVK_WINE32 and CHRONVK_WINE64 (the loaders), CHRONVK_WINESERVER and
# CHRONVK_WINESERVER64.
set -euo pipefail

wine_wrapper="${CHRONVK_WINE:-wine}"
wine32="${CHRONVK_WINE32:-/usr/lib/wine/wine}"
wine64="${CHRONVK_WINE64:-/usr/lib/wine/wine64}"
wineserver="${CHRONVK_WINESERVER:-wineserver}"
wineserver64="${CHRONVK_WINESERVER64:-/usr/lib/wine/wineserver64}"
skip_status=77

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

made="$prefix/.chronvk-made"
ready="$prefix/.chronvk-ready"

# "wow64" when this machine runs 32-bit programs; "win64-only kernel" when
# the 32-bit loader is there but will not run; "win64-only no-wine32" when it
# is not installed. Only the real loader can tell the first two apart: the
# packages may all be there on a kernel that refuses to execute them.
machine_kind() {
  if [[ ! -x "$wine32" ]]; then
    echo "win64-only no-wine32"
  elif "$wine32" --version >/dev/null 2>&1; then
    echo wow64
  else
    echo "win64-only kernel"
  fi
}

# A prefix made while wine32 was missing can never run i686 programs ("could
# not load kernel32.dll"), so it is made again once wine32 is installed. The
# kernel's answer does not change, so that one is never asked again.
prefix_ok() {
  [[ -f "$ready" ]] || return 1
  [[ "$(<"$ready")" != "win64-only no-wine32" || ! -x "$wine32" ]]
}

make_prefix() {
  local kind="$1"
  if [[ -e "$prefix" ]]; then
    if [[ ! -f "$made" ]]; then
      echo "wine-run.sh: $prefix exists and was not made by this script; not touching it" \
           "(name an empty or new directory)" >&2
      exit 125
    fi
    # Ours, but half-made by an interrupted run or of the wrong kind.
    rm -rf "$prefix"
  fi
  mkdir "$prefix"
  : >"$made"
  local boot=("$wine_wrapper") server=("$wineserver")
  if [[ "$kind" == win64-only* ]]; then
    boot=("$wine64")
    server=("$wineserver64")
  fi
  # No windows on the caller's desktop while the prefix boots.
  if ! env -u DISPLAY -u WAYLAND_DISPLAY WINEARCH=win64 "${boot[@]}" wineboot -i >/dev/null 2>&1; then
    echo "wine-run.sh: could not create the Wine prefix $prefix" >&2
    exit 125
  fi
  if ! "${boot[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1; then
    echo "wine-run.sh: could not select the null graphics driver in $prefix" >&2
    exit 125
  fi
  # The registry reaches disk when the server exits; only a new server
  # reads the null driver setting.
  "${server[@]}" -w
  echo "$kind" >"$ready"
}

if ! prefix_ok; then
  exec 9>"$prefix.lock"
  flock 9
  if ! prefix_ok; then
    make_prefix "$(machine_kind)"
  fi
  flock -u 9
  exec 9>&-
fi

# The machine field of the PE header: 0x14c for i686 programs.
is_i686_program() {
  [[ -f "$1" ]] || return 1
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [[ -n "$pe" ]] || return 1
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ') || return 1
  [[ "$machine" == 014c ]]
}

kind="$(<"$ready")"
if [[ "$kind" == win64-only* ]]; then
  if is_i686_program "$1"; then
    if [[ "$kind" == *kernel ]]; then
      echo "skipped: this machine's kernel cannot run 32-bit programs"
    else
      echo "skipped: wine32 is not installed (scripts/bootstrap.sh test installs it)"
    fi
    exit $skip_status
  fi
  export WINELOADER="$wine64" WINESERVER="$wineserver64"
  exec "$wine64" "$@"
fi
exec "$wine_wrapper" "$@"
