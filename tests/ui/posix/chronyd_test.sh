#!/usr/bin/env bash
# A real chronyd, unpacked from Debian's package and never installed, takes
# our samples through shared memory or its SOCK socket and reports the offset
# we fed it. chronyd runs with -x (no control of the system clock), with its
# command socket, pid file and drift file in a private directory. The source is
# "noselect": chronyd would otherwise pretend to steer its own idea of the
# time towards it (with -x it cannot steer the real clock) and report the
# offset left after that, not the one we fed.
#   chronyd_test.sh FEEDER shm|sock|sim
# "sim" feeds the socket from the simulated receiver in event mode (FEEDER is
# then chronvk_latency_bench): chronyd must see the reference within 1 ms of
# the clock, with a spread under 0.2 ms.
set -uo pipefail
feeder="$1"
kind="$2"
offset_ms=40
skip() { echo "skipped: $*"; exit 77; }

[[ $(id -u) -eq 0 ]] || skip "chronyd's -u root needs root"
dir="$(mktemp -d)"
chmod 700 "$dir"
chronyd_pid=
unit=$((100 + $$ % 100))
cleanup() {
  [[ -n "$chronyd_pid" ]] && kill "$chronyd_pid" 2>/dev/null && wait "$chronyd_pid" 2>/dev/null
  [[ $kind == shm ]] && ipcrm -M $((0x4E545030 + unit)) 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# The package's files only: no maintainer script runs, no service starts.
(cd "$dir" && timeout 120 apt-get download chrony >/dev/null 2>&1) || skip "cannot download the chrony package"
dpkg -x "$dir"/chrony_*.deb "$dir/pkg" || skip "cannot unpack the chrony package"
chronyd="$dir/pkg/usr/sbin/chronyd"
chronyc="$dir/pkg/usr/bin/chronyc"

mkdir "$dir/run" && chmod 700 "$dir/run"
if [[ $kind == shm ]]; then
  line="refclock SHM $unit refid DCF poll 0 filter 4 precision 1e-3 noselect"
  target="shm:$unit"
elif [[ $kind == sim ]]; then
  line="refclock SOCK $dir/run/dcf.sock refid DCF poll 0 filter 4 precision 1e-6 noselect"
  target="sock:$dir/run/dcf.sock"
  offset_ms=0
else
  line="refclock SOCK $dir/run/dcf.sock refid DCF poll 0 filter 4 precision 1e-3 noselect"
  target="sock:$dir/run/dcf.sock"
fi
cat >"$dir/chrony.conf" <<CONF
$line
cmdport 0
port 0
bindcmdaddress $dir/run/chronyd.sock
pidfile $dir/run/chronyd.pid
driftfile $dir/drift
logdir $dir
log refclocks
CONF
"$chronyd" -x -d -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 &
chronyd_pid=$!
for _ in $(seq 100); do
  [[ -S "$dir/run/chronyd.sock" ]] && break
  kill -0 "$chronyd_pid" 2>/dev/null || { cat "$dir/chronyd.log"; skip "chronyd does not run here"; }
  sleep 0.1
done
grep -q "Disabled control of system clock" "$dir/chronyd.log" || { echo "FAIL: chronyd controls the clock?"; cat "$dir/chronyd.log"; exit 1; }

if [[ $kind == sim ]]; then
  "$feeder" --refclock "$target" 20 || { echo "FAIL: the feeder failed"; cat "$dir/chronyd.log"; exit 1; }
else
  "$feeder" "$target" "$offset_ms" 12 || { echo "FAIL: the feeder failed"; exit 1; }
fi
sources="$("$chronyc" -h "$dir/run/chronyd.sock" -n -c sources 2>&1)"
echo "$sources"
# CSV: mode,state,name,stratum,poll,reach,lastrx,offset,raw offset,error
row="$(grep ',DCF,' <<<"$sources")" || { echo "FAIL: no DCF source"; cat "$dir/chronyd.log"; exit 1; }
reach="$(cut -d, -f6 <<<"$row")"
measured="$(cut -d, -f9 <<<"$row")"
[[ "$reach" != 0 ]] || { echo "FAIL: the reference clock was never reached"; exit 1; }
# chronyd reports how far the local clock is off the source: the reference lies
# 40 ms ahead, so the local clock is 40 ms slow.
awk -v m="$measured" -v o="$offset_ms" 'BEGIN { d = m * 1000 + o; exit !(d > -3 && d < 3) }' ||
  { echo "FAIL: offset $measured s, expected -$offset_ms ms"; exit 1; }
echo "chronyd reached DCF through $kind at ${measured} s"
[[ $kind == sim ]] || exit 0
# Every sample chronyd took, as it logged it (not the filter's results, "-"):
# mean and standard deviation of the raw offsets.
stats="$(awk '$3 == "DCF" && $4 != "-" { x = $7 * 1000; n++; s += x; q += x * x }
              END { if (n < 10) exit 1; m = s / n; printf "%d %.4f %.4f", n, m, sqrt(q / n - m * m) }' \
         "$dir/refclocks.log")" || { echo "FAIL: too few samples logged"; cat "$dir/refclocks.log"; exit 1; }
read -r count mean spread <<<"$stats"
echo "chronyd took $count samples from the simulated receiver: offset $mean ms, spread $spread ms"
awk -v m="$mean" -v s="$spread" 'BEGIN { exit !(m > -1 && m < 1 && s < 0.2) }' ||
  { echo "FAIL: offset $mean ms (within 1 ms?), spread $spread ms (under 0.2 ms?)"; exit 1; }
