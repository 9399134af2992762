#!/usr/bin/env bash
# The terminal screen in a tmux pane of 80x24: what it shows, the keys, a box
# that stays open while edges keep coming, what reaches the settings file, and
# every way the program is stopped.
set -euo pipefail
program="$1"
command -v tmux >/dev/null || { echo "skipped: no tmux"; exit 77; }
dir="$(mktemp -d)"
session="chronvk-test-$$"
export LANG=C.UTF-8 TMUX= TMUX_TMPDIR="$dir"
sim='[CHRONVK-PORTS]\nCOM2=SIM\n'
# The program leaves its pid here, so that nothing is removed while it still saves.
printf '#!/bin/sh\necho $$ > "%s/pid"\nexec "$@"\n' "$dir" > "$dir/run"
chmod +x "$dir/run"

# Waits up to 30 s for the program to end.
gone() {
  [[ -s "$dir/pid" ]] || return 0
  for _ in $(seq 300); do kill -0 "$(cat "$dir/pid")" 2>/dev/null || return 0; sleep 0.1; done
  echo "still running"; return 1
}
stop() { tmux kill-session -t "$session" 2>/dev/null || true; gone || { kill "$(cat "$dir/pid")"; gone; }; }
trap 'stop; rm -rf "$dir"' EXIT

# start SETTINGS [VAR=VALUE...|setsid]: the program in a fresh pane.
start() {
  stop
  rm -f "$dir/exit" "$dir/pid"
  printf "$1" > "$dir/chronvk.ini"
  local run="env LANG=C.UTF-8 ${2:-} '$dir/run' '$program' --config '$dir/chronvk.ini' 0 N 2> '$dir/err'"
  tmux new-session -d -s "$session" -x 80 -y 24 "$run; echo EXIT \$? > '$dir/exit'; sleep 60"
}
screen() { tmux capture-pane -p -t "$session"; }
# Waits up to 10 s for the pattern on the screen.
wait_for() {
  for _ in $(seq 100); do screen | grep -q -- "$1" && return 0; sleep 0.1; done
  echo "not on the screen: $1"; screen; exit 1
}
keys() { tmux send-keys -t "$session" "$@"; }
ended() {
  for _ in $(seq 100); do [[ -f "$dir/exit" ]] && { grep -q "EXIT ${1:-0}" "$dir/exit"; return; }; sleep 0.1; done
  echo "did not end"; screen; exit 1
}
bits() { screen | sed -n 's/^ lfd.Telegramm: \([01]*\).*/\1/p'; }
saved() {
  for line in "$@"; do
    grep -qx "$line" "$dir/chronvk.ini" || { echo "not saved: $line"; cat "$dir/chronvk.ini"; exit 1; }
  done
}

# A broken line is warned about before the screen starts, and shown on it.
start "${sim}broken\n"
for text in 'lfd.Telegramm: [01]' 'empfangen' 'letzte Einstellung:' '(\*) COM2' '\[x\] autom. beenden' \
            'Minuten Maximallaufzeit' 'CHRONVK Version [0-9]*\.[0-9]*\.[0-9]' 'f. Linux' '\[Hilfe\]' 'chronvk.ini:3: ignoring' \
            'Enter OK  Esc Abbruch$'; do
  wait_for "$text"
done
# Below the dialog the quality panel: the minutes, the marks' lengths (none
# near 0 ms), their phase, and the counters.
for text in '. ohne Minutenmarke' '^ Minuten  .\{60\}  jetzt$' '^ Impulse  0.\{31\}300 ms  (letzte 10 Min\.)$' \
            '^ Impulse  0 \{5,\}[^ ]' '^ Phase [0-9]* ms, Streuung [0-9]* ms  *robust: aus$' \
            '^ Telegr\. [0-9]* / Form\.fehl\. [0-9]* / bestaet\. [0-9]* / gestellt [0-9]* / Proben 0$'; do
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
saved CYCLE=5 UTC=1 COM=2

# Escape ends without writing anything.
start "$sim"
wait_for 'lfd.Telegramm: [01]'
keys Space Escape
ended
[[ "$(cat "$dir/chronvk.ini")" == $'[CHRONVK-PORTS]\nCOM2=SIM' ]] || { echo "Escape wrote:"; cat "$dir/chronvk.ini"; exit 1; }

# Ctrl-C is a key on this screen, and ends as a service stop does: saving.
# The countdown fits whole.
start "${sim}[CHRONVK]\nCYCLE=10\n"
wait_for 'Restlaufzeit  *[0-9][0-9]* s$'
keys Tab Tab Tab Tab Space
wait_for '\[x\] auf UTC stellen'
keys C-c
ended
saved UTC=1 CYCLE=10

# A terminal that goes away without a hang-up signal (the program in a
# session of its own) ends it the same way.
start "$sim" setsid
wait_for 'lfd.Telegramm: [01]'
keys Tab Tab Tab Tab Space
wait_for '\[x\] auf UTC stellen'
tmux kill-session -t "$session"
gone
saved UTC=1

# An unknown terminal type is named.
start "$sim" TERM=chronvk-nonesuch
ended 1
grep -q '"chronvk-nonesuch".*--headless' "$dir/err" || { echo "unknown TERM not said:"; cat "$dir/err"; exit 1; }

# Outside UTF-8 the German letters are spelled out. With no port open no edge
# redraws the screen: a resize shows at once by itself.
start '[CHRONVK-PORTS]\nCOM2=/dev/null\n' LANG=C
wait_for 'Schnittstelle kann nicht geoeffnet werden!'
tmux resize-window -t "$session" -x 60 -y 20
wait_for 'bitte vergroessern'
! screen | grep -q 'Impulse\|Telegr\.' || { echo "the panel shows at 60x20"; screen; exit 1; }
tmux resize-window -t "$session" -x 80 -y 24
wait_for 'letzte Einstellung:'
echo "screen ok"
