#!/usr/bin/env bash
# Kills a process that saves a changing history over and over with SIGKILL
# at random moments, then checks that the file left behind is a complete
# history. Usage: kill_test.sh <save-loop executable> [kills]
set -u
loop=$1
kills=${2:-300}
[ -x "$loop" ] || { echo "no such program: $loop"; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

bad=0
for ((i = 1; i <= kills; i++)); do
  "$loop" write "$dir" > "$dir/out" &
  pid=$!
  # Wait until the first save has landed (at most 2 s), then a random 0-50 ms more.
  for _ in $(seq 200); do
    [ -s "$dir/out" ] && break
    sleep 0.01 # the poll interval inside the 2 s bound
  done
  sleep "0.0$(printf '%02d' $((RANDOM % 50)))" # the time is the subject: where in a save the kill lands
  kill -KILL "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
  if ! "$loop" check "$dir"; then
    bad=$((bad + 1))
    cp "$dir/clipboard_history.json" "$dir/../kelvo-kill-test-bad-$i.json" 2> /dev/null
  fi
  : > "$dir/out"
done
leftovers=$(find "$dir" -maxdepth 1 -type f ! -name clipboard_history.json ! -name out | wc -l)
echo "kills: $kills, bad files: $bad, unfinished temporary files left: $leftovers"
[ "$bad" -eq 0 ]
