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
: > "$E2E_ROOT/target.txt"
timeout 160 mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 editor_focused || e2e_fail "the editor did not come up: $(tail -n 3 "$E2E_ROOT/mousepad.log")"

e2e_start_kelvo "$kelvo" "Wayland (sway)"

# 1. Twelve copies, in order.
e2e_twelve_copies

timeout 10 grim "$E2E_ROOT/before.png" || e2e_fail "grim failed"

rss_before=$(e2e_resident "$kelvo_timeout")
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
echo "resident set: ${rss_before} kB before the first panel, $(e2e_resident "$kelvo_timeout") kB with it shown"
[ -n "${KELVO_SCREENSHOT:-}" ] && cp "$E2E_ROOT/panel.png" "$KELVO_SCREENSHOT"
# The strip now shows something else than the editor did: the cards.
e2e_strip_changed "$E2E_ROOT/before.png" "$E2E_ROOT/panel.png" "${width}x${height}+${x}+${y}"

# 3 and 4. Right then Return paste; then closed without a choice.
panel_hidden() { ! panel_shown; }
# Saves the editor's file (Control+S; again when the keystroke was lost) and
# compares what it holds.
saved_is() { timeout 5 "$control_key" 1 && [ "$(cat "$E2E_ROOT/target.txt")" = "$1" ]; }
# One wtype run for both keys: each run uploads a keymap of its own, and
# Xwayland's clients read a changed keymap from the server when they learn
# of the change, possibly after the next run has replaced it.
choose_second() { timeout 5 wtype -k Right -k Return; }
panel_ready() { sway_panel_ready; }
windows_now() { sway_tree | jq -c '.. | objects | select(.focused? == true) | .name'; }
close_by() {
  case $1 in
    escape) timeout 5 wtype -k Escape ;;
    focus) timeout 5 swaymsg '[app_id=mousepad] focus' > /dev/null ;;
    click) timeout 5 swaymsg seat - cursor set 600 200 > /dev/null
           timeout 5 swaymsg seat - cursor press button1 > /dev/null
           timeout 5 swaymsg seat - cursor release button1 > /dev/null ;;
  esac
}
e2e_choose_then_close

echo "PASS"
