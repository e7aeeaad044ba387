#!/usr/bin/env bash
# The whole flow on a real X server: kelvo records copies made by another
# program, the shortcut brings up the panel, Right and Return paste the
# older entry into a text editor that was in front; a second start leaves
# the first alone; SIGTERM ends kelvo with the history file intact.
# Usage: paste_flow.sh <kelvo executable>
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
kelvo=$1
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
e2e_start_desktop

"$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
kelvo_pid=$!
E2E_PIDS="$kelvo_pid"
wait_for 10 test -d "$XDG_DATA_HOME/Kelvo" || e2e_fail "kelvo did not start: $(cat "$E2E_ROOT/kelvo.log")"
[ "$(stat -c %a "$XDG_DATA_HOME/Kelvo")" = 700 ] || e2e_fail "history directory is not private"

first="Kelvo 端到端 first entry"
e2e_copy "$first"
wait_for 5 grep -q "first entry" "$(e2e_history)" || e2e_fail "the first copy was not recorded"
e2e_copy "second entry"
wait_for 5 grep -q "second entry" "$(e2e_history)" || e2e_fail "the second copy was not recorded"
[ "$(stat -c %a "$(e2e_history)")" = 600 ] || e2e_fail "history file is not private"

# A second start says so and leaves the history alone.
before=$(stat -c %Y.%s "$(e2e_history)")
out=$(timeout 10 "$kelvo" 2>&1) || e2e_fail "second start did not exit cleanly: $out"
echo "$out" | grep -q "already running" || e2e_fail "second start printed: $out"
kill -0 "$kelvo_pid" || e2e_fail "the first instance died"
[ "$(stat -c %Y.%s "$(e2e_history)")" = "$before" ] || e2e_fail "second start touched the history"

# The paste target: a text editor in front.
mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 15 xdotool search --onlyvisible --class mousepad || e2e_fail "the editor did not come up"
editor=$(xdotool search --onlyvisible --class mousepad | head -1)
xdotool windowactivate --sync "$editor" 2> /dev/null || true
wait_for 5 sh -c "[ \"\$(xdotool getactivewindow)\" = $editor ]" || e2e_fail "the editor did not take the focus"

# Super+Shift+V shows the panel; Right selects the older entry; Return pastes it.
xdotool key super+shift+v
wait_for 5 xdotool search --onlyvisible --name '^Kelvo$' || e2e_fail "the panel did not show"
sleep 0.3
xdotool key Right
sleep 0.2
xdotool key Return
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "the panel stayed up after the paste"
sleep 1

# Read what the editor holds: select all and copy, then ask the clipboard.
xdotool windowactivate --sync "$editor" 2> /dev/null || true
xdotool key ctrl+a ctrl+c
sleep 0.5
got=$(xclip -selection clipboard -o 2> /dev/null)
[ "$got" = "$first" ] || e2e_fail "the editor holds '$got', expected '$first'"

# Quitting by SIGTERM leaves a complete history that still holds the entries.
kill -TERM "$kelvo_pid"
wait_for 10 sh -c "! kill -0 $kelvo_pid" || e2e_fail "kelvo did not quit on SIGTERM"
grep -q "first entry" "$(e2e_history)" || e2e_fail "the history lost its entries at SIGTERM"
[ "$(tail -c 1 "$(e2e_history)")" = "]" ] || e2e_fail "the history file after SIGTERM is not complete"
echo "paste flow: ok"
