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

# e2e_compositor_user <compositor> <directory>: compositors refuse to run as
# root; under root E2E_AS becomes the words that run a command as the user
# kelvo-test (tools/test.sh creates it), who is handed the directory first.
e2e_compositor_user() {
  E2E_AS=()
  [ "$(id -u)" = 0 ] || return 0
  id kelvo-test > /dev/null 2>&1 || e2e_fail "$1 does not run as root and the user kelvo-test is missing (tools/test.sh creates it)"
  chown -R kelvo-test "$2"
  E2E_AS=(runuser -u kelvo-test --)
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
  e2e_compositor_user sway "$E2E_SWAY_DIR"
  chmod 0700 "$E2E_SWAY_DIR"
  timeout -k 5 "$1" "${E2E_AS[@]}" env XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
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

e2e_stop_sway() { e2e_stop_session "${E2E_SWAY:-}" "$E2E_SWAY_DIR"; }

# e2e_stop_session <compositor's pids> <its directory>: stops the clients
# (E2E_PIDS) and the compositor, and removes E2E_ROOT and the directory
# unless E2E_KEEP is set.
e2e_stop_session() {
  local p
  for p in ${E2E_PIDS:-} $1; do kill "$p" 2> /dev/null; done
  wait 2> /dev/null
  if [ -n "${E2E_KEEP:-}" ]; then echo "kept $E2E_ROOT $2"; else rm -rf "$E2E_ROOT" "$2"; fi
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

# e2e_start_gnome <seconds> <extension folder>...: a headless GNOME Shell
# for at most that long with the given extensions (each a folder named by
# its uuid) installed and enabled (but those named in E2E_GNOME_OFF, which
# stay off), private system and session buses, and private XDG
# directories for the clients; sets E2E_ROOT, E2E_GNOME_DIR,
# DBUS_SESSION_BUS_ADDRESS, WAYLAND_DISPLAY, DISPLAY and XAUTHORITY, and
# stops it all (with E2E_PIDS) on exit. GNOME Shell refuses to run as root:
# under root it runs as the user kelvo-test (tools/test.sh creates it).
# Xwayland needs /tmp/.X11-unix to be root's with mode 1777.
e2e_start_gnome() {
  local limit=$1 dir bus
  shift
  [ "$(stat -c '%u %a' /tmp/.X11-unix 2> /dev/null)" = "0 1777" ] ||
    e2e_fail "/tmp/.X11-unix must be root's with mode 1777 for Xwayland (tools/test.sh makes it so)"
  E2E_ROOT=$(mktemp -d)
  export E2E_GNOME_DIR=$(mktemp -d /tmp/kelvo-gnome-XXXXXX)
  trap e2e_stop_gnome EXIT
  local g=$E2E_GNOME_DIR uuids=()
  mkdir -p "$g/home/.config/glib-2.0/settings" "$g/home/.local/share/gnome-shell/extensions" "$g/run" "$g/shots"
  # Said once: no lock screen without GNOME's display manager.
  touch "$g/home/.local/share/gnome-shell/lock-warning-shown"
  for dir in "$@"; do
    cp -r "$dir" "$g/home/.local/share/gnome-shell/extensions/"
    [[ " ${E2E_GNOME_OFF:-} " = *" $(basename "$dir") "* ]] || uuids+=("'$(basename "$dir")'")
  done
  # The shell reads its settings from a key file: no dconf service.
  printf "[org/gnome/shell]\ndisable-user-extensions=false\nenabled-extensions=[%s]\nwelcome-dialog-last-shown-version='999'\n" \
    "$(IFS=,; echo "${uuids[*]}")" > "$g/home/.config/glib-2.0/settings/keyfile"
  for bus in session system; do
    printf '<busconfig><type>session</type><listen>unix:path=%s</listen><auth>EXTERNAL</auth><policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>' \
      "$g/$bus" > "$g/$bus.conf"
  done
  e2e_compositor_user "GNOME Shell" "$g"
  chmod 0700 "$g/run"
  for bus in session system; do
    timeout -k 5 "$limit" "${E2E_AS[@]}" dbus-daemon --nofork --config-file="$g/$bus.conf" > "$E2E_ROOT/$bus.log" 2>&1 &
    E2E_GNOME_PIDS="${E2E_GNOME_PIDS:-} $!"
  done
  wait_for 10 test -S "$g/session" -a -S "$g/system" || e2e_fail "the buses did not start"
  timeout -k 5 "$limit" "${E2E_AS[@]}" env -i PATH=/usr/bin:/bin HOME="$g/home" XDG_RUNTIME_DIR="$g/run" \
    XDG_CONFIG_HOME="$g/home/.config" XDG_DATA_HOME="$g/home/.local/share" XDG_CACHE_HOME="$g/home/.cache" \
    GSETTINGS_BACKEND=keyfile DBUS_SESSION_BUS_ADDRESS="unix:path=$g/session" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$g/system" \
    gnome-shell --wayland --headless --virtual-monitor 1280x800 > "$E2E_ROOT/shell.log" 2>&1 &
  E2E_GNOME_PIDS="$E2E_GNOME_PIDS $!"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$g/session"
  gnome_ready() { gnome_helper Ready | grep -q true; }
  wait_for 60 gnome_ready || e2e_fail "the shell did not come up: $(tail -n 5 "$E2E_ROOT/shell.log")"
  local env
  env=$(gnome_json Environment)
  export WAYLAND_DISPLAY="$g/run/$(jq -r .WAYLAND_DISPLAY <<< "$env")" DISPLAY=$(jq -r .DISPLAY <<< "$env") \
    XAUTHORITY=$(jq -r .XAUTHORITY <<< "$env")
  export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" XDG_CACHE_HOME="$E2E_ROOT/cache" \
    XDG_RUNTIME_DIR="$E2E_ROOT/run" HOME="$E2E_ROOT/home" GDK_BACKEND=wayland GSETTINGS_BACKEND=memory
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$HOME"
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  wait_for 20 xdpyinfo || e2e_fail "Xwayland on $DISPLAY does not answer"
}

e2e_stop_gnome() { e2e_stop_session "${E2E_GNOME_PIDS:-}" "$E2E_GNOME_DIR"; }

# The tests' helper extension in the shell (tests/gnome/helper): a method
# and its arguments in gdbus's syntax; gnome_json prints an answer that is
# JSON.
gnome_helper() {
  local method=$1
  shift
  timeout 10 gdbus call --session --dest io.github.kelvo.ShellTest --object-path /io/github/kelvo/ShellTest \
    --method "io.github.kelvo.ShellTest.$method" "$@"
}
gnome_json() { gnome_helper "$@" | sed -e "s/^('//" -e "s/',)\$//"; }
# The shell's windows as JSON objects, one a line (title, wmClass, pid, x, y,
# width, height, focused, above, sticky).
gnome_windows() { gnome_json Windows | jq -c '.[]'; }
gnome_focused_class() { gnome_windows | jq -r 'select(.focused) | .wmClass'; }
gnome_keys() {
  local list
  list=$(printf "'%s'," "$@")
  gnome_helper Keys "[${list%,}]" > /dev/null
}

# The entries of the copies "copy-NN" in kelvo's history file, newest first.
e2e_copy_entries() { grep -o '"_0":"copy-[0-9]*"' "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }

# Copies with wl-copy until kelvo records a copy: it watches the clipboard
# once it has started (what is on the clipboard then is not a copy).
e2e_wait_recording() {
  recorded() { printf 'warm-up' | timeout 5 wl-copy && grep -q warm-up "$XDG_DATA_HOME/Kelvo/clipboard_history.json"; }
  wait_for 20 recorded || e2e_fail "kelvo records no copies: $(cat "$E2E_ROOT/kelvo.log")"
}

# Twelve copies "copy-01" to "copy-12" with wl-copy, 0.15 s apart (the pace
# of the copies, not a wait); fails unless they are twelve entries in order.
e2e_twelve_copies() {
  local i expected
  for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
    printf 'copy-%s' "$i" | timeout 5 wl-copy
    sleep 0.15
  done
  twelve() { [ "$(e2e_copy_entries | wc -l)" = 12 ]; }
  wait_for 30 twelve || e2e_fail "$(e2e_copy_entries | wc -l) entries after twelve copies: $(e2e_copy_entries | tr '\n' ' ')"
  expected=$(for i in 12 11 10 09 08 07 06 05 04 03 02 01; do echo "\"_0\":\"copy-$i\""; done)
  [ "$(e2e_copy_entries)" = "$expected" ] || e2e_fail "entries out of order: $(e2e_copy_entries | tr '\n' ' ')"
}

# e2e_strip_changed <before.png> <after.png> <width> <height> <x> <y>: fails
# unless the strip of the two screenshots differs in more than half its
# pixels (the cards where the editor was).
e2e_strip_changed() {
  local crop="${3}x${4}+${5}+${6}" changed
  convert "$1" -crop "$crop" +repage "$E2E_ROOT/before-strip.png"
  convert "$2" -crop "$crop" +repage "$E2E_ROOT/after-strip.png"
  changed=$(compare -metric AE "$E2E_ROOT/before-strip.png" "$E2E_ROOT/after-strip.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt $(($3 * $4 / 2)) ] || e2e_fail "the screenshot's strip barely changed ($changed pixels)"
}

# kelvo's clipboard writes and pastes so far, as its log tells them: "1 1".
e2e_writes_and_pastes() { echo "$(grep -c '已写入剪贴板' "$E2E_ROOT/kelvo.log") $(grep -c '⌘V' "$E2E_ROOT/kelvo.log")"; }

# e2e_closed_without_paste <how>: fails unless the panel (the script's
# panel_hidden) goes, the editor gets the keyboard back and kelvo has made no
# write and paste but the first choice's.
e2e_closed_without_paste() {
  wait_for 15 panel_hidden || e2e_fail "the panel stayed up after $1"
  wait_for 15 editor_focused || e2e_fail "the editor did not get the keyboard back after $1"
  [ "$(e2e_writes_and_pastes)" = "1 1" ] || e2e_fail "after $1: clipboard writes and pastes $(e2e_writes_and_pastes)"
}

# Starts mousepad on $E2E_ROOT/target.txt (made empty) and waits until the
# script's editor_focused says it is in front; then kelvo (<program>), whose
# output goes to $E2E_ROOT/kelvo.log, under `timeout` as E2E_KELVO.
e2e_start_editor_and_kelvo() {
  : > "$E2E_ROOT/target.txt"
  timeout 160 mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
  E2E_PIDS="${E2E_PIDS:-} $!"
  wait_for 20 editor_focused || e2e_fail "the editor did not come up: $(tail -n 3 "$E2E_ROOT/mousepad.log")"
  timeout 160 "$1" > "$E2E_ROOT/kelvo.log" 2>&1 &
  E2E_KELVO=$!
  E2E_PIDS="$E2E_PIDS $E2E_KELVO"
}

# e2e_copies_in_foot <line>...: a shell in the foot terminal reads lines
# from a pipe and puts each on the clipboard with wl-copy while foot has the
# focus (the script's focused_is says so); fails unless kelvo records each
# (the script's history_has).
e2e_copies_in_foot() {
  local line
  mkfifo "$E2E_ROOT/lines"
  timeout 280 foot -a foot sh -c "exec 3<> '$E2E_ROOT/lines'; while read -r l <&3; do printf %s \"\$l\" | wl-copy; done" \
    > "$E2E_ROOT/foot.log" 2>&1 &
  E2E_PIDS="$E2E_PIDS $!"
  wait_for 20 focused_is foot || e2e_fail "foot did not come up: $(tail -n 3 "$E2E_ROOT/foot.log")"
  for line in "$@"; do
    echo "$line" > "$E2E_ROOT/lines"
    wait_for 10 history_has "$line" || e2e_fail "the terminal's copy '$line' was not recorded"
  done
}

# e2e_settled <into> <unlike, or ""> <command...>: the screenshot (the command
# writes one into the file named last) once two in a row are alike and, with
# <unlike>, unlike that picture in more than a blinking caret's pixels.
e2e_settled() {
  local into=$1 unlike=$2 last="$E2E_ROOT/last.png" now="$E2E_ROOT/now.png" n
  shift 2
  for ((n = 0; n < 50; n++)); do
    "$@" "$now" || e2e_fail "no screenshot for $into"
    if [ -f "$last" ] && [ "$(compare -metric AE "$last" "$now" null: 2>&1 | cut -d' ' -f1)" = 0 ] &&
       { [ -z "$unlike" ] || [ "$(compare -metric AE "$unlike" "$now" null: 2>&1 | cut -d' ' -f1)" -gt 500 ]; }; then
      mv "$now" "$into"; rm -f "$last"; return 0
    fi
    mv "$now" "$last"
    sleep 0.1 # the poll interval, not a wait for the outcome
  done
  e2e_fail "the screen did not settle for $into"
}
