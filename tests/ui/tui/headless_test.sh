#!/usr/bin/env bash
# chronvk without a terminal on the simulated receiver: lines on stdout, and
# either a service stop (SIGTERM saves the settings, exit 0) or, with
# --until-setting, the whole run up to a setting, the log and the end by itself.
set -euo pipefail
program="$1"
dir="$(mktemp -d)"
pid=
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$dir"' EXIT
printf '[CHRONVK-PORTS]\nCOM2=SIM\n' > "$dir/chronvk.ini"
cd "$dir"

if [[ "${2:-}" == --until-setting ]]; then
  status=0
  "$program" --config chronvk.ini 0 N > out 2> err < /dev/null || status=$?
  cat out err
  [[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
  grep -q ' setting .*[0-9][0-9]:[0-9][0-9]' out || { echo "no setting shown"; exit 1; }
  grep -q 'komplett: 3/3' out || { echo "no confirmation shown"; exit 1; }
  [[ -s CHRONVK.LOG ]] || { echo "no CHRONVK.LOG"; exit 1; }
  echo "setting ok"
  exit 0
fi

"$program" --bogus > out 2> err && exit 1
[[ $? -eq 2 && $(wc -l < err) -eq 1 ]] || { echo "a wrong option must be one line and status 2"; cat err; exit 1; }

"$program" --headless --config chronvk.ini 0 N > out 2> err < /dev/null &
pid=$!
for _ in $(seq 100); do grep -q ' bits [01]' out && break; sleep 0.1; done
grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} bits [01]+$' out || { echo "no bit lines"; cat out err; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[[ $status -eq 0 ]] || { echo "SIGTERM: exit status $status"; exit 1; }
grep -qx 'COM=2' chronvk.ini && grep -qx 'AUTOEND=1' chronvk.ini || { echo "SIGTERM did not save:"; cat chronvk.ini; exit 1; }
echo "headless ok"
