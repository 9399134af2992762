#!/bin/bash
# End to end over real NetBIOS packets: three hosts (network namespaces) on one
# bridge. Two run the program (headless, on its simulated receiver), one runs
# chronvk-listen. Both programs join the group, only the first gets the unique
# name, only it sends; after it has ended the other still stays silent.
#
# usage: netns_e2e.sh CHRONVK_LISTEN CHRONVK
# Exit 77 (skipped) without root or iproute2. With CHRONVK_CAPTURE=FILE and
# tshark installed, the bridge traffic is written to FILE.
set -u
LISTEN=$1
PROGRAM=$2

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

start_program() { # HOST
    mkdir "$work/$1"
    printf '[CHRONVK-PORTS]\nCOM2=SIM\n' > "$work/$1/chronvk.ini"
    ip netns exec "${tag}$1" "$PROGRAM" --headless --config "$work/$1/chronvk.ini" \
        < /dev/null > "$work/$1.out" 2> "$work/$1.err" &
    pids+=($!)
}
# The second starts once the first sends, so that it meets a holder.
start_program a
wait_for "$work/listen.out" "^CHRONVKMASTER 10.77.0.1: " 1 10
sender=${pids[-1]}
start_program b
wait_for "$work/b.out" " bits " 3 10
# A second listener that stops by itself after two records.
ip netns exec "${tag}l" "$LISTEN" --interface eth0 --count 2 > "$work/count.out" 2> "$work/count.err" &
counted=$!
wait_for "$work/count.err" "listening on" 1 10
for _ in $(seq 1 200); do kill -0 "$counted" 2> /dev/null || break; sleep 0.05; done
kill -0 "$counted" 2> /dev/null && { kill "$counted"; fail "--count 2 did not end the listener"; }
wait "$counted" || fail "listener with --count failed"
(($(grep -c "^CHRONVKMASTER 10.77.0.1: " "$work/count.out") == 2)) || fail "--count 2 did not print two of host a's records"

# A stop ends the sender cleanly, its names released; the member stays silent.
kill -TERM "$sender"
wait "$sender" || fail "the sender did not end cleanly"
bits=$(grep -c " bits " "$work/b.out")
wait_for "$work/b.out" " bits " $((bits + 3)) 10

# Every line: a 117-byte record from host a's unique name, nothing from b.
lines=$(wc -l < "$work/listen.out")
((lines >= 3)) || fail "listener printed $lines lines"
good=$(grep -c "^CHRONVKMASTER 10.77.0.1: .* | port 2 minutes [0-9]* flags .* | [0-9a-f]\{234\}$" "$work/listen.out")
((good == lines)) || fail "$((lines - good)) of $lines listener lines are not host a's records"
grep -q "10.77.0.2" "$work/listen.out" && fail "host b sent"

echo "PASSED: $lines records from the sender, none from the member"
