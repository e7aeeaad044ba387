#!/usr/bin/env bash
# A card's context menu in the real panel, driven with xdotool:
#  1. right click on a card, Down, Return pins the card, keeps the panel up
#     and pastes nothing into the editor that was in front;
#  2. Escape with a menu open closes only the menu; the next Escape closes
#     the panel.
# Usage: panel_menu.sh <kelvo executable>
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
kelvo=$1
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
e2e_start_desktop
history=$(e2e_history)

"$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
E2E_PIDS="$!"
wait_for 10 test -d "$XDG_DATA_HOME/Kelvo" || e2e_fail "kelvo did not start: $(cat "$E2E_ROOT/kelvo.log")"
e2e_copy "alpha"
wait_for 5 grep -q '"alpha"' "$history" || e2e_fail "alpha was not recorded"
e2e_copy "beta"
wait_for 5 grep -q '"beta"' "$history" || e2e_fail "beta was not recorded"

: > "$E2E_ROOT/target.txt"
mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 20 xdotool search --onlyvisible --name "target.txt" || e2e_fail "the editor did not come up"
editor=$(xdotool search --onlyvisible --name "target.txt" | head -1)
focus_editor "at first"

show_panel() {
  xdotool key super+shift+v
  wait_for 5 panel_shown || e2e_fail "the panel did not show: $(cat "$E2E_ROOT/kelvo.log")"
  panel=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  wait_for 5 panel_ready || e2e_fail "the panel did not come to the front"
}
# The middle of the first card: 20 in from the left, below the header. The
# click and the keys after it reach kelvo in order on one connection, and the
# menu opens while the click is handled: nothing to wait for in between.
menu_on_first_card() {
  xdotool mousemove $((X + 20 + 93)) $((Y + 170)) click 3
}
pinned() { grep -q '"isPinned":true' "$history"; }

# 1. Right click, Down, Return: "固定" runs, nothing is pasted.
show_panel
menu_on_first_card
xdotool key Down
xdotool key Return
wait_for 5 pinned || e2e_fail "Return in the menu did not pin the card"
panel_shown || e2e_fail "Return in the menu closed the panel"

# 2. Escape closes the menu only.
menu_on_first_card
xdotool key Escape
# Waiting for something not to happen: the time is the subject (the panel's
# fade-out after an Escape that reached it would take 0.15 s).
sleep 0.8 # the time is the subject: the panel must not start hiding
panel_shown || e2e_fail "Escape with the menu open closed the panel"
xdotool key Escape
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "the second Escape left the panel up"

# Waiting for something not to happen: the time is the subject. A paste
# lands within 0.76 s of the panel hiding.
sleep 1 # the time is the subject: no paste may land meanwhile
focus_editor "after the panel"
! editor_modified || e2e_fail "the menu keys pasted: the editor's title is '$(xdotool getwindowname "$editor")'"
echo "panel menu: ok"
