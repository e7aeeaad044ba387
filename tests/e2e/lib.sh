# Shared by the end-to-end scripts: a private X server with a window
# manager, private XDG directories, and waiting helpers.
set -u
# The scripts look for windows by titles that are not ASCII, and xdotool
# reads titles in the locale's character set: UTF-8 whatever the caller's
# locale (a fresh machine's is often POSIX); the language stays the caller's.
[ "$(locale charmap 2> /dev/null)" = UTF-8 ] || export LC_CTYPE=C.UTF-8

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# wait_for <seconds> <command...>: polls every 0.1 s.
wait_for() {
  local limit=$(( $1 * 10 )); shift
  for ((n = 0; n < limit; n++)); do
    "$@" > /dev/null 2>&1 && return 0
    sleep 0.1 # the poll interval, not a wait for the outcome
  done
  return 1
}

e2e_start_desktop() {
  E2E_ROOT=$(mktemp -d)
  export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" XDG_RUNTIME_DIR="$E2E_ROOT/run"
  export HOME="$E2E_ROOT/home"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME"
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  trap e2e_stop_desktop EXIT
  e2e_start_xvfb
  e2e_start_wm
}

# A private X server (its files in $E2E_ROOT): sets E2E_XVFB and DISPLAY.
# The server takes the first free display itself and writes its number
# once it accepts clients: no race with other servers starting meanwhile.
e2e_start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3> "$E2E_ROOT/display" > "$E2E_ROOT/xvfb.log" 2>&1 &
  E2E_XVFB=$!
  wait_for 10 grep -q '^[0-9]' "$E2E_ROOT/display" || e2e_fail "Xvfb did not start: $(cat "$E2E_ROOT/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$E2E_ROOT/display")"
  wait_for 10 xdpyinfo || e2e_fail "Xvfb does not answer on $DISPLAY"
}

# openbox, up once it announces _NET_ACTIVE_WINDOW (what xdotool needs).
# A start right after another test's server went away can fail to open the
# display; a second start then succeeds.
e2e_start_wm() {
  local try
  for try in 1 2 3; do
    openbox >> "$E2E_ROOT/openbox.log" 2>&1 &
    E2E_WM=$!
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW' && return 0
    kill "$E2E_WM" 2> /dev/null
  done
  e2e_fail "openbox did not start: $(cat "$E2E_ROOT/openbox.log")"
}

# Starts openbox again if it has gone, saying so: the flow is about kelvo,
# not about the window manager staying up.
e2e_ensure_wm() {
  kill -0 "$E2E_WM" 2> /dev/null && return 0
  local status=0
  wait "$E2E_WM" 2> /dev/null || status=$?
  echo "note: openbox had exited (status $status): $(tail -n 3 "$E2E_ROOT/openbox.log" | tr '\n' ' ')" >&2
  e2e_start_wm
}

e2e_stop_desktop() {
  local p
  for p in ${E2E_PIDS:-} ${E2E_WM:-} ${E2E_XVFB:-}; do kill "$p" 2> /dev/null; done
  wait 2> /dev/null
  [ -n "${E2E_KEEP:-}" ] && echo "kept $E2E_ROOT" || rm -rf "$E2E_ROOT"
}

# Puts text on CLIPBOARD with xclip, which keeps serving it in the background.
e2e_copy() {
  printf '%s' "$1" | xclip -selection clipboard -t "${2:-UTF8_STRING}" -i &
  E2E_PIDS="${E2E_PIDS:-} $!"
}

e2e_history() { echo "$XDG_DATA_HOME/Kelvo/clipboard_history.json"; }

# The paste target's window, for the helpers below: set `editor` to its id.
# The editor is the active window and has the keyboard.
editor_in_front() {
  [ "$(xdotool getactivewindow 2> /dev/null)" = "$editor" ] && [ "$(xdotool getwindowfocus 2> /dev/null)" = "$editor" ]
}
# Whether the editor's text was changed: its title then starts with "*".
editor_modified() { case "$(xdotool getwindowname "$editor")" in '*'*) return 0 ;; *) return 1 ;; esac; }
# Asks for the editor until it is in front: a request made before the window
# manager has taken a new window on, or while it is still moving the focus,
# is dropped.
focus_editor() {
  e2e_ensure_wm
  local try
  for try in 1 2 3 4 5 6 7 8 9 10; do
    xdotool windowactivate "$editor" 2> /dev/null
    wait_for 1 editor_in_front && return 0
  done
  e2e_fail "the editor ($editor) did not take the focus ${1:-}; active: $(xdotool getactivewindow getwindowname 2>&1 | tr '\n' ' '); windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>&1 | tr '\n' '|')"
}

panel_shown() { xdotool search --onlyvisible --name '^Kelvo$' > /dev/null 2>&1; }
# The panel takes keys once it is in front and its fade-in has ended (keys
# during a fade are not routed): fully opaque.
panel_ready() {
  local p
  p=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
  [ -n "$p" ] && [ "$(xdotool getactivewindow)" = "$p" ] &&
    xprop -id "$p" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}

# e2e_start_sway <seconds>: a headless sway for at most that long, with its
# Xwayland letting this user in, and private XDG directories; sets
# E2E_ROOT, E2E_SWAY_DIR, WAYLAND_DISPLAY, SWAYSOCK and DISPLAY, and stops
# it all (with E2E_PIDS) on exit. sway refuses to run as root: under root
# it runs as the user kelvo-test (tools/test.sh creates it).
e2e_start_sway() {
  E2E_ROOT=$(mktemp -d)
  E2E_SWAY_DIR=$(mktemp -d /tmp/kelvo-sway-XXXXXX)
  export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" HOME="$E2E_ROOT/home"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME"
  trap e2e_stop_sway EXIT
  printf 'output HEADLESS-1 resolution 1280x800\ndefault_border none\n' > "$E2E_SWAY_DIR/config"
  local as_sway=()
  if [ "$(id -u)" = 0 ]; then
    id kelvo-test > /dev/null 2>&1 || e2e_fail "sway does not run as root and the user kelvo-test is missing (tools/test.sh creates it)"
    chown -R kelvo-test "$E2E_SWAY_DIR"
    as_sway=(runuser -u kelvo-test --)
  fi
  chmod 0700 "$E2E_SWAY_DIR"
  timeout -k 5 "$1" "${as_sway[@]}" env XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$E2E_SWAY_DIR/config" > "$E2E_ROOT/sway.log" 2>&1 &
  E2E_SWAY=$!
  wait_for 20 sh -c "ls '$E2E_SWAY_DIR'/sway-ipc.*.sock && test -S '$E2E_SWAY_DIR/wayland-1'" ||
    e2e_fail "sway did not start: $(tail -n 5 "$E2E_ROOT/sway.log")"
  export WAYLAND_DISPLAY="$E2E_SWAY_DIR/wayland-1" SWAYSOCK=$(ls "$E2E_SWAY_DIR"/sway-ipc.*.sock | head -1)
  export XDG_RUNTIME_DIR="$E2E_ROOT/run" GDK_BACKEND=wayland GSETTINGS_BACKEND=memory
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  wait_for 10 timeout 2 swaymsg -t get_version || e2e_fail "sway does not answer on $SWAYSOCK"
  # sway's Xwayland serves only its own user: let this one in, and learn its
  # display, from a command sway runs.
  timeout 5 swaymsg exec "xhost +si:localuser:$(id -un) > /dev/null && echo \$DISPLAY > $E2E_SWAY_DIR/display" > /dev/null
  wait_for 20 grep -q "^:" "$E2E_SWAY_DIR/display" || e2e_fail "sway's Xwayland did not come up"
  export DISPLAY=$(cat "$E2E_SWAY_DIR/display")
  wait_for 10 xdpyinfo || e2e_fail "Xwayland on $DISPLAY does not let $(id -un) in"
}

e2e_stop_sway() {
  local p
  for p in ${E2E_PIDS:-}; do kill "$p" 2> /dev/null; done
  [ -n "${E2E_SWAY:-}" ] && kill "$E2E_SWAY" 2> /dev/null
  wait 2> /dev/null
  if [ -n "${E2E_KEEP:-}" ]; then echo "kept $E2E_ROOT $E2E_SWAY_DIR"; else rm -rf "$E2E_ROOT" "$E2E_SWAY_DIR"; fi
}

# sway's tree, and the panel in it: "x y width height X11-window", empty
# when unmapped.
sway_tree() { timeout 5 swaymsg -t get_tree; }
sway_panel() {
  sway_tree | jq -r '.. | objects | select(.window_properties?.class? == "Kelvo" and .name == "Kelvo")
                     | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height) \(.window)"' | head -1
}
# The panel in front, with the keyboard, fade-in over (keys during a fade
# are not routed).
sway_panel_ready() {
  local w
  w=$(sway_tree | jq -r '.. | objects | select(.focused? == true and .window_properties?.class? == "Kelvo") | .window')
  [ -n "$w" ] && xprop -id "$w" _NET_WM_WINDOW_OPACITY | grep -q '= 4294967295$'
}
