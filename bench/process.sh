#!/usr/bin/env bash
# Whole-process figures of kelvo on a private X server with a window manager:
#   idle    CPU time (user + system) used in 60 s after start, with the
#           500-entry history, the panel never shown;
#   memory  resident set after start, and after the panel was shown once;
#   panel   Super+Shift+V to the panel window being viewable, on the
#           second and later showings (median of several).
# The panel time is measured by polling the window's map state; the time of
# one poll, measured in the same run, is printed beside it as its resolution.
# Usage: bench/process.sh <kelvo> <make_history> [idle seconds, default 60]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
kelvo=$1
make_history=$2
idle_seconds=${3:-60}
. "$here/../tests/e2e/lib.sh"
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
[ -x "$make_history" ] || e2e_fail "no such program: $make_history"

e2e_start_desktop
trap '[ -n "${BENCH_SHOW_LOG:-}" ] && cat "$E2E_ROOT/kelvo.log"; e2e_stop_desktop' EXIT
"$make_history" "$(e2e_history)" small > /dev/null
mkdir -p "$XDG_CONFIG_HOME/Kelvo"
# The history must be allowed to keep all 500 entries.
printf '[General]\nmaxHistoryCount=500\n' > "$XDG_CONFIG_HOME/Kelvo/Kelvo.conf"

"$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
pid=$!
E2E_PIDS="$pid"
wait_for 10 grep -q "Registered hotkey" "$E2E_ROOT/kelvo.log" || e2e_fail "kelvo did not start: $(cat "$E2E_ROOT/kelvo.log")"
sleep 2 # let start-up work (first layout, icon cache) finish

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# The scheduler's nanosecond count of time on a CPU, over every thread: the
# tick count above moves in 10 ms steps, too coarse for an idle minute.
cpu_ns() {
  local total=0 ns _
  for f in /proc/"$1"/task/*/schedstat; do
    read -r ns _ < "$f" 2> /dev/null && total=$((total + ns))
  done
  echo "$total"
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
now_ns() { date +%s%N; }

rss_before=$(rss_kb "$pid")
entries=$(grep -o '"id":"' "$(e2e_history)" | wc -l)
cpu0=$(cpu_ticks "$pid")
ns0=$(cpu_ns "$pid")
sleep "$idle_seconds"
cpu1=$(cpu_ticks "$pid")
ns1=$(cpu_ns "$pid")
idle_ms=$(( (cpu1 - cpu0) * 1000 / ticks ))
idle_us=$(( (ns1 - ns0) / 1000 ))

panel_viewable() { xwininfo -name Kelvo 2> /dev/null | grep -q 'Map State: IsViewable'; }
# One poll, for the resolution of the panel figure.
t0=$(now_ns); for _ in 1 2 3 4 5; do panel_viewable || true; done; t1=$(now_ns)
poll_ms=$(( (t1 - t0) / 5000000 ))

show_once() {
  local start end
  start=$(now_ns)
  xdotool key super+shift+v
  until panel_viewable; do
    [ $(( ($(now_ns) - start) / 1000000 )) -lt 5000 ] || e2e_fail "the panel did not show"
  done
  end=$(now_ns)
  echo $(( (end - start) / 1000000 ))
}
hide() {
  xdotool key Escape
  wait_for 5 sh -c '! xwininfo -name Kelvo | grep -q IsViewable' || e2e_fail "the panel did not hide"
  sleep 0.5
}

first_ms=$(show_once)
sleep 1
rss_after=$(rss_kb "$pid")
hide
times=()
for _ in 1 2 3 4 5 6 7; do
  times+=("$(show_once)")
  hide
done
median_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 4p)

echo "history entries loaded:        $entries"
echo "idle CPU in ${idle_seconds} s:            ${idle_ms} ms (target < 60 ms in 60 s)"
echo "idle CPU in ${idle_seconds} s, scheduler:  $((idle_us / 1000)).$(printf '%03d' $((idle_us % 1000))) ms"
echo "resident set after start:      $(( rss_before / 1024 )) MB (target < 60 MB)"
echo "resident set after the panel:  $(( rss_after / 1024 )) MB (target < 120 MB)"
echo "panel, first showing:          ${first_ms} ms"
echo "panel, later showings, median: ${median_ms} ms of ${times[*]} (target < 100 ms); one poll ${poll_ms} ms"
