# Shared by the end-to-end scripts: a private X server with a window
# manager, private XDG directories, and waiting helpers.
set -u

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
  # The server takes the first free display itself and writes its number
  # once it accepts clients: no race with other servers starting meanwhile.
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3> "$E2E_ROOT/display" > "$E2E_ROOT/xvfb.log" 2>&1 &
  E2E_XVFB=$!
  trap e2e_stop_desktop EXIT
  wait_for 10 grep -q '^[0-9]' "$E2E_ROOT/display" || e2e_fail "Xvfb did not start: $(cat "$E2E_ROOT/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$E2E_ROOT/display")"
  wait_for 10 xdpyinfo || e2e_fail "Xvfb does not answer on $DISPLAY"
  e2e_start_wm
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
