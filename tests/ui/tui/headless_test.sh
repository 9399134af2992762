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

if [[ "${2:-}" == --calibrate ]]; then
  # The simulated receiver in event mode sends the system clock's own seconds,
  # so the delay measured is our own path's: none to speak of. (A real
  # receiver would need the clock kept by NTP; the simulated one needs not.)
  "$program" --config chronvk.ini --calibrate 1 > out 2> err < /dev/null || { cat out err; exit 1; }
  cat out err
  median="$(sed -n 's/.* second \(-\{0,1\}[0-9.]*\) ms late.*/\1/p' out)"
  awk -v m="$median" 'BEGIN { exit !(m != "" && m > -1 && m < 1) }' || { echo "median \"$median\" ms"; exit 1; }
  grep -Eq '^chrony: +refclock SOCK /run/chrony/chronvk.sock .* offset -?0\.000' out || { echo "no chrony line"; exit 1; }
  status=0
  "$program" --calibrate 0 > out 2> err || status=$?
  [[ $status -eq 2 ]] && grep -q 'MINUTES from 1 to 1440' err || { echo "--calibrate 0: status $status"; cat err; exit 1; }
  echo "calibration ok"
  exit 0
fi

"$program" --bogus > out 2> err && exit 1
[[ $? -eq 2 && $(wc -l < err) -eq 1 ]] || { echo "a wrong option must be one line and status 2"; cat err; exit 1; }
"$program" --version | grep -Eqx 'CHRONVK Version [0-9]+\.[0-9]+\.[0-9]+ f\. Linux \(.+\)' || { echo "--version"; exit 1; }

# Refused at the start, in one line: a folder that is not there, a FIFO (it
# would block) and a device that fails only when written to.
mkfifo fifo
for refused in "2 --config none/chronvk.ini" "1 --record fifo" "1 --record /dev/full"; do
  read -r expected option file <<< "$refused"
  status=0
  timeout 20 "$program" --headless --config chronvk.ini "$option" "$file" 0 N > out 2> err < /dev/null || status=$?
  [[ $status -eq $expected && $(wc -l < err) -eq 1 ]] || { echo "$option $file: status $status"; cat err; exit 1; }
done

# serve CONFIG PATTERN STATUS: runs until PATTERN is in out or err, then stops
# as a service manager does; the exit status must be STATUS.
serve() {
  "$program" --headless --config "$1" 0 N > out 2> err < /dev/null &
  pid=$!
  for _ in $(seq 100); do grep -Eq "$2" out err && break; sleep 0.1; done
  grep -Eq "$2" out err || { echo "not said: $2"; cat out err; exit 1; }
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  pid=
  [[ $status -eq $3 ]] || { echo "SIGTERM: exit status $status"; cat err; exit 1; }
}
serve chronvk.ini '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} bits [01]+$' 0
grep -qx 'COM=2' chronvk.ini && grep -qx 'AUTOEND=1' chronvk.ini || { echo "SIGTERM did not save:"; cat chronvk.ini; exit 1; }
# SIGUSR1 asks for the quality line at once, and the service runs on.
"$program" --headless --config chronvk.ini 0 N > out 2> err < /dev/null &
pid=$!
for _ in $(seq 100); do grep -q ' bits [01]' out && break; sleep 0.1; done
kill -USR1 "$pid"
summary=' quality Telegr\. [0-9]+ / Form\.fehl\. [0-9]+ / bestaet\. [0-9]+ / gestellt [0-9]+ / Proben 0 / Phase [0-9]+ ms, Streuung [0-9]+ ms$'
for _ in $(seq 100); do grep -Eq "$summary" out && break; sleep 0.1; done
grep -Eq "$summary" out || { echo "no quality line on SIGUSR1:"; cat out err; exit 1; }
kill -TERM "$pid"
wait "$pid"
pid=
# A settings file that cannot be read is never written, and the stop says so.
serve fifo 'fifo: cannot read \(not a regular file\)' 1
grep -q 'fifo: settings not saved' err && [[ -p fifo ]] || { echo "the FIFO:"; cat err; exit 1; }
echo "headless ok"
