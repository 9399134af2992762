#!/usr/bin/env bash
# chronvk-decode's chart as other programs read it: XML that a parser takes
# and rsvg-convert renders, a cell per minute, and a noisy day under 2 MB.
set -euo pipefail
signal="$1"
decode="$2"
for tool in xmllint rsvg-convert; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT

"$signal" --start "2026-12-06 13:00" --minutes 60 > "$dir/hour.log"
"$signal" --start "2026-12-06 13:00" --minutes 1440 --flips 0.05 --dropouts 0.02 --glitches 0.05 \
  --jitter 30 > "$dir/day.log"
# name MINUTES: the chart of name.log, with the lead-in's part of a minute first.
for run in "hour 61" "day 1441"; do
  read -r name minutes <<< "$run"
  "$decode" --svg "$dir/$name.svg" "$dir/$name.log" > /dev/null
  xmllint --noout "$dir/$name.svg"
  cells="$(xmllint --xpath 'count(//*[@id="minutes"]/*[local-name()="rect"])' "$dir/$name.svg")"
  [[ $cells == "$minutes" ]] || { echo "$name: $cells minute cells, not $minutes"; exit 1; }
  rsvg-convert -o "$dir/$name.png" "$dir/$name.svg"
  [[ "$(head -c 8 "$dir/$name.png" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] || { echo "$name: no PNG"; exit 1; }
done
size="$(stat -c %s "$dir/day.svg")"
(( size < 2000000 )) || { echo "a noisy day's chart has $size bytes"; exit 1; }
echo "chart ok"
