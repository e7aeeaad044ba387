#!/bin/bash
# Kelvo used as a new user would under a headless KWin (KDE Plasma's
# compositor): copies from two programs (mousepad and galculator, both on
# GTK's Wayland backend), the panel opened with the shortcut, a search typed
# into it, an entry pinned through its context menu (a right click), the
# pinned tab, and a paste into the editor. Keys, clicks and screenshots go
# through KWin's own interfaces (tests/e2e/kwin_session). Screenshots of the
# panel strip go to docs/screenshots/ (kde-*.png). Private XDG directories
# and a KWin of its own; nothing of the user's is touched. Every step waits
# for its outcome with a deadline. Under root it runs as the user kelvo-test.
# Usage: tools/kde-new-user.sh [build directory, default build]
# Needs: kwin-wayland, mousepad, galculator, wl-clipboard, imagemagick,
# x11-utils, xdotool.
here="$(cd "$(dirname "$0")" && pwd)"
lib="$here/lib.sh"
[ -f "$lib" ] || lib="$here/../tests/e2e/lib.sh"
. "$lib"
if [ -z "${E2E_AS_USER:-}" ]; then
  build=$(cd "${1:-$here/../build}" && pwd)
  kelvo="$build/src/app/kelvo" session="$build/tests/e2e/kwin_session"
  [ -x "$kelvo" ] && [ -x "$session" ] || e2e_fail "build kelvo and kwin_session in $build first"
  export KELVO_OUT_DIR="${KELVO_OUT_DIR:-$here/../docs/screenshots}"
  e2e_as_compositor_user "$0" "$kelvo" "$session"
else
  kelvo=$1 session=$2
fi

e2e_start_kwin 300 "$kelvo" "$session"

keys() { timeout 5 "$session" keys "$@"; }
type_text() { timeout 20 "$session" type "$1"; }
# The title of the window KWin has active.
front() { timeout 5 "$session" windows | awk '$1 == 1 {for (i = 7; i <= NF; i++) printf "%s%s", $i, (i < NF ? " " : "\n")}'; }
front_has() { front | grep -qF "$1"; }
panel_hidden() { ! timeout 5 "$session" windows | grep -q ' Kelvo$'; }
history_has() { grep -qF "$1" "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }
saved_is() { keys ctrl+s && [ "$(cat "$E2E_ROOT/notes.txt")" = "$1" ]; }
# The panel strip (the bottom 324 rows of the 1280x800 output).
strip_shot() {
  timeout 10 "$session" screenshot "$1.whole.png" && convert "$1.whole.png" -crop 1280x324+0+476 +repage "$1"
}

# The editor, and Kelvo.
: > "$E2E_ROOT/notes.txt"
timeout 280 mousepad "$E2E_ROOT/notes.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 front_has notes.txt || e2e_fail "the editor did not come up"
timeout 280 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 15 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"

# 1. Two copies in the editor: a line typed, selected and copied, then an
# address typed over it and copied.
note="Quarterly plan: ship the KDE build"
address="https://wiki.example.org/kde-notes"
for text in "$note" "$address"; do
  keys ctrl+a
  type_text "$text"
  wait_for 10 saved_is "$text" || e2e_fail "the editor holds '$(cat "$E2E_ROOT/notes.txt")'"
  copied() { keys ctrl+a ctrl+c && history_has "$text"; }
  wait_for 15 copied || e2e_fail "the editor's copy of '$text' was not recorded: $(cat "$E2E_ROOT/kelvo.log")"
done

# 2. A copy in a calculator: a number typed, Control+C copies what it shows.
timeout 280 galculator > "$E2E_ROOT/galculator.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 20 front_has alculator || e2e_fail "galculator did not come up: $(front)"
# The calculator takes a key while the previous one's button shows it
# pressed only: typed at a person's pace.
for digit in 1 0 2 4; do
  keys "$digit"
  sleep 0.15 # the pace of the typing, not a wait for an outcome
done
calculated() { keys ctrl+c && history_has '"1024"'; }
wait_for 15 calculated || e2e_fail "the calculator's copy was not recorded"

# 3. Back to the editor (its text selected, to be replaced by the paste),
# then the panel.
timeout 10 "$session" activate notes.txt || e2e_fail "the editor did not come back to the front"
keys ctrl+a
strip_shot "$E2E_ROOT/before.png" || e2e_fail "no screenshot"
keys super+shift+v
wait_for 5 front_has Kelvo || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
e2e_strip_settled strip_shot "$E2E_ROOT/history.png" "$E2E_ROOT/before.png"

# 4. A search: Control+F, then a word.
keys ctrl+f
type_text "wiki"
e2e_strip_settled strip_shot "$E2E_ROOT/search.png" "$E2E_ROOT/history.png"

# 5. Pin the address (the one card left) through its context menu: a right
# click on the card, then the menu's first item, "固定".
timeout 5 "$session" click 110 650 right || e2e_fail "no click"
e2e_strip_settled strip_shot "$E2E_ROOT/menu.png" "$E2E_ROOT/search.png"
keys Down Return
pinned() { [ "$(timeout 5 "$kelvo" list --pinned)" = "$(printf '1\turl\t%s' "$address")" ]; }
wait_for 10 pinned || e2e_fail "nothing was pinned: $(timeout 5 "$kelvo" list --pinned)"
keys Tab
e2e_strip_settled strip_shot "$E2E_ROOT/pinned.png" "$E2E_ROOT/menu.png"

# 6. Return pastes the pinned address into the editor, replacing its text.
keys Return
wait_for 5 panel_hidden || e2e_fail "Return left the panel up"
wait_for 5 front_has notes.txt || e2e_fail "the editor did not get the keyboard back"
wait_for 10 saved_is "$address" || e2e_fail "the editor holds '$(cat "$E2E_ROOT/notes.txt")' after the paste"

for shot in history search menu pinned; do
  convert "$E2E_ROOT/$shot.png" -strip "$KELVO_OUT_DIR/kde-$shot.png"
done
echo "PASS: screenshots kde-{history,search,menu,pinned}.png"
