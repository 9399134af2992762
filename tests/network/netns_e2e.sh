#!/bin/bash
# End to end over real NetBIOS packets: three hosts (network namespaces) on one
# bridge. Two run the program's network layer (the driver), one runs
# chronvk-listen. Both drivers join the group, only the first gets the unique
# name, only it sends; after it releases its names the other still stays silent.
#
# usage: netns_e2e.sh CHRONVK_LISTEN CHRONVK_NET_DRIVER
# Exit 77 (skipped) without root or iproute2. With CHRONVK_CAPTURE=FILE and
# tshark installed, the bridge traffic is written to FILE.
set -u
LISTEN=$1
DRIVER=$2

skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "network namespaces need root"
command -v ip > /dev/null || skip "iproute2 (ip) is not installed"

tag="cvk$$"
LAN="${tag}lan"
HOSTS=(a b l)
work=$(mktemp -d)
pids=()

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
    wait 2> /dev/null
    for h in "${HOSTS[@]}"; do ip netns del "${tag}$h" 2> /dev/null; done
    ip netns del "$LAN" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; cat "$f"; done
    exit 1
}

# wait_for FILE PATTERN COUNT SECONDS: until FILE has COUNT lines matching PATTERN.
wait_for() {
    local deadline=$((SECONDS + $4))
    while ((SECONDS < deadline)); do
        (($(grep -c -- "$2" "$1" 2> /dev/null || true) >= $3)) && return 0
        sleep 0.05
    done
    fail "no $3 line(s) matching '$2' in $(basename "$1") within $4 s"
}

ip netns add "$LAN" || skip "cannot create network namespaces here"
ip -n "$LAN" link add br0 type bridge || skip "no bridge support"
ip -n "$LAN" link set br0 up
n=1
for h in "${HOSTS[@]}"; do
    ns="${tag}$h"
    ip netns add "$ns"
    ip link add eth0 netns "$ns" type veth peer name "port$h" netns "$LAN" || fail "veth for $h"
    ip -n "$LAN" link set "port$h" master br0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "10.77.0.$n/24" brd + dev eth0
    ip -n "$ns" link set eth0 up
    n=$((n + 1))
done

if [ -n "${CHRONVK_CAPTURE:-}" ] && command -v tshark > /dev/null; then
    ip netns exec "$LAN" tshark -q -i br0 -w "$CHRONVK_CAPTURE" -f "udp port 137 or udp port 138" \
        2> "$work/tshark.err" &
    pids+=($!)
    wait_for "$work/tshark.err" "Capturing on" 1 20
fi

ip netns exec "${tag}l" "$LISTEN" --interface eth0 --raw > "$work/listen.out" 2> "$work/listen.err" &
pids+=($!)
wait_for "$work/listen.err" "listening on eth0 10.77.0.3" 1 10

start_driver() { # HOST PORTCODE
    mkfifo "$work/$1.in"
    ip netns exec "${tag}$1" "$DRIVER" "$2" < "$work/$1.in" > "$work/$1.out" 2>&1 &
    pids+=($!)
}
start_driver a 1
exec 7> "$work/a.in"
wait_for "$work/a.out" "^registered" 1 10
grep -q "registered group=[1-9][0-9]* master=[1-9]" "$work/a.out" || fail "host a is not the sender"

start_driver b 3
exec 8> "$work/b.in"
wait_for "$work/b.out" "^registered" 1 10
grep -q "registered group=[1-9][0-9]* master=0$" "$work/b.out" || fail "host b must be a member only"

wait_for "$work/listen.out" "port 1 " 3 10

# A second listener that stops by itself after two records.
ip netns exec "${tag}l" "$LISTEN" --interface eth0 --count 2 > "$work/count.out" 2> "$work/count.err" &
counted=$!
wait_for "$work/count.err" "listening on" 1 10
for _ in $(seq 1 200); do kill -0 "$counted" 2> /dev/null || break; sleep 0.05; done
kill -0 "$counted" 2> /dev/null && { kill "$counted"; fail "--count 2 did not end the listener"; }
wait "$counted" || fail "listener with --count failed"
(($(grep -c "port 1 " "$work/count.out") == 2)) || fail "--count 2 printed $(wc -l < "$work/count.out") lines"

echo release >&7
wait_for "$work/a.out" "^released" 1 10
ticks=$(grep -c "^tick" "$work/b.out")
wait_for "$work/b.out" "^tick" $((ticks + 3)) 10

# Every line: a 117-byte record from host a's unique name, nothing from b.
lines=$(wc -l < "$work/listen.out")
((lines >= 3)) || fail "listener printed $lines lines"
good=$(grep -c "^CHRONVKMASTER 10.77.0.1: .* | port 1 minutes 10 flags bitsChanged | [0-9a-f]\{234\}$" "$work/listen.out")
((good == lines)) || fail "$((lines - good)) of $lines listener lines are not host a's records"
grep -q "10.77.0.2" "$work/listen.out" && fail "host b sent"

echo "PASSED: $lines records from the sender, none from the member"
