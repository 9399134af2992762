#!/usr/bin/env bash
# Which loader wine-run.sh picks, and when it skips, with every Wine program
# replaced by a stub that only notes how it was called.
#   test_wine_run.sh path/to/wine-run.sh
set -uo pipefail
script="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/bin"
for stub in wrapper wine64 wineserver wineserver64; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "$stub" "$work" >"$work/bin/$stub"
done
printf '#!/bin/sh\necho "wine-8.0"\n' >"$work/bin/wine32-ok"
# What bash reports when the kernel refuses an i386 ELF file.
printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' \
  >"$work/bin/wine32-enoexec"
chmod +x "$work"/bin/*

# Just enough of a PE file: the header offset at 0x3c, "PE\0\0", the machine.
pe() { { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\0\0\0PE\0\0'; printf "$2"; } >"$work/$1"; }
pe i686.exe '\x4c\x01'
pe x86_64.exe '\x64\x86'

run() {  # run LOADER32 PREFIX PROGRAM: sets out, status
  out=$(CHRONVK_WINE="$work/bin/wrapper" CHRONVK_WINE32="$work/bin/$1" CHRONVK_WINE64="$work/bin/wine64" \
        CHRONVK_WINESERVER="$work/bin/wineserver" CHRONVK_WINESERVER64="$work/bin/wineserver64" \
        "$script" --prefix "$work/$2" "$work/$3" 2>&1)
  status=$?
}

# A machine that runs 32-bit code: everything through the wrapper, as always.
: >"$work/calls"
run wine32-ok p32 i686.exe
[[ $status -eq 0 ]] || fail "i686 on a 32-bit machine: status $status ($out)"
run wine32-ok p32 x86_64.exe
grep -q "^wrapper wineboot -i" "$work/calls" || fail "prefix not booted through the wrapper"
[[ $(grep -c "^wrapper $work/" "$work/calls") -eq 2 ]] || fail "programs not run through the wrapper"
grep -q "^wine64" "$work/calls" && fail "the 64-bit loader was used on a 32-bit machine"
[[ $(<"$work/p32/.chronvk-ready") == wow64 ]] || fail "marker of a WoW64 prefix"

# A kernel without IA-32 emulation: 64-bit loader for x86_64, skip for i686.
: >"$work/calls"
run wine32-enoexec p64 x86_64.exe
[[ $status -eq 0 ]] || fail "x86_64 on a 64-bit-only machine: status $status ($out)"
grep -q "^wine64 wineboot -i" "$work/calls" || fail "prefix not booted by wine64"
grep -q "^wineserver64 -w" "$work/calls" || fail "wineserver64 not used"
grep -q "^wine64 $work/x86_64.exe" "$work/calls" || fail "x86_64 program not run by wine64"
grep -q "^wrapper" "$work/calls" && fail "the wrapper (32-bit loader first) was used"
: >"$work/calls"
run wine32-enoexec p64 i686.exe
[[ $status -eq 77 ]] || fail "i686 on a 64-bit-only machine: status $status, want 77"
[[ "$out" == "skipped: this machine's kernel cannot run 32-bit programs" ]] || fail "skip line: $out"
[[ -s "$work/calls" ]] && fail "a Wine program was started for a skipped i686 program"

# A directory this script did not make is never deleted, whatever it holds.
mkdir "$work/users-wine" && echo keep >"$work/users-wine/file"
run wine32-ok users-wine x86_64.exe
[[ $status -ne 0 ]] || fail "a foreign prefix was accepted"
[[ -f "$work/users-wine/file" ]] || fail "a foreign prefix was deleted"

if [[ $failures -eq 0 ]]; then echo "wine-run.sh: all cases passed"; fi
exit $((failures > 0))
