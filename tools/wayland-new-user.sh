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

E2E_ROOT=$(mktemp -d)
E2E_SWAY_DIR=$(mktemp -d /tmp/kelvo-sway-XXXXXX)
export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" HOME="$E2E_ROOT/home"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME"
stop_all() {
  local p
  for p in ${E2E_PIDS:-}; do kill "$p" 2> /dev/null; done
  [ -n "${E2E_SWAY:-}" ] && kill "$E2E_SWAY" 2> /dev/null
  wait 2> /dev/null
  if [ -n "${E2E_KEEP:-}" ]; then echo "kept $E2E_ROOT $E2E_SWAY_DIR"; else rm -rf "$E2E_ROOT" "$E2E_SWAY_DIR"; fi
}
trap stop_all EXIT

printf 'output HEADLESS-1 resolution 1280x800\ndefault_border none\n' > "$E2E_SWAY_DIR/config"
as_sway=()
if [ "$(id -u)" = 0 ]; then
  id kelvo-sway > /dev/null 2>&1 || e2e_fail "sway does not run as root and the user kelvo-sway is missing"
  chown -R kelvo-sway "$E2E_SWAY_DIR"
  as_sway=(runuser -u kelvo-sway --)
fi
chmod 0700 "$E2E_SWAY_DIR"
timeout -k 5 300 "${as_sway[@]}" env XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$E2E_SWAY_DIR/config" > "$E2E_ROOT/sway.log" 2>&1 &
E2E_SWAY=$!
wait_for 20 sh -c "ls '$E2E_SWAY_DIR'/sway-ipc.*.sock && test -S '$E2E_SWAY_DIR/wayland-1'" ||
  e2e_fail "sway did not start: $(tail -n 5 "$E2E_ROOT/sway.log")"
export WAYLAND_DISPLAY="$E2E_SWAY_DIR/wayland-1" SWAYSOCK=$(ls "$E2E_SWAY_DIR"/sway-ipc.*.sock | head -1)
export XDG_RUNTIME_DIR="$E2E_ROOT/run" GDK_BACKEND=wayland GSETTINGS_BACKEND=memory
mkdir -m 0700 "$XDG_RUNTIME_DIR"
wait_for 10 timeout 2 swaymsg -t get_version || e2e_fail "sway does not answer on $SWAYSOCK"
timeout 5 swaymsg exec "xhost +si:localuser:$(id -un) > /dev/null && echo \$DISPLAY > $E2E_SWAY_DIR/display" > /dev/null
wait_for 20 grep -q "^:" "$E2E_SWAY_DIR/display" || e2e_fail "sway's Xwayland did not come up"
export DISPLAY=$(cat "$E2E_SWAY_DIR/display")
wait_for 10 xdpyinfo || e2e_fail "Xwayland on $DISPLAY does not let $(id -un) in"

tree() { timeout 5 swaymsg -t get_tree; }
focused_app() { tree | jq -r '.. | objects | select(.focused? == true) | .app_id'; }
focused_is() { [ "$(focused_app)" = "$1" ]; }
panel() { tree | jq -r '.. | objects | select(.window_properties?.class? == "Kelvo" and .name == "Kelvo")
                        | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height) \(.window)"' | head -1; }
panel_ready() {
  local w
  w=$(tree | jq -r '.. | objects | select(.focused? == true and .window_properties?.class? == "Kelvo") | .window')
  [ -n "$w" ] && xprop -id "$w" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}
panel_hidden() { [ -z "$(panel)" ]; }
history_has() { grep -qF "$1" "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }
shortcut() { timeout 5 wtype -M logo -M shift v -m shift -m logo; }
# Control and a key position (0 A, 1 S, 3 F, 8 C) through a whole keyboard's keymap.
control() { timeout 5 "$control_key" "$1"; }
click() { # click <x> <y> [button1|button3]
  timeout 5 swaymsg seat - cursor set "$1" "$2" > /dev/null
  timeout 5 swaymsg seat - cursor press "${3:-button1}" > /dev/null
  timeout 5 swaymsg seat - cursor release "${3:-button1}" > /dev/null
}
# The panel strip as it looks once the picture has stopped changing (two
# screenshots in a row alike), different from $2 when given (more than a
# blinking caret); into $1.
strip_settled() {
  local last="$E2E_ROOT/last.png" now="$E2E_ROOT/now.png" n
  for ((n = 0; n < 50; n++)); do
    timeout 10 grim -g "0,476 1280x324" "$now" || e2e_fail "grim failed"
    if [ -f "$last" ] && [ "$(compare -metric AE "$last" "$now" null: 2>&1 | cut -d' ' -f1)" = 0 ] &&
       { [ -z "${2:-}" ] || [ "$(compare -metric AE "$2" "$now" null: 2>&1 | cut -d' ' -f1)" -gt 500 ]; }; then
      mv "$now" "$1"; rm -f "$last"; return 0
    fi
    mv "$now" "$last"
    sleep 0.1 # the poll interval, not a wait for the outcome
  done
  e2e_fail "the panel did not settle for $1"
}

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

# 2. Copies in a terminal: a shell in foot reads lines from a pipe and puts
# each on the clipboard with wl-copy, while foot has the focus.
mkfifo "$E2E_ROOT/lines"
timeout 280 foot -a foot sh -c "exec 3<> '$E2E_ROOT/lines'; while read -r l <&3; do printf %s \"\$l\" | wl-copy; done" \
  > "$E2E_ROOT/foot.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 20 focused_is foot || e2e_fail "foot did not come up: $(tail -n 3 "$E2E_ROOT/foot.log")"
for line in "https://wiki.example.org/wayland-notes" "ssh deploy@build-01.example.org" "git log --oneline -5"; do
  echo "$line" > "$E2E_ROOT/lines"
  wait_for 10 history_has "$line" || e2e_fail "the terminal's copy '$line' was not recorded"
done

# 3. Back to the editor (its text selected, to be replaced by the paste),
# then the panel.
timeout 5 swaymsg '[app_id=mousepad] focus' > /dev/null
wait_for 5 focused_is mousepad || e2e_fail "the editor did not come back to the front"
control 0
timeout 10 grim -g "0,476 1280x324" "$E2E_ROOT/before.png"
shortcut
wait_for 5 panel_ready || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
read -r x y width height window <<< "$(panel)"
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
