#!/usr/bin/env bash
# Builds kelvo and runs it on $DISPLAY; without a display it starts a private
# Xvfb with openbox and says how to look at it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELVO_BUILD_DIR:-$root/build-run}"
"$root/tools/install-deps.sh"

cmake -S "$root" -B "$build" -G Ninja -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" kelvo

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
install_gnome_extension

if [[ -z "${DISPLAY:-}" ]]; then
  display=":${KELVO_XVFB_DISPLAY:-91}"
  Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true; [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break
    sleep 0.1
  done
  export DISPLAY="$display"
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  echo "kelvo runs on the private display $DISPLAY (Xvfb + openbox)."
  echo "  Look at it:    DISPLAY=$DISPLAY import -window root /tmp/kelvo.png"
  echo "  Show the panel: DISPLAY=$DISPLAY xdotool key super+shift+v   (or kill -USR1 <pid>; settings: kill -USR2 <pid>)"
  echo "  Or watch live: x11vnc -display $DISPLAY (if installed), then a VNC viewer."
fi

"$build/src/app/kelvo" &
kelvo_pid=$!
echo "kelvo pid $kelvo_pid"
wait "$kelvo_pid"
