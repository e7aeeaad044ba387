#!/usr/bin/env bash
# The whole flow on a real X server with real clients around kelvo:
#  1. copies made with xclip are recorded;
#  2. Super+Shift+V maps the panel along the bottom of the screen; Right and
#     Return paste the older entry into the text editor that was in front,
#     the clipboard holds it, the history lists it first with a fresh time
#     and nothing else was recorded;
#  3. Escape hides the panel and pastes nothing;
#  4. a second start says so and leaves the history alone;
#  5. SIGTERM ends kelvo with a complete history file.
# Usage: paste_flow.sh <kelvo executable>
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
kelvo=$1
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
e2e_start_desktop
history=$(e2e_history)
entries() { grep -o '"id":"' "$history" | wc -l; }
# Seconds since 2001-01-01, as the history file stores them.
now_ref() { echo $(( $(date +%s) - 978307200 )); }

"$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
kelvo_pid=$!
E2E_PIDS="$kelvo_pid"
wait_for 10 test -d "$XDG_DATA_HOME/Kelvo" || e2e_fail "kelvo did not start: $(cat "$E2E_ROOT/kelvo.log")"
[ "$(stat -c %a "$XDG_DATA_HOME/Kelvo")" = 700 ] || e2e_fail "the history directory is not private"

# 1. Two copies by another program.
e2e_copy "alpha"
wait_for 5 grep -q '"alpha"' "$history" || e2e_fail "alpha was not recorded"
e2e_copy "beta"
wait_for 5 grep -q '"beta"' "$history" || e2e_fail "beta was not recorded"
[ "$(stat -c %a "$history")" = 600 ] || e2e_fail "the history file is not private"
[ "$(entries)" = 2 ] || e2e_fail "expected two entries, found $(entries)"

# The paste target: a text editor with a file, in front.
: > "$E2E_ROOT/target.txt"
mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 20 xdotool search --onlyvisible --name "target.txt" || e2e_fail "the editor did not come up"
editor=$(xdotool search --onlyvisible --name "target.txt" | head -1)
focus_editor "at first"

# 3. Escape hides the panel and pastes nothing.
xdotool key super+shift+v
wait_for 5 panel_shown || e2e_fail "the panel did not show: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 5 panel_ready || e2e_fail "the panel did not come to the front"
xdotool key Escape
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "Escape left the panel up"
# Waiting for something not to happen: the time is the subject. A paste
# lands within 0.76 s of the panel hiding (a first wait of 0.12 s and up to
# eight retries of 0.08 s for the target to come to the front).
sleep 1 # the time is the subject: no paste may land meanwhile
focus_editor "after Escape"
! editor_modified || e2e_fail "Escape pasted: the editor's title is '$(xdotool getwindowname "$editor")'"

# 2. Show the panel, check where it is, paste the older entry.
xdotool key super+shift+v
wait_for 5 panel_shown || e2e_fail "the panel did not show a second time"
panel=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ "$WIDTH" = 1600 ] && [ "$HEIGHT" = 324 ] && [ $((Y + HEIGHT)) = 900 ] ||
  e2e_fail "panel geometry ${WIDTH}x${HEIGHT}+${X}+${Y}, expected 1600x324 along the bottom"
wait_for 5 panel_ready || e2e_fail "the panel did not come to the front a second time"
before_paste=$(now_ref)
# The two keys reach kelvo in order on one connection: nothing to wait for
# between them.
xdotool key Right
xdotool key Return
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "the panel stayed up after the paste"
wait_for 5 editor_modified || e2e_fail "nothing was pasted into the editor"
focus_editor "after the paste"
xdotool key ctrl+s
wait_for 5 grep -q alpha "$E2E_ROOT/target.txt" || e2e_fail "the editor holds '$(cat "$E2E_ROOT/target.txt")'"
[ "$(cat "$E2E_ROOT/target.txt")" = alpha ] || e2e_fail "the editor holds '$(cat "$E2E_ROOT/target.txt")'"
[ "$(xclip -selection clipboard -o)" = alpha ] || e2e_fail "the clipboard does not hold alpha"
first_entry() { grep -o '"_0":"[a-z]*"' "$history" | head -1; }
alpha_first() { [ "$(first_entry)" = '"_0":"alpha"' ]; }
wait_for 5 alpha_first || e2e_fail "the history does not list alpha first: $(first_entry)"
stamp=$(grep -o '"timestamp":[0-9]*' "$history" | head -1 | cut -d: -f2)
[ "$stamp" -ge $((before_paste - 1)) ] || e2e_fail "alpha's timestamp $stamp is not fresh ($before_paste)"
[ "$(entries)" = 2 ] || e2e_fail "a third entry was recorded: $(entries) entries"

# 4. A second start says so and leaves the history alone.
before=$(stat -c %Y.%s "$history")
out=$(timeout 10 "$kelvo" 2>&1) || e2e_fail "the second start did not exit cleanly: $out"
echo "$out" | grep -q "already running" || e2e_fail "the second start printed: $out"
kill -0 "$kelvo_pid" || e2e_fail "the first instance died"
[ "$(stat -c %Y.%s "$history")" = "$before" ] || e2e_fail "the second start touched the history"

# 5. SIGTERM quits through the normal path and keeps a complete file.
kill -TERM "$kelvo_pid"
wait_for 10 sh -c "! kill -0 $kelvo_pid" || e2e_fail "kelvo did not quit on SIGTERM"
[ "$(tail -c 1 "$history")" = "]" ] || e2e_fail "the history file after SIGTERM is not complete"
[ "$(entries)" = 2 ] || e2e_fail "the history lost entries at SIGTERM"
echo "paste flow: ok"
