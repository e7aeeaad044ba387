#!/bin/bash
# The whole program under a real headless KWin (kwin_wayland --virtual), with
# real Wayland clients around it (wl-copy, mousepad on GTK's Wayland backend)
# and kelvo's own windows on KWin's Xwayland; keys, clicks, KWin's list of
# windows and screenshots through tests/e2e/kwin_session:
#  1. twelve copies made with wl-copy 0.15 s apart are twelve entries, in order;
#  2. the shortcut, pressed on KWin's keyboard, opens the panel, active, as
#     the bottom strip of the output (KWin's own list of windows says so),
#     and a screenshot (KWin's ScreenShot2) shows the cards;
#  3. Right then Return paste the second entry into the editor, whose saved
#     file then holds it;
#  4. the panel opened again and closed by Escape, by KWin activating the
#     editor, or by a click on the editor pastes nothing and gives the
#     keyboard back to the editor;
#  5. shown again as soon as it is gone, twenty times, it comes up and
#     fades in every time (the loss of the keyboard of a hiding, which
#     KWin's Xwayland may report after the next showing, closes nothing).
# KWin grants its interfaces and its bus to programs of its own user: under
# root everything runs as the user kelvo-test (tools/test.sh creates it).
# Usage: kde_panel.sh <kelvo executable> <kwin_session executable> <panel_latency executable>;
# KELVO_SCREENSHOT=<file> keeps the screenshot.
. "$(dirname "$0")/lib.sh"

kelvo=$1 session=${2:-} cycles=${3:-}
for p in "$kelvo" "$session" "$cycles"; do [ -x "$p" ] || e2e_fail "no such program: $p"; done
e2e_as_compositor_user "$0" "$kelvo" "$session" "$cycles"

e2e_start_kwin 170 "$kelvo" "$session"

# KWin's windows: "active pid x y width height title" each.
windows() { timeout 10 "$session" windows || echo "(kwin_session windows: status $?)" >&2; }
editor_focused() { windows | grep -q '^1 .*target\.txt'; }
kelvo_panel() { windows | awk '$NF == "Kelvo" && NF == 7 {print $1, $3, $4, $5, $6}'; }
panel_shown() { [ -n "$(kelvo_panel)" ]; }
panel_hidden() { ! panel_shown; }
# The panel in front, fade-in over (keys during a fade are not routed).
panel_ready() {
  local w
  w=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
  [ "$(kelvo_panel | cut -d' ' -f1)" = 1 ] && [ -n "$w" ] && xprop -id "$w" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}
keys() { timeout 5 "$session" keys "$@"; }
shortcut() { keys super+shift+v; }
# Saves the editor's file (again when the keystroke was lost) and compares
# what it holds.
saved_is() { keys ctrl+s && [ "$(cat "$E2E_ROOT/target.txt")" = "$1" ]; }

# The editor first, in front.
: > "$E2E_ROOT/target.txt"
timeout 160 mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
editor_timeout=$!
wait_for 20 editor_focused || e2e_fail "the editor did not come up: $(tail -n 3 "$E2E_ROOT/mousepad.log")"

e2e_start_kelvo "$kelvo" "Wayland (KWin)"
! grep -q 'does not grant' "$E2E_ROOT/kelvo.log" || e2e_fail "KWin withheld its interfaces: $(cat "$E2E_ROOT/kelvo.log")"

# 1. Twelve copies, in order.
e2e_twelve_copies

timeout 10 "$session" screenshot "$E2E_ROOT/before.png" || e2e_fail "no screenshot"
rss_before=$(e2e_resident "$kelvo_timeout")
# 2. The shortcut shows the panel: the bottom strip of the output (KWin's
# own list says so), active, showing the cards.
shortcut
wait_for 5 panel_shown || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 5 panel_ready || e2e_fail "the panel did not become active: $(windows | tr '\n' '|')"
read -r active x y width height <<< "$(kelvo_panel)"
read -r owidth oheight <<< "$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')"
[ "$x" = 0 ] && [ "$width" = "$owidth" ] && [ "$height" = 324 ] && [ $((y + height)) = "$oheight" ] ||
  e2e_fail "panel at ${width}x${height}+${x}+${y} on the output ${owidth}x${oheight}"
timeout 10 "$session" screenshot "$E2E_ROOT/panel.png" || e2e_fail "no screenshot"
echo "resident set: ${rss_before} kB before the first panel, $(e2e_resident "$kelvo_timeout") kB with it shown"
[ -n "${KELVO_SCREENSHOT:-}" ] && cp "$E2E_ROOT/panel.png" "$KELVO_SCREENSHOT"
# The strip now shows something else than the editor did: the cards.
e2e_strip_changed "$E2E_ROOT/before.png" "$E2E_ROOT/panel.png" "${width}x${height}+${x}+${y}"

# 3 and 4. Right then Return paste; then closed without a choice.
choose_second() { keys Right Return; }
windows_now() { windows | tr '\n' '|'; }
close_by() {
  case $1 in
    escape) keys Escape ;;
    focus) timeout 5 "$session" activate target.txt ;;
    click) timeout 5 "$session" click 600 200 ;;
  esac
}
e2e_choose_then_close

# 5. Twenty showings, each as soon as the last one is gone, with no other
# window to take the keyboard when the panel goes (KWin then tells Xwayland
# late).
kill "$editor_timeout"
wait_for 10 sh -c "! timeout 10 '$session' windows | grep -q target" || e2e_fail "the editor did not close"
timeout 120 "$cycles" 20 "$session" keys super+shift+v > "$E2E_ROOT/cycles.log" 2>&1 ||
  e2e_fail "a quick showing did not stay: $(cat "$E2E_ROOT/cycles.log")"
e2e_one_paste_only "after the showings"

echo "PASS"
