#!/bin/bash
# Kelvo used as a new user would under a headless sway: copies from two
# programs (mousepad on GTK's Wayland backend, and a shell in the foot
# terminal), the panel opened with the shortcut, a search typed into it, an
# entry pinned through its context menu, the pinned tab, and a paste into the
# editor. Screenshots of the panel strip go to docs/screenshots/
# (wayland-sway-*.png). Private XDG directories; nothing of the user's is
# touched. Every step waits for its outcome with a deadline.
# Usage: tools/wayland-new-user.sh [build directory, default build]
# Needs: sway, xwayland, foot, mousepad, wtype, grim, wl-clipboard, jq,
# imagemagick, x11-utils, x11-xserver-utils.
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tests/e2e/lib.sh"
build=$(cd "${1:-$root/build}" && pwd)
kelvo="$build/src/app/kelvo" control_key="$build/tests/e2e/wayland_control_key"
[ -x "$kelvo" ] && [ -x "$control_key" ] || e2e_fail "build kelvo and wayland_control_key in $build first"
out="$root/docs/screenshots"

e2e_start_sway 300

focused_app() { sway_tree | jq -r '.. | objects | select(.focused? == true) | .app_id'; }
focused_is() { [ "$(focused_app)" = "$1" ]; }
panel_hidden() { [ -z "$(sway_panel)" ]; }
history_has() { grep -qF "$1" "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }
shortcut() { timeout 5 wtype -M logo -M shift v -m shift -m logo; }
# Control and a key position (0 A, 1 S, 3 F, 8 C) through a whole keyboard's keymap.
control() { timeout 5 "$control_key" "$1"; }
click() { # click <x> <y> [button1|button3]
  timeout 5 swaymsg seat - cursor set "$1" "$2" > /dev/null
  timeout 5 swaymsg seat - cursor press "${3:-button1}" > /dev/null
  timeout 5 swaymsg seat - cursor release "${3:-button1}" > /dev/null
}
# The panel strip (the bottom 324 rows of the 1280x800 output).
strip_shot() { timeout 10 grim -g "0,476 1280x324" "$1"; }
strip_settled() { e2e_strip_settled strip_shot "$@"; }

# The editor, with a line typed into it.
: > "$E2E_ROOT/notes.txt"
timeout 280 mousepad "$E2E_ROOT/notes.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 focused_is mousepad || e2e_fail "the editor did not come up"
# A session bus of its own, for the command line (kelvo pin).
timeout 300 dbus-daemon --session --nofork --address="unix:path=$E2E_ROOT/bus" > /dev/null 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_ROOT/bus"
wait_for 10 test -S "$E2E_ROOT/bus" || e2e_fail "no session bus"
timeout 280 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 15 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"
typed_is() { control 1 && [ "$(cat "$E2E_ROOT/notes.txt")" = "$1" ]; }

# 1. Copy in the editor: type, select all, Control+C.
note="Quarterly plan: ship the Wayland build"
timeout 10 wtype "$note"
wait_for 10 typed_is "$note" || e2e_fail "the editor holds '$(cat "$E2E_ROOT/notes.txt")'"
copied_in_editor() { control 0 && control 8 && history_has "$note"; }
wait_for 15 copied_in_editor || e2e_fail "the editor's copy was not recorded: $(cat "$E2E_ROOT/kelvo.log")"

# 2. Copies in a terminal: a shell in foot puts lines on the clipboard with
# wl-copy, while foot has the focus.
e2e_copies_in_foot "https://wiki.example.org/wayland-notes" "ssh deploy@build-01.example.org" "git log --oneline -5"

# 3. Back to the editor (its text selected, to be replaced by the paste),
# then the panel.
timeout 5 swaymsg '[app_id=mousepad] focus' > /dev/null
wait_for 5 focused_is mousepad || e2e_fail "the editor did not come back to the front"
control 0
strip_shot "$E2E_ROOT/before.png"
shortcut
wait_for 5 sway_panel_ready || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
read -r x y width height window <<< "$(sway_panel)"
[ "$x $y $width $height" = "0 476 1280 324" ] || e2e_fail "panel at ${width}x${height}+${x}+${y}"
strip_settled "$E2E_ROOT/history.png" "$E2E_ROOT/before.png"

# 4. A search: Control+F, then a word (one wtype run: one keymap).
timeout 5 wtype -M ctrl f -m ctrl wayland
strip_settled "$E2E_ROOT/search.png" "$E2E_ROOT/history.png"

# 5. Pin the terminal's address (the third of the history, newest first) and
# switch to the pinned tab with Tab. A right click on a card (its context
# menu) did not reach the panel through sway's seat commands on the headless
# seat, which has no pointer device; the command line pins instead.
timeout 10 "$kelvo" pin 3 || e2e_fail "kelvo pin failed"
timeout 5 wtype -k Tab
strip_settled "$E2E_ROOT/pinned.png" "$E2E_ROOT/search.png"

# 6. Return pastes the pinned address into the editor, replacing its text.
timeout 5 wtype -k Return
wait_for 5 panel_hidden || e2e_fail "Return left the panel up"
wait_for 5 focused_is mousepad || e2e_fail "the editor did not get the keyboard back"
wait_for 10 typed_is "https://wiki.example.org/wayland-notes" ||
  e2e_fail "the editor holds '$(cat "$E2E_ROOT/notes.txt")' after the paste"
grep -q '⌘V' "$E2E_ROOT/kelvo.log" || e2e_fail "no paste keystroke logged"

for shot in history search pinned; do
  convert "$E2E_ROOT/$shot.png" -strip "$out/wayland-sway-$shot.png"
done
echo "PASS: screenshots in $out/wayland-sway-{history,search,pinned}.png"
