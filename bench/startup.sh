#!/usr/bin/env bash
# Start-up of kelvo with a benchmark history, on a private X server with a
# window manager and private XDG directories:
#   start   exec to the "Registered hotkey" log line (median of several
#           starts), with the history file in the page cache; the same run
#           measures the reference: reading the file once (`cat`);
#   memory  resident set (VmRSS) 2 s after that line.
# The log is polled; the time of one poll is printed as the resolution.
# Usage: bench/startup.sh <kelvo> <make_history> [small|large] [starts, default 5]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
kelvo=$1
make_history=$2
set_name=${3:-large}
starts=${4:-5}
. "$here/../tests/e2e/lib.sh"
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
[ -x "$make_history" ] || e2e_fail "no such program: $make_history"

e2e_start_desktop
history=$(e2e_history)
"$make_history" "$history" "$set_name" > /dev/null
mkdir -p "$XDG_CONFIG_HOME/Kelvo"
# Every entry of the set is kept: the start must not trim and save.
printf '[General]\nmaxHistoryCount=500\n' > "$XDG_CONFIG_HOME/Kelvo/Kelvo.conf"
bytes=$(stat -c %s "$history")

now_ns() { date +%s%N; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cat "$history" > /dev/null # into the page cache
read_times=()
start_times=()
rss=()
for ((i = 0; i < starts; i++)); do
  t0=$(now_ns)
  cat "$history" > /dev/null
  t1=$(now_ns)
  read_times+=($(( (t1 - t0) / 1000000 )))

  log="$E2E_ROOT/kelvo-$i.log"
  : > "$log"
  t0=$(now_ns)
  timeout 120 "$kelvo" > "$log" 2>&1 &
  pid=$!
  E2E_PIDS="$pid"
  until grep -q "Registered hotkey" "$log"; do
    [ $(( ($(now_ns) - t0) / 1000000 )) -lt 30000 ] || e2e_fail "kelvo did not register its shortcut: $(cat "$log")"
    sleep 0.002 # the poll interval, not a wait for the outcome
  done
  t1=$(now_ns)
  start_times+=($(( (t1 - t0) / 1000000 )))
  sleep 2 # the resident set after start-up work has settled
  rss+=($(( $(rss_kb "$(pgrep -P "$pid" | head -n 1)") / 1024 )))
  kill "$pid"
  wait "$pid" 2> /dev/null || true
  E2E_PIDS=""
  grep -q "加载剪贴板历史失败" "$log" && e2e_fail "the history did not load: $(cat "$log")"
done

t0=$(now_ns)
for _ in 1 2 3 4 5; do grep -q "Registered hotkey" "$log"; sleep 0.002; done
t1=$(now_ns)
poll_ms=$(( (t1 - t0) / 5000000 ))

start_ms=$(printf '%s\n' "${start_times[@]}" | median)
read_ms=$(printf '%s\n' "${read_times[@]}" | median)
echo "history:                        $set_name, $(( bytes / 1048576 )) MB, $(grep -o '"id":"' "$history" | wc -l) entries"
echo "exec to shortcut registered:    ${start_ms} ms (median of ${start_times[*]}); one poll ${poll_ms} ms"
echo "reference, reading the file:    ${read_ms} ms (median of ${read_times[*]})"
echo "ratio:                          $(awk -v a="$start_ms" -v b="$read_ms" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 1) }')"
echo "resident set after start:       $(printf '%s\n' "${rss[@]}" | median) MB (of ${rss[*]})"
