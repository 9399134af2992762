#!/usr/bin/env bash
# The terminal screen in a tmux pane of 80x24: what it shows, the keys, a box
# that stays open while edges keep coming, and what reaches the settings file.
set -euo pipefail
program="$1"
command -v tmux >/dev/null || { echo "skipped: no tmux"; exit 77; }
dir="$(mktemp -d)"
session="chronvk-test-$$"
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$dir"' EXIT
export LANG=C.UTF-8 TMUX= TMUX_TMPDIR="$dir"

start() {
  printf '[CHRONVK-PORTS]\nCOM2=SIM\n' > "$dir/chronvk.ini"
  tmux new-session -d -s "$session" -x 80 -y 24 \
    "LANG=C.UTF-8 '$program' --config '$dir/chronvk.ini' 0 N; echo EXIT \$? > '$dir/exit'; sleep 60"
  wait_for 'lfd.Telegramm: [01]'
}
screen() { tmux capture-pane -p -t "$session"; }
# Waits up to 10 s for the pattern on the screen.
wait_for() {
  for _ in $(seq 100); do screen | grep -q -- "$1" && return 0; sleep 0.1; done
  echo "not on the screen: $1"; screen; exit 1
}
keys() { tmux send-keys -t "$session" "$@"; }
ended() {
  for _ in $(seq 100); do [[ -f "$dir/exit" ]] && { grep -q 'EXIT 0' "$dir/exit"; return; }; sleep 0.1; done
  echo "did not end"; screen; exit 1
}
bits() { screen | sed -n 's/^ lfd.Telegramm: \([01]*\).*/\1/p'; }

start
for text in 'empfangen' 'letzte Einstellung:' '(\*) COM2' '\[x\] autom. beenden' 'Minuten Maximallaufzeit' \
            'CHRONVK Version 3.0.4' 'f. Linux' '\[Hilfe\]'; do
  wait_for "$text"
done
# Tab order: COM1, GAME, LPT1, then the five options; Space toggles the UTC box.
keys Tab Tab Tab Tab Space
wait_for '\[x\] auf UTC stellen'
# Into the minutes field: a letter is refused, a 2 taken and refused on leaving.
keys Tab Tab Tab Tab x 2 Tab
wait_for 'Wert muß 0 oder mindestens 4 Minuten sein!'
screen | grep -q '\[   2\]' || { echo "the letter got into the field"; screen; exit 1; }
# The box is open and the bits go on. (Only "they change": a minute mark may
# empty the line between the two readings.)
before="$(bits)"
for _ in $(seq 100); do [[ "$(bits)" != "$before" ]] && break; sleep 0.1; done
[[ "$(bits)" != "$before" ]] || { echo "the bits stood still behind the box"; screen; exit 1; }
keys Enter BSpace 5
wait_for '\[   5\]'
keys Enter
ended
grep -qx 'CYCLE=5' "$dir/chronvk.ini" && grep -qx 'UTC=1' "$dir/chronvk.ini" && grep -qx 'COM=2' "$dir/chronvk.ini" ||
  { echo "Enter did not save the settings:"; cat "$dir/chronvk.ini"; exit 1; }

# Escape ends without writing anything.
tmux kill-session -t "$session"; rm -f "$dir/exit"
start
keys Space Escape
ended
[[ "$(cat "$dir/chronvk.ini")" == $'[CHRONVK-PORTS]\nCOM2=SIM' ]] || { echo "Escape wrote:"; cat "$dir/chronvk.ini"; exit 1; }

# Too small a terminal says so; growing it brings the dialog back.
tmux kill-session -t "$session"; rm -f "$dir/exit"
start
tmux resize-window -t "$session" -x 60 -y 20
wait_for 'zu klein'
tmux resize-window -t "$session" -x 80 -y 24
wait_for 'letzte Einstellung:'
echo "screen ok"
