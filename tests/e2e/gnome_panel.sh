#!/bin/bash
# The whole program under a real headless GNOME Shell with Kelvo's extension,
# real Wayland clients around it (wl-copy, mousepad on GTK's Wayland backend)
# and kelvo's own windows on the shell's Xwayland; keys and screenshots come
# from the tests' helper extension:
#  1. twelve copies made with wl-copy 0.15 s apart are twelve entries, in
#     order, each naming the editor in front as its source;
#  2. the shortcut opens the panel as the bottom strip of the monitor, above
#     the others, on every workspace, with the keyboard, and a screenshot
#     shows the cards;
#  3. Right then Return paste the second entry into the editor, whose saved
#     file then holds it;
#  4. the panel opened again and closed by Escape, by the shell focusing the
#     editor or by a click on it pastes nothing and gives the editor the
#     keyboard back.
# Usage: gnome_panel.sh <kelvo> <Kelvo's extension folder> <helper extension
# folder>; KELVO_SCREENSHOT=<file> keeps the screenshot.
. "$(dirname "$0")/lib.sh"

kelvo=$1 extension=${2:-} helper=${3:-}
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
[ -f "$extension/metadata.json" ] && [ -f "$helper/metadata.json" ] || e2e_fail "no extensions at '$extension' and '$helper'"

e2e_start_gnome 170 "$extension" "$helper"

shortcut() { gnome_keys Super_L Shift_L v; }
panel() { gnome_windows | jq -c 'select(.title == "Kelvo" and .pid == '"$kelvo_pid"')'; }
panel_shown() { [ -n "$(panel)" ]; }
panel_hidden() { ! panel_shown; }
editor_focused() { [ "$(gnome_focused_class)" = mousepad ]; }
# In front with the keyboard and its fade-in over (keys during a fade are
# not routed).
panel_ready() {
  local w
  [ "$(panel | jq -r .focused)" = true ] && w=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1) &&
    xprop -id "$w" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}
screenshot() { gnome_helper Screenshot "'$E2E_GNOME_DIR/shots/$1'" | grep -q true && cp "$E2E_GNOME_DIR/shots/$1" "$E2E_ROOT/$1"; }

# The editor first, in front.
: > "$E2E_ROOT/target.txt"
timeout 160 mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 editor_focused || e2e_fail "the editor did not come up: $(tail -n 3 "$E2E_ROOT/mousepad.log")"

e2e_start_kelvo "$kelvo" "Wayland (GNOME Shell)"
kelvo_pid=$(pgrep -P "$kelvo_timeout" | head -1)
status=$(timeout 10 "$kelvo" status | grep '^platform:')
[ "$status" = "platform: wayland (gnome shell)" ] || e2e_fail "kelvo status says '$status'"

# 1. Twelve copies, twelve entries in order.
e2e_twelve_copies
sources=$(timeout 10 "$kelvo" list --json | jq -r '.[] | select(.preview | startswith("copy-")) | .sourceAppName' | sort -u)
[ "$sources" = Mousepad ] || e2e_fail "the copies name '$sources' as their source, not the editor in front"

screenshot before.png || e2e_fail "no screenshot"

# 2. The shortcut shows the panel: the monitor's bottom strip, above the
# others, on every workspace, with the keyboard, showing the cards.
shortcut
wait_for 15 panel_shown || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 15 panel_ready || e2e_fail "the panel did not take the keyboard: $(gnome_windows)"
read -r x y width height above sticky <<< "$(panel | jq -r '"\(.x) \(.y) \(.width) \(.height) \(.above) \(.sticky)"')"
[ "$x $width $height $((y + height)) $above $sticky" = "0 1280 324 800 true true" ] ||
  e2e_fail "panel at ${width}x${height}+${x}+${y} (above $above, on every workspace $sticky) on the 1280x800 monitor"
screenshot panel.png || e2e_fail "no screenshot"
[ -n "${KELVO_SCREENSHOT:-}" ] && cp "$E2E_ROOT/panel.png" "$KELVO_SCREENSHOT"
# The strip now shows something else than the editor did: the cards.
e2e_strip_changed "$E2E_ROOT/before.png" "$E2E_ROOT/panel.png" "${width}x${height}+${x}+${y}"

# 3 and 4. Right then Return paste; then closed without a choice.
# Saves the editor's file (Control+S; again when the keystroke was lost) and
# compares what it holds.
saved_is() { gnome_keys Control_L s && [ "$(cat "$E2E_ROOT/target.txt")" = "$1" ]; }
choose_second() { gnome_keys Right && gnome_keys Return; }
windows_now() { gnome_windows | tr '\n' ' '; }
close_by() {
  case $1 in
    escape) gnome_keys Escape ;;
    focus) gnome_helper Activate "'mousepad'" > /dev/null ;;
    click) gnome_helper Click 640.0 200.0 1 > /dev/null ;;
  esac
}
e2e_choose_then_close

echo "PASS"
