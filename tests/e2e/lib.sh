# Shared by the end-to-end scripts: a private X server with a window
# manager, private XDG directories, and waiting helpers.
set -u
# Kelvo speaks the caller's language; the scripts read its English texts.
export LANG=C.UTF-8 LANGUAGE= LC_ALL= LC_MESSAGES=

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
  Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1600x900x24}" -nolisten tcp 3> "$E2E_ROOT/display" > "$E2E_ROOT/xvfb.log" 2>&1 &
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

# e2e_start_kelvo_desktop <kelvo executable>: checks the program, starts the
# desktop, sets `kelvo` and `history`.
e2e_start_kelvo_desktop() {
  kelvo=$1
  [ -x "$kelvo" ] || e2e_fail "no such program: $kelvo"
  e2e_start_desktop
  history=$(e2e_history)
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
# it all (e2e_stop_session) on exit. sway refuses to run as root: under root
# it runs as the user kelvo-test (tools/test.sh creates it).
e2e_start_sway() {
  E2E_ROOT=$(mktemp -d)
  E2E_SWAY_DIR=$(mktemp -d /tmp/kelvo-sway-XXXXXX)
  E2E_DIRS="$E2E_ROOT $E2E_SWAY_DIR"
  export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" HOME="$E2E_ROOT/home"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME"
  trap e2e_stop_session EXIT
  printf 'output HEADLESS-1 resolution 1280x800\ndefault_border none\n' > "$E2E_SWAY_DIR/config"
  e2e_compositor_user sway "$E2E_SWAY_DIR"
  chmod 0700 "$E2E_SWAY_DIR"
  timeout -k 5 "$1" "${E2E_AS[@]}" env XDG_RUNTIME_DIR="$E2E_SWAY_DIR" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$E2E_SWAY_DIR/config" > "$E2E_ROOT/sway.log" 2>&1 &
  E2E_COMPOSITOR=$!
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

# Stops the compositor started by e2e_start_sway or e2e_start_kwin and the
# programs in E2E_PIDS, and removes the session's directories.
e2e_stop_session() {
  local p
  for p in ${E2E_PIDS:-} ${E2E_COMPOSITOR:-}; do kill "$p" 2> /dev/null; done
  wait 2> /dev/null
  if [ -n "${E2E_KEEP:-}" ]; then echo "kept ${E2E_DIRS:-}"; else rm -rf ${E2E_DIRS:-}; fi
  E2E_PIDS= E2E_COMPOSITOR=
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

# e2e_as_compositor_user <script> <program>...: KWin grants its restricted
# interfaces, and its session bus, to programs of its own user only. Under
# root this runs the script again as the user kelvo-test (tools/test.sh
# creates it), with copies of the script, this library and the programs it
# is given (so that the user reaches them wherever the build lies), and
# exits with its status; a screenshot the run keeps ($KELVO_SCREENSHOT) and
# the pictures it leaves in $KELVO_OUT_DIR are copied back; the run has
# E2E_AS_USER set. Otherwise it returns and the script goes on.
e2e_as_compositor_user() {
  [ "$(id -u)" = 0 ] || return 0
  id kelvo-test > /dev/null 2>&1 || e2e_fail "KWin does not run as root and the user kelvo-test is missing (tools/test.sh creates it)"
  local script=$1 copy p status=0
  shift
  copy=$(mktemp -d /tmp/kelvo-e2e-user-XXXXXX)
  cp "${BASH_SOURCE[0]}" "$script" "$copy/"
  local args=()
  for p in "$@"; do cp "$p" "$copy/"; args+=("$copy/$(basename "$p")"); done
  mkdir "$copy/out"
  chmod -R a+rX "$copy"
  chown kelvo-test "$copy/out"
  # X servers keep their sockets there; KWin's Xwayland wants it as a
  # system makes it (root's, with the sticky bit).
  mkdir -p /tmp/.X11-unix && chown root:root /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
  setpriv --reuid kelvo-test --regid kelvo-test --clear-groups \
    env HOME="$copy/out" E2E_AS_USER=1 KELVO_SCREENSHOT="${KELVO_SCREENSHOT:+$copy/out/screenshot.png}" KELVO_OUT_DIR="$copy/out" \
    bash "$copy/$(basename "$script")" "${args[@]}" || status=$?
  [ -n "${KELVO_SCREENSHOT:-}" ] && [ -f "$copy/out/screenshot.png" ] && cp "$copy/out/screenshot.png" "$KELVO_SCREENSHOT"
  [ -n "${KELVO_OUT_DIR:-}" ] && find "$copy/out" -maxdepth 1 -name '*.png' -exec cp {} "$KELVO_OUT_DIR/" \;
  rm -rf "$copy"
  exit "$status"
}

# e2e_start_kwin <seconds> <program>...: a headless KWin with Xwayland for at
# most that long, in a session bus of its own, granting the programs KWin's
# restricted interfaces and screenshots (desktop entries in a private
# XDG_DATA_DIRS, written before KWin starts); private XDG directories, with
# KWin's strictest focus stealing prevention. Sets
# E2E_ROOT, WAYLAND_DISPLAY, DISPLAY, XAUTHORITY, DBUS_SESSION_BUS_ADDRESS
# and XDG_RUNTIME_DIR, and stops it all (e2e_stop_session) on exit. KWin runs as
# a copy of its binary, which lacks the file capability a container may refuse.
e2e_start_kwin() {
  local limit=$1 n=0 p
  shift
  E2E_ROOT=$(mktemp -d /tmp/kelvo-kwin-XXXXXX)
  E2E_DIRS=$E2E_ROOT
  export XDG_DATA_HOME="$E2E_ROOT/data" XDG_CONFIG_HOME="$E2E_ROOT/config" HOME="$E2E_ROOT/home"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME" "$E2E_ROOT/share/applications"
  mkdir -m 0700 "$E2E_ROOT/run"
  for p in "$@"; do
    printf '[Desktop Entry]\nType=Application\nName=Kelvo test\nExec=%s\nX-KDE-Wayland-Interfaces=%s\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n' \
      "$p" org_kde_kwin_fake_input,org_kde_plasma_window_management > "$E2E_ROOT/share/applications/kelvo-test-$((n++)).desktop"
  done
  cp /usr/bin/kwin_wayland "$E2E_ROOT/kwin_wayland"
  # The strictest focus stealing prevention a user can choose ("Extreme"):
  # an X11 window that asks for the keyboard itself is refused it.
  printf '[Windows]\nFocusStealingPreventionLevel=4\n' > "$XDG_CONFIG_HOME/kwinrc"
  trap e2e_stop_session EXIT
  export XDG_RUNTIME_DIR="$E2E_ROOT/run" XDG_DATA_DIRS="$E2E_ROOT/share:/usr/share"
  unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM XAUTHORITY
  # KWin runs the last argument once Wayland and Xwayland are up: it writes
  # down the X display and its authority file.
  timeout -k 5 "$limit" dbus-run-session -- sh -c 'printf %s "$DBUS_SESSION_BUS_ADDRESS" > "$0/bus" && exec "$@"' \
    "$E2E_ROOT" "$E2E_ROOT/kwin_wayland" --virtual --width 1280 --height 800 --xwayland --socket kelvo-kwin \
    "sh -c 'printf \"%s\\n%s\\n\" \"\$DISPLAY\" \"\$XAUTHORITY\" > $E2E_ROOT/x11.tmp && mv $E2E_ROOT/x11.tmp $E2E_ROOT/x11'" \
    > "$E2E_ROOT/kwin.log" 2>&1 &
  E2E_COMPOSITOR=$!
  wait_for 30 test -f "$E2E_ROOT/x11" || e2e_fail "KWin did not start: $(tail -n 5 "$E2E_ROOT/kwin.log")"
  export WAYLAND_DISPLAY="$E2E_ROOT/run/kelvo-kwin" DBUS_SESSION_BUS_ADDRESS=$(cat "$E2E_ROOT/bus")
  export DISPLAY=$(sed -n 1p "$E2E_ROOT/x11") XAUTHORITY=$(sed -n 2p "$E2E_ROOT/x11")
  export GDK_BACKEND=wayland GSETTINGS_BACKEND=memory
  wait_for 10 xdpyinfo || e2e_fail "KWin's Xwayland does not answer on $DISPLAY"
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
  E2E_DIRS="$E2E_ROOT $E2E_GNOME_DIR"
  trap e2e_stop_session EXIT
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
  # A Kelvo extension installed on this machine must not stand in for the
  # one under test: the shell then sees /usr/share without it.
  local installed=/usr/share/gnome-shell/extensions/kelvo@kelvo.github.io data_dirs=()
  if [ -e "$installed" ]; then
    mkdir -p "$g/share/gnome-shell/extensions"
    for dir in /usr/share/* /usr/share/gnome-shell/* /usr/share/gnome-shell/extensions/*; do
      case $dir in /usr/share/gnome-shell | /usr/share/gnome-shell/extensions | "$installed") continue ;; esac
      ln -s "$dir" "$g/share/${dir#/usr/share/}"
    done
    data_dirs=(XDG_DATA_DIRS="/usr/local/share:$g/share")
  fi
  e2e_compositor_user "GNOME Shell" "$g"
  chmod 0700 "$g/run"
  for bus in session system; do
    timeout -k 5 "$limit" "${E2E_AS[@]}" dbus-daemon --nofork --config-file="$g/$bus.conf" > "$E2E_ROOT/$bus.log" 2>&1 &
    E2E_COMPOSITOR="${E2E_COMPOSITOR:-} $!"
  done
  wait_for 10 test -S "$g/session" -a -S "$g/system" || e2e_fail "the buses did not start"
  timeout -k 5 "$limit" "${E2E_AS[@]}" env -i PATH=/usr/bin:/bin HOME="$g/home" XDG_RUNTIME_DIR="$g/run" \
    XDG_CONFIG_HOME="$g/home/.config" XDG_DATA_HOME="$g/home/.local/share" XDG_CACHE_HOME="$g/home/.cache" \
    GSETTINGS_BACKEND=keyfile DBUS_SESSION_BUS_ADDRESS="unix:path=$g/session" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$g/system" \
    "${data_dirs[@]}" gnome-shell --wayland --headless --virtual-monitor 1280x800 > "$E2E_ROOT/shell.log" 2>&1 &
  E2E_COMPOSITOR="$E2E_COMPOSITOR $!"
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

# The copies recorded in the history, "_0":"copy-NN" each, newest first.
e2e_entries() { grep -o '"_0":"copy-[0-9]*"' "$XDG_DATA_HOME/Kelvo/clipboard_history.json" 2> /dev/null; }

# Twelve wl-copy copies 0.15 s apart (the pace of the copies, not a wait)
# must be twelve entries, newest first. kelvo watches the clipboard once it
# records a copy (what is on the clipboard at its start is not a copy), so
# it is copied to until one is recorded first.
e2e_twelve_copies() {
  recorded() { printf 'warm-up' | timeout 5 wl-copy && grep -q warm-up "$XDG_DATA_HOME/Kelvo/clipboard_history.json"; }
  wait_for 20 recorded || e2e_fail "kelvo records no copies: $(cat "$E2E_ROOT/kelvo.log")"
  local i expected
  for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
    printf 'copy-%s' "$i" | timeout 5 wl-copy
    sleep 0.15
  done
  twelve() { [ "$(e2e_entries | wc -l)" = 12 ]; }
  wait_for 10 twelve || e2e_fail "$(e2e_entries | wc -l) entries after twelve copies: $(e2e_entries | tr '\n' ' ')"
  expected=$(for i in 12 11 10 09 08 07 06 05 04 03 02 01; do echo "\"_0\":\"copy-$i\""; done)
  [ "$(e2e_entries)" = "$expected" ] || e2e_fail "entries out of order: $(e2e_entries | tr '\n' ' ')"
}

# e2e_strip_changed <before.png> <after.png> <WxH+X+Y>: the strip of the
# second screenshot differs from the first in more than half its pixels.
e2e_strip_changed() {
  convert "$1" -crop "$3" +repage "$E2E_ROOT/before-strip.png"
  convert "$2" -crop "$3" +repage "$E2E_ROOT/after-strip.png"
  local changed size=${3%%+*}
  changed=$(compare -metric AE "$E2E_ROOT/before-strip.png" "$E2E_ROOT/after-strip.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt $(( ${size%x*} * ${size#*x} / 2 )) ] || e2e_fail "the screenshot's strip barely changed ($changed pixels)"
}

# A choice writes the clipboard (and logs it) before the panel goes: with
# the panel gone and the editor in front, one write and one paste in the
# log (the Return's) mean that nothing else was pasted.
e2e_one_paste_only() {
  local writes pastes
  writes=$(grep -c '已写入剪贴板' "$E2E_ROOT/kelvo.log")
  pastes=$(grep -c '⌘V' "$E2E_ROOT/kelvo.log")
  [ "$writes $pastes" = "1 1" ] || e2e_fail "$1: $writes clipboard writes, $pastes pastes"
}

# e2e_resident <pid of the timeout running kelvo>: kelvo's resident set in
# kB (a figure for the notes, not a check).
e2e_resident() { awk '/VmRSS/{print $2}' "/proc/$(pgrep -P "$1" | head -1)/status"; }

# e2e_copies_in_foot <line>...: a shell in the foot terminal reads lines
# from a pipe and puts each on the clipboard with wl-copy while foot has the
# focus (the script's focused_is says so); fails unless kelvo records each
# (the script's history_has).
e2e_copies_in_foot() {
  local line
  mkfifo "$E2E_ROOT/lines"
  timeout 280 foot -a foot sh -c "exec 3<> '$E2E_ROOT/lines'; while read -r l <&3; do printf %s \"\$l\" | wl-copy; done" \
    > "$E2E_ROOT/foot.log" 2>&1 &
  E2E_PIDS="${E2E_PIDS:-} $!"
  wait_for 20 focused_is foot || e2e_fail "foot did not come up: $(tail -n 3 "$E2E_ROOT/foot.log")"
  for line in "$@"; do
    echo "$line" > "$E2E_ROOT/lines"
    wait_for 10 history_has "$line" || e2e_fail "the terminal's copy '$line' was not recorded"
  done
}

# e2e_strip_settled <shot command> <out.png> [<other.png>]: the picture the
# command takes (`<command> <file>`) once it has stopped changing (two in a
# row alike) and, when <other.png> is given, differs from it in more than a
# blinking caret; into <out.png>.
e2e_strip_settled() {
  local shot=$1 out=$2 other=${3:-} last="$E2E_ROOT/last.png" now="$E2E_ROOT/now.png" n
  for ((n = 0; n < 50; n++)); do
    "$shot" "$now" || e2e_fail "no screenshot"
    if [ -f "$last" ] && [ "$(compare -metric AE "$last" "$now" null: 2>&1 | cut -d' ' -f1)" = 0 ] &&
       { [ -z "$other" ] || [ "$(compare -metric AE "$other" "$now" null: 2>&1 | cut -d' ' -f1)" -gt 500 ]; }; then
      mv "$now" "$out"; rm -f "$last"; return 0
    fi
    mv "$now" "$last"
    sleep 0.1 # the poll interval, not a wait for the outcome
  done
  e2e_fail "the picture did not settle for $out"
}

# The end of the panel flows, the desktop's own ways given as functions:
# choose_second (Right then Return), shortcut, panel_ready, panel_hidden,
# editor_focused, saved_is <text>, close_by <escape|focus|click> and
# windows_now (what the desktop shows, for the failures). Right then Return
# paste the second card's entry into the editor, whose saved file then holds
# it; the panel opened again and closed by Escape, by the desktop focusing
# the editor or by a click on the editor pastes nothing and gives the
# keyboard back to the editor.
e2e_choose_then_close() {
  local how
  choose_second
  wait_for 15 panel_hidden || e2e_fail "Return left the panel up: $(cat "$E2E_ROOT/kelvo.log")"
  wait_for 30 editor_focused || e2e_fail "the editor did not get the keyboard back: $(windows_now)"
  wait_for 30 saved_is copy-11 || e2e_fail "the editor's file holds '$(cat "$E2E_ROOT/target.txt")', not copy-11"
  for how in escape focus click; do
    shortcut
    wait_for 15 panel_ready || e2e_fail "the shortcut did not show the panel again ($how)"
    close_by "$how"
    wait_for 15 panel_hidden || e2e_fail "the panel stayed up after $how"
    wait_for 30 editor_focused || e2e_fail "the editor did not get the keyboard back after $how: $(windows_now)"
    e2e_one_paste_only "after $how"
  done
  wait_for 30 saved_is copy-11 || e2e_fail "the editor's file holds '$(cat "$E2E_ROOT/target.txt")' at the end"
}

# e2e_start_kelvo <program> <platform>: kelvo for at most 160 s, its log in
# $E2E_ROOT/kelvo.log and the pid of its timeout in kelvo_timeout; returns
# once it names the platform ("Wayland (KWin)" ...) and holds its shortcut.
e2e_start_kelvo() {
  timeout 160 "$1" > "$E2E_ROOT/kelvo.log" 2>&1 &
  kelvo_timeout=$!
  E2E_PIDS="${E2E_PIDS:-} $kelvo_timeout"
  wait_for 15 grep -qF "Desktop platform: $2" "$E2E_ROOT/kelvo.log" ||
    e2e_fail "kelvo did not start on $2: $(cat "$E2E_ROOT/kelvo.log")"
  wait_for 10 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "no shortcut: $(cat "$E2E_ROOT/kelvo.log")"
}
