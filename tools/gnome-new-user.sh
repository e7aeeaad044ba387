#!/bin/bash
# Kelvo used as a new user would under a headless GNOME Shell with Kelvo's
# extension: copies from two programs (mousepad on GTK's Wayland backend, a
# shell in the foot terminal), the panel opened with the shortcut, a search
# typed into it, an entry pinned through its context menu (a right click),
# the pinned tab, and a paste into the editor; the top bar's menu opened.
# Screenshots go to docs/screenshots/gnome-*.png. Private XDG directories;
# nothing of the user's is touched. Keys, clicks and screenshots come from
# the tests' helper extension. Every step waits for its outcome with a
# deadline.
# Usage: tools/gnome-new-user.sh [build directory, default build]
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tests/e2e/lib.sh"
build=$(cd "${1:-$root/build}" && pwd)
kelvo="$build/src/app/kelvo"
[ -x "$kelvo" ] || e2e_fail "build kelvo in $build first"
out="$root/docs/screenshots"

e2e_start_gnome 300 "$build/src/platform/gnome/kelvo@kelvo.github.io" "$build/tests/gnome/kelvo-test-helper@kelvo.github.io"

focused_is() { [ "$(gnome_focused_class)" = "$1" ]; }
panel_hidden() { ! gnome_windows | grep -q '"title":"Kelvo"'; }
panel_ready() { gnome_windows | jq -s -e 'any(.title == "Kelvo" and .focused and .y == 476)' > /dev/null; }
history_has() { grep -qF "$1" "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }
type_text() { local c; for c in $(echo "$1" | grep -o .); do gnome_keys "$c"; done; }
click() { gnome_helper Click "$1.0" "$2.0" "${3:-1}" > /dev/null; }
# The screen once it has stopped changing (and differs from $2 when given);
# into $1.
screen_shot() { gnome_helper Screenshot "'$E2E_GNOME_DIR/shots/now.png'" | grep -q true && cp "$E2E_GNOME_DIR/shots/now.png" "$1"; }
settled() { e2e_strip_settled screen_shot "$@"; }

# 1. Copy in the editor: a line of its file, all selected, Control+C.
note="Quarterly plan: ship the GNOME build"
printf '%s' "$note" > "$E2E_ROOT/notes.txt"
timeout 280 mousepad "$E2E_ROOT/notes.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 focused_is mousepad || e2e_fail "the editor did not come up"
timeout 280 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 15 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"
copied_in_editor() { gnome_keys Control_L a && gnome_keys Control_L c && history_has "$note"; }
wait_for 20 copied_in_editor || e2e_fail "the editor's copy was not recorded: $(cat "$E2E_ROOT/kelvo.log")"

# 2. Copies in a terminal: a shell in foot puts lines on the clipboard with
# wl-copy, while foot has the focus.
e2e_copies_in_foot "https://wiki.example.org/gnome-notes" "ssh deploy@build-01.example.org" "git log --oneline -5"

# 3. Kelvo's menu in the top bar (no tray in vanilla GNOME): its pause item
# greys the symbol; resumed from the command line.
settled "$E2E_ROOT/desktop.png"
click 1199 16
settled "$E2E_ROOT/menu.png" "$E2E_ROOT/desktop.png"
click 1120 162
paused() { timeout 5 "$kelvo" status | grep -q '^capture: paused'; }
wait_for 10 paused || e2e_fail "the menu's pause item did not pause: $(timeout 5 "$kelvo" status)"
settled "$E2E_ROOT/paused.png" "$E2E_ROOT/menu.png"
timeout 5 "$kelvo" resume

# 4. Back to the editor (its text selected, to be replaced by the paste),
# then the panel.
gnome_helper Activate "'mousepad'" > /dev/null
wait_for 10 focused_is mousepad || e2e_fail "the editor did not come back to the front"
gnome_keys Control_L a
settled "$E2E_ROOT/before.png"
gnome_keys Super_L Shift_L v
wait_for 15 panel_ready || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
settled "$E2E_ROOT/history.png" "$E2E_ROOT/before.png"

# 5. Pin the terminal's address (the third card, newest first) through its
# context menu: a right click, then its first item.
click 512 650 3
settled "$E2E_ROOT/context.png" "$E2E_ROOT/history.png"
click 540 667
pinned() { timeout 5 "$kelvo" list --pinned | grep -q gnome-notes; }
wait_for 10 pinned || e2e_fail "the context menu did not pin the address"

# 6. A search: Control+F, then a word.
settled "$E2E_ROOT/pinned-history.png" "$E2E_ROOT/context.png"
gnome_keys Control_L f
type_text gnome
settled "$E2E_ROOT/search.png" "$E2E_ROOT/pinned-history.png"

# 7. Closed with Escape, opened again: the pinned tab (Tab), and Return
# pastes the pinned address into the editor, replacing its text.
gnome_keys Escape
wait_for 10 panel_hidden || e2e_fail "Escape left the panel up"
gnome_keys Super_L Shift_L v
wait_for 15 panel_ready || e2e_fail "the shortcut did not show the panel again"
gnome_keys Tab
settled "$E2E_ROOT/pinned.png" "$E2E_ROOT/search.png"
gnome_keys Return
wait_for 10 panel_hidden || e2e_fail "Return left the panel up"
wait_for 10 focused_is mousepad || e2e_fail "the editor did not get the keyboard back"
saved_is() { gnome_keys Control_L s && [ "$(cat "$E2E_ROOT/notes.txt")" = "$1" ]; }
wait_for 20 saved_is "https://wiki.example.org/gnome-notes" ||
  e2e_fail "the editor holds '$(cat "$E2E_ROOT/notes.txt")' after the paste"

convert "$E2E_ROOT/menu.png" -crop 500x330+780+0 +repage -strip "$out/gnome-top-bar-menu.png"
convert "$E2E_ROOT/paused.png" -crop 200x32+1080+0 +repage -strip "$out/gnome-top-bar-paused.png"
for shot in history context search pinned; do
  convert "$E2E_ROOT/$shot.png" -crop 1280x324+0+476 +repage -strip "$out/gnome-$shot.png"
done
echo "PASS: screenshots in $out/gnome-{top-bar-menu,top-bar-paused,history,context,search,pinned}.png"
