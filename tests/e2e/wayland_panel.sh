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
# sway refuses to run as root: under root it runs as the user kelvo-sway
# (CI creates it), which also lets root's clients into its Xwayland.
# Usage: wayland_panel.sh <kelvo executable> <wayland_control_key executable>;
# KELVO_SCREENSHOT=<file> keeps the screenshot.
. "$(dirname "$0")/lib.sh"

kelvo=$1 control_key=${2:-}
[ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
[ -x "$control_key" ] || e2e_fail "no such program: $control_key"

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
timeout -k 5 170 "${as_sway[@]}" env XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$E2E_SWAY_DIR/config" > "$E2E_ROOT/sway.log" 2>&1 &
E2E_SWAY=$!
wait_for 20 sh -c "ls '$E2E_SWAY_DIR'/sway-ipc.*.sock && test -S '$E2E_SWAY_DIR/wayland-1'" ||
  e2e_fail "sway did not start: $(tail -n 5 "$E2E_ROOT/sway.log")"
export WAYLAND_DISPLAY="$E2E_SWAY_DIR/wayland-1" SWAYSOCK=$(ls "$E2E_SWAY_DIR"/sway-ipc.*.sock | head -1)
export XDG_RUNTIME_DIR="$E2E_ROOT/run" GDK_BACKEND=wayland GSETTINGS_BACKEND=memory
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# sway's Xwayland serves only its own user: let this one in, and learn its
# display, from a command sway runs.
timeout 5 swaymsg exec "xhost +si:localuser:$(id -un) > /dev/null && echo \$DISPLAY > $E2E_SWAY_DIR/display" > /dev/null
wait_for 20 grep -q "^:" "$E2E_SWAY_DIR/display" || e2e_fail "sway's Xwayland did not come up"
export DISPLAY=$(cat "$E2E_SWAY_DIR/display")
wait_for 10 xdpyinfo || e2e_fail "Xwayland on $DISPLAY does not let $(id -un) in"

tree() { timeout 5 swaymsg -t get_tree; }
# Whether the editor has the focus.
editor_focused() { [ "$(tree | jq -r '.. | objects | select(.focused? == true) | .app_id')" = mousepad ]; }
# The panel as sway sees it: "x y width height X11-window", empty when unmapped.
panel() { tree | jq -r '.. | objects | select(.window_properties?.class? == "Kelvo" and .name == "Kelvo")
                        | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height) \(.window)"' | head -1; }
panel_shown() { [ -n "$(panel)" ]; }
# In front, with the keyboard, fade-in over (keys during a fade are not routed).
panel_ready() {
  local w
  w=$(tree | jq -r '.. | objects | select(.focused? == true and .window_properties?.class? == "Kelvo") | .window')
  [ -n "$w" ] && xprop -id "$w" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}
entries() { grep -o '"_0":"copy-[0-9]*"' "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }
shortcut() { timeout 5 wtype -M logo -M shift v -m shift -m logo; }

# The editor first, in front.
: > "$E2E_ROOT/target.txt"
timeout 160 mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$!"
wait_for 20 editor_focused || e2e_fail "the editor did not come up: $(tail -n 3 "$E2E_ROOT/mousepad.log")"

timeout 160 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
kelvo_timeout=$!
# Resident set of kelvo (a figure for the notes, not a check).
resident() { awk '/VmRSS/{print $2}' "/proc/$(pgrep -P "$kelvo_timeout" | head -1)/status"; }
wait_for 15 grep -q 'Desktop platform: Wayland' "$E2E_ROOT/kelvo.log" ||
  e2e_fail "kelvo did not start on Wayland: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 10 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"

# kelvo watches the clipboard once it records a copy (what is on the
# clipboard at its start is not a copy): copy until one is recorded.
recorded() { printf 'warm-up' | timeout 5 wl-copy && grep -q warm-up "$XDG_DATA_HOME/Kelvo/clipboard_history.json"; }
wait_for 20 recorded || e2e_fail "kelvo records no copies: $(cat "$E2E_ROOT/kelvo.log")"

# 1. Twelve copies, 0.15 s apart (the pace of the copies, not a wait).
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
  printf 'copy-%s' "$i" | timeout 5 wl-copy
  sleep 0.15
done
twelve() { [ "$(entries | wc -l)" = 12 ]; }
wait_for 10 twelve || e2e_fail "$(entries | wc -l) entries after twelve copies: $(entries | tr '\n' ' ')"
expected=$(for i in 12 11 10 09 08 07 06 05 04 03 02 01; do echo "\"_0\":\"copy-$i\""; done)
[ "$(entries)" = "$expected" ] || e2e_fail "entries out of order: $(entries | tr '\n' ' ')"

timeout 10 grim "$E2E_ROOT/before.png" || e2e_fail "grim failed"

rss_before=$(resident)
# 2. The shortcut shows the panel: the bottom strip of the output (sway's
# own tree says so), in front with the keyboard, showing the cards.
shortcut
wait_for 5 panel_shown || e2e_fail "the shortcut did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
wait_for 5 panel_ready || e2e_fail "the panel did not take the keyboard: $(tree | jq -c '.. | objects | select(.focused? == true) | .name')"
read -r x y width height window <<< "$(panel)"
output=$(timeout 5 swaymsg -t get_outputs | jq -r '.[] | select(.focused) | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"')
read -r ox oy owidth oheight <<< "$output"
[ "$x" = "$ox" ] && [ "$width" = "$owidth" ] && [ "$height" = 324 ] && [ $((y + height)) = $((oy + oheight)) ] ||
  e2e_fail "panel at ${width}x${height}+${x}+${y} on the output ${owidth}x${oheight}+${ox}+${oy}"
timeout 10 grim "$E2E_ROOT/panel.png" || e2e_fail "grim failed"
echo "resident set: ${rss_before} kB before the first panel, $(resident) kB with it shown"
[ -n "${KELVO_SCREENSHOT:-}" ] && cp "$E2E_ROOT/panel.png" "$KELVO_SCREENSHOT"
# The strip now shows something else than the editor did: the cards.
crop="${width}x${height}+${x}+${y}"
convert "$E2E_ROOT/before.png" -crop "$crop" +repage "$E2E_ROOT/before-strip.png"
convert "$E2E_ROOT/panel.png" -crop "$crop" +repage "$E2E_ROOT/panel-strip.png"
changed=$(compare -metric AE "$E2E_ROOT/before-strip.png" "$E2E_ROOT/panel-strip.png" null: 2>&1 | cut -d' ' -f1)
[ "${changed%.*}" -gt $((width * height / 2)) ] || e2e_fail "the screenshot's bottom strip barely changed ($changed pixels)"

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
writes() { grep -c '已写入剪贴板' "$E2E_ROOT/kelvo.log"; }
pastes() { grep -c '⌘V' "$E2E_ROOT/kelvo.log"; }
for how in escape focus click; do
  shortcut
  wait_for 5 panel_ready || e2e_fail "the shortcut did not show the panel again ($how)"
  case $how in
    escape) timeout 5 wtype -k Escape ;;
    focus) timeout 5 swaymsg '[app_id=mousepad] focus' > /dev/null ;;
    click) timeout 5 swaymsg seat - cursor set 600 200 > /dev/null
           timeout 5 swaymsg seat - cursor press button1 > /dev/null
           timeout 5 swaymsg seat - cursor release button1 > /dev/null ;;
  esac
  wait_for 5 panel_hidden || e2e_fail "the panel stayed up after $how"
  wait_for 5 editor_focused || e2e_fail "the editor did not get the keyboard back after $how"
  [ "$(writes) $(pastes)" = "1 1" ] || e2e_fail "after $how: $(writes) clipboard writes, $(pastes) pastes"
done
wait_for 10 saved_is copy-11 || e2e_fail "the editor's file holds '$(cat "$E2E_ROOT/target.txt")' at the end"

echo "PASS"
