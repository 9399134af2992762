#!/usr/bin/env bash
# Starts chronvk.exe under Wine with the simulated receiver on COM2, so the
# clock is only ever set dry.
#
#   run-windows.sh program.exe OUTDIR [SECONDS]
#
# With a display the window appears on it. Without one the program runs on a
# private Xvfb server and a screenshot of it is saved every 10 s as
# OUTDIR/chronvk-NNN.png. The program normally ends by itself once it has set
# the (dry-run) clock, after about three minutes (its status is ours). Given
# SECONDS, it is stopped after that long if still running, and that counts as
# success: enough to look at it. CHRONVK.LOG is written in OUTDIR.
# The Wine prefix is OUTDIR/wineprefix-desktop: one drawn by X, not the tests'
# headless one.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
out="$(mkdir -p "$2" && cd "$2" && pwd)"
limit="${3:-}"
prefix="$out/wineprefix-desktop"
run() { "$here/wine-run.sh" --prefix "$prefix" "$@"; }

run cmd /c exit 0 >/dev/null
server=wineserver
[[ "$(<"$prefix/.chronvk-ready")" == win64-only* ]] && server=/usr/lib/wine/wineserver64

xvfb_pid=""
cleanup() { [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null; true; }
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  if ! command -v Xvfb >/dev/null; then
    echo "run-windows.sh: no display and no Xvfb (scripts/bootstrap.sh test installs it)" >&2
    exit 77
  fi
  display=:$((90 + RANDOM % 400))
  Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

# X draws this prefix; without a window manager Wine draws caption and frame itself.
run reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
WINEPREFIX="$prefix" "$server" -w

# WIN.INI: COM2 is the simulated receiver; the rest keeps what earlier runs wrote.
ini="$prefix/drive_c/windows/win.ini"
touch "$ini"
if ! grep -q '^\[CHRONVK-PORTS\]' "$ini"; then
  printf '[CHRONVK-PORTS]\r\nCOM2=SIM\r\n' >>"$ini"
fi

cd "$out"
start=$SECONDS
run "$program" &
pid=$!
shot=0
while kill -0 "$pid" 2>/dev/null; do
  if [[ -n "$xvfb_pid" ]] && (( (SECONDS - start) / 10 >= shot )); then
    shot=$((shot + 1))
    import -display "$DISPLAY" -window root "$(printf 'chronvk-%03d.png' "$shot")" 2>/dev/null || true
  fi
  if [[ -n "$limit" ]] && (( SECONDS - start >= limit )); then
    echo "chronvk.exe stopped after ${limit}s, as asked"
    # The prefix is this script's own: its server holds only our program.
    WINEPREFIX="$prefix" "$server" -k
    wait "$pid" || true
    exit 0
  fi
  sleep 1
done
wait "$pid" && status=0 || status=$?
echo "chronvk.exe ended with status $status after $((SECONDS - start))s"
[[ -f CHRONVK.LOG ]] && { echo "CHRONVK.LOG:"; tail -n 3 CHRONVK.LOG; }
exit "$status"
