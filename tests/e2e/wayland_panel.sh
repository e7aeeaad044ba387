#!/bin/bash
# The whole program under a real headless sway, with real Wayland clients
# around it (wl-copy, wtype, grim, mousepad on GTK's Wayland backend) and
# kelvo's own windows on the compositor's Xwayland:
#  1. twelve copies made with wl-copy 0.15 s apart are twelve entries, in order;
#  2. the shortcut pressed with wtype opens the panel, in front with the
#     keyboard, as the bottom strip of the output (sway's own tree says so),
#     and a screenshot shows the cards;
#  3. Right then Return (typed with wtype) paste the second entry into the
#     editor, whose saved file then holds it;
#  4. the panel opened again and closed by Escape, by sway focusing another
#     window, or by a click outside pastes nothing.
# sway refuses to run as root: under root it runs as the user kelvo-test
# (tools/test.sh creates it), which also lets root's clients into its Xwayland.
# Usage: wayland_panel.sh <kelvo executable> <wayland_control_key executable>;
# KELVO_SCREENSHOT=<file> keeps the screenshot.
. "$(dirname "$0")/lib.sh"

kelvo=$1 control_key=${2:-}
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
[ -x "$control_key" ] || e2e_fail "no such program: $control_key"

e2e_start_sway 170

# Whether the editor has the focus.
editor_focused() { [ "$(sway_tree | jq -r '.. | objects | select(.focused? == true) | .app_id')" = mousepad ]; }
panel_shown() { [ -n "$(sway_panel)" ]; }
shortcut() { timeout 5 wtype -M logo -M shift v -m shift -m logo; }

# The editor first, in front.
e2e_start_editor_and_kelvo "$kelvo"
# Resident set of kelvo (a figure for the notes, not a check).
resident() { awk '/VmRSS/{print $2}' "/proc/$(pgrep -P "$E2E_KELVO" | head -1)/status"; }
wait_for 15 grep -q 'Desktop platform: Wayland' "$E2E_ROOT/kelvo.log" ||
  e2e_fail "kelvo did not start on Wayland: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 10 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"

e2e_wait_recording
# 1. Twelve copies, twelve entries in order.
e2e_twelve_copies

timeout 10 grim "$E2E_ROOT/before.png" || e2e_fail "grim failed"

rss_before=$(resident)
# 2. The shortcut shows the panel: the bottom strip of the output (sway's
# own tree says so), in front with the keyboard, showing the cards.
shortcut
wait_for 5 panel_shown || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 5 sway_panel_ready || e2e_fail "the panel did not take the keyboard: $(sway_tree | jq -c '.. | objects | select(.focused? == true) | .name')"
read -r x y width height window <<< "$(sway_panel)"
output=$(timeout 5 swaymsg -t get_outputs | jq -r '.[] | select(.focused) | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"')
read -r ox oy owidth oheight <<< "$output"
[ "$x" = "$ox" ] && [ "$width" = "$owidth" ] && [ "$height" = 324 ] && [ $((y + height)) = $((oy + oheight)) ] ||
  e2e_fail "panel at ${width}x${height}+${x}+${y} on the output ${owidth}x${oheight}+${ox}+${oy}"
timeout 10 grim "$E2E_ROOT/panel.png" || e2e_fail "grim failed"
echo "resident set: ${rss_before} kB before the first panel, $(resident) kB with it shown"
[ -n "${KELVO_SCREENSHOT:-}" ] && cp "$E2E_ROOT/panel.png" "$KELVO_SCREENSHOT"
# The strip now shows something else than the editor did: the cards.
e2e_strip_changed "$E2E_ROOT/before.png" "$E2E_ROOT/panel.png" "$width" "$height" "$x" "$y"

# 3. Right then Return paste the second card's entry into the editor.
panel_hidden() { ! panel_shown; }
# Saves the editor's file (Control+S; again when the keystroke was lost) and
# compares what it holds.
saved_is() { timeout 5 "$control_key" 1 && [ "$(cat "$E2E_ROOT/target.txt")" = "$1" ]; }
# One wtype run for both keys: each run uploads a keymap of its own, and
# Xwayland's clients read a changed keymap from the server when they learn
# of the change, possibly after the next run has replaced it.
timeout 5 wtype -k Right -k Return
wait_for 5 panel_hidden || e2e_fail "Return left the panel up: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 5 editor_focused || e2e_fail "the editor did not get the keyboard back"
wait_for 10 saved_is copy-11 || e2e_fail "the editor's file holds '$(cat "$E2E_ROOT/target.txt")', not copy-11"

# 4. Closed without a choice: by Escape, by sway focusing the editor, by a
# click on the editor. A choice writes the clipboard (and logs it) before
# the panel goes, so once sway shows the panel gone and the editor in front,
# one write and one paste in the log (the Return's) mean nothing was pasted.
for how in escape focus click; do
  shortcut
  wait_for 5 sway_panel_ready || e2e_fail "the shortcut did not show the panel again ($how)"
  case $how in
    escape) timeout 5 wtype -k Escape ;;
    focus) timeout 5 swaymsg '[app_id=mousepad] focus' > /dev/null ;;
    click) timeout 5 swaymsg seat - cursor set 600 200 > /dev/null
           timeout 5 swaymsg seat - cursor press button1 > /dev/null
           timeout 5 swaymsg seat - cursor release button1 > /dev/null ;;
  esac
  e2e_closed_without_paste "$how"
done
wait_for 10 saved_is copy-11 || e2e_fail "the editor's file holds '$(cat "$E2E_ROOT/target.txt")' at the end"

echo "PASS"
