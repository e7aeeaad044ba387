#!/usr/bin/env bash
# Builds kelvo and runs it on $DISPLAY; without a display it starts a private
# Xvfb with openbox and says how to look at it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELVO_BUILD_DIR:-$root/build-run}"
"$root/tools/install-deps.sh"

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
grant_kwin_interfaces "$build/src/app/kelvo"

cmake -S "$root" -B "$build" -G Ninja -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" kelvo

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
