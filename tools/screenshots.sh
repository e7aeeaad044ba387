#!/usr/bin/env bash
# Renders the real kelvo under a private Xvfb + openbox and stores the
# screenshots in docs/screenshots/. Uses private XDG directories, so the
# user's history and preferences are never touched.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELVO_BUILD_DIR:-$root/build-run}"
"$root/tools/install-deps.sh"
out="$root/docs/screenshots"
mkdir -p "$out"

# An existing build directory (KELVO_BUILD_DIR) is used as it is configured.
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF >/dev/null
fi
ninja -C "$build" kelvo >/dev/null

tmp="$(mktemp -d)"
display=":${KELVO_XVFB_DISPLAY:-92}"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  [[ -n "${kelvo_pid:-}" ]] && kill "$kelvo_pid" 2>/dev/null || true
  [[ -n "${editor_pid:-}" ]] && kill "$editor_pid" 2>/dev/null || true
  [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
for _ in $(seq 50); do
  [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break
  sleep 0.1
done
export DISPLAY="$display" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 0.5

"$build/src/app/kelvo" >"$tmp/kelvo.log" 2>&1 &
kelvo_pid=$!
sleep 1.5

# Some entries of different kinds, copied the way a user would.
if command -v xclip >/dev/null; then
  printf 'Kelvo 会记住你复制过的每一段文字。' | xclip -selection clipboard; sleep 1.2
  printf 'https://www.debian.org/releases/bookworm/' | xclip -selection clipboard; sleep 1.2
  convert -size 320x200 gradient:'#5a96dc-#f0b43c' png:- | xclip -selection clipboard -t image/png; sleep 1.2
  printf 'Second entry\nwith two lines' | xclip -selection clipboard; sleep 1.2
fi

# A copy made while an editor with a very long application name is in front:
# its card shows the name cut inside the badge.
if command -v mousepad >/dev/null; then
  mkdir -p "$XDG_DATA_HOME/applications"
  cat > "$XDG_DATA_HOME/applications/org.xfce.mousepad.desktop" <<'ENTRY'
[Desktop Entry]
Type=Application
Name=Mousepad 文本编辑器 Extended Edition for Very Long Names
Exec=mousepad %U
StartupWMClass=Mousepad
ENTRY
  : > "$tmp/notes.txt"
  mousepad "$tmp/notes.txt" >/dev/null 2>&1 &
  editor_pid=$!
  for _ in $(seq 50); do
    editor=$(xdotool search --onlyvisible --name 'notes.txt' 2>/dev/null | head -1) && [[ -n "$editor" ]] && break
    sleep 0.2
  done
  xdotool windowactivate --sync "$editor" 2>/dev/null || true; sleep 0.5
  printf '在编辑器里复制的一段文字，来源名称很长。' | xclip -selection clipboard; sleep 1.2
fi

shot() { import -window root "$out/$1"; echo "wrote $out/$1"; }

kill -USR1 "$kelvo_pid"; sleep 1
shot panel-history.png
# The context menu of the first card, opened with a right click.
panel=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove $((X + 113)) $((Y + 170)) click 3; sleep 0.6
shot panel-context-menu.png
xdotool key Escape; sleep 0.4
xdotool key Tab 2>/dev/null || true; sleep 0.6
shot panel-pinned-empty.png
kill -USR1 "$kelvo_pid"; sleep 0.5
kill -USR2 "$kelvo_pid"; sleep 1.2
shot settings.png

# A blank picture means the program did not render.
for f in panel-history.png panel-context-menu.png settings.png; do
  colours=$(convert "$out/$f" -format '%k' info:)
  if (( colours < 50 )); then
    echo "screenshot $f looks blank ($colours colours)" >&2
    exit 1
  fi
done
