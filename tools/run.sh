#!/usr/bin/env bash
# Builds kelvo and runs it in the desktop session, on its display and
# session bus. Without a display it starts a private desktop: Xvfb with
# openbox, and a session bus for the command line (kelvo status, list,
# toggle...); it says how to reach both, and stops them when kelvo ends or
# this command is stopped.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELVO_BUILD_DIR:-$root/build-run}"
kelvo="$build/src/app/kelvo"
. "$root/tests/e2e/lib.sh" # wait_for, the private X server and window manager

# On KDE Plasma's Wayland session KWin lends its window list and its
# keyboard (the window in front, the paste) only to a program whose desktop
# entry lists them; the installed package's entry does it for /usr/bin/kelvo.
# This writes one for the build, before building: KWin notices a new entry
# a few seconds later.
grant_kwin_interfaces() {
  [[ -n "${WAYLAND_DISPLAY:-}" && ":${XDG_CURRENT_DESKTOP:-}:" == *:KDE:* ]] || return 0
  local dir="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
  mkdir -p "$dir"
  printf '%s\n' '[Desktop Entry]' 'Type=Application' 'Name=Kelvo (build)' "Exec=$1" 'NoDisplay=true' \
    'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management' \
    > "$dir/io.github.kelvo.Kelvo.build.desktop"
  echo "Wrote $dir/io.github.kelvo.Kelvo.build.desktop: KWin grants its window list and keyboard to $1."
}
build_kelvo() {
  "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$build" -G Ninja -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF > /dev/null
  ninja -C "$build" kelvo
}

# On GNOME's Wayland session: Kelvo's GNOME Shell extension for this user.
# GNOME loads a new extension at the next login; Kelvo asks to switch on
# one that GNOME knows.
install_gnome_extension() {
  [[ "${XDG_CURRENT_DESKTOP:-}" == *GNOME* && -n "${WAYLAND_DISPLAY:-}" ]] || return 0
  local uuid=kelvo@kelvo.github.io
  local dest="${XDG_DATA_HOME:-$HOME/.local/share}/gnome-shell/extensions/$uuid"
  ninja -C "$build" kelvo_gnome_extension > /dev/null
  diff -rq "$build/src/platform/gnome/$uuid" "$dest" > /dev/null 2>&1 && return 0
  mkdir -p "$dest"
  cp -r "$build/src/platform/gnome/$uuid/." "$dest/"
  echo "Installed Kelvo's GNOME Shell extension in $dest (GNOME loads a new one at the next login)."
}

# Everything started here goes with this command, however it ends.
started=()
stop_started() {
  local p
  for p in "${started[@]}"; do kill "$p" 2> /dev/null || true; done
  for p in "${started[@]}"; do
    wait_for 10 eval "! kill -0 $p" || kill -KILL "$p" 2> /dev/null || true
  done
  [ -z "${E2E_ROOT:-}" ] || rm -rf "$E2E_ROOT"
}
trap stop_started EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Xvfb with openbox, their files in a private directory ($E2E_ROOT).
start_private_display() {
  E2E_ROOT=$(mktemp -d /tmp/kelvo-run-XXXXXX)
  e2e_start_xvfb
  started+=("$E2E_XVFB")
  e2e_start_wm
  started+=("$E2E_WM")
}

# A session bus in the private directory, for kelvo and its command line.
start_private_bus() {
  local socket="$E2E_ROOT/bus"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$socket" > "$E2E_ROOT/dbus.log" 2>&1 &
  started+=("$!")
  wait_for 10 test -S "$socket" || e2e_fail "dbus-daemon did not start: $(cat "$E2E_ROOT/dbus.log")"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$socket"
}

start_kelvo() {
  "$kelvo" &
  kelvo_pid=$!
  started+=("$kelvo_pid")
  echo "kelvo pid $kelvo_pid"
}

# Once kelvo answers on the private bus: how to reach it.
say_how_to_reach_private_session() {
  wait_for 30 timeout 5 "$kelvo" status || e2e_fail "kelvo does not answer on the private session bus"
  echo "kelvo runs on a private display ($DISPLAY: Xvfb + openbox) and a private session bus,"
  echo "both stopped when kelvo quits or this command is stopped. Reach them from another shell:"
  echo "  export DISPLAY=$DISPLAY DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
  printf '  %-18s %s\n' "the command line:" "$kelvo status   (--help lists its commands)" \
    "show the panel:" "xdotool key super+shift+v" \
    "a screenshot:" "import -window root /tmp/kelvo.png" \
    "watch it live:" "x11vnc -display $DISPLAY (if installed), with a VNC viewer"
}

grant_kwin_interfaces "$kelvo"
build_kelvo
install_gnome_extension
if [[ -z "${DISPLAY:-}" ]]; then
  start_private_display
  start_private_bus
  start_kelvo
  say_how_to_reach_private_session
else
  start_kelvo
fi
wait "$kelvo_pid"
