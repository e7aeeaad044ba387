#!/usr/bin/env bash
# Renders the real kelvo under a private Xvfb + openbox on a 1280 x 800
# screen, once in English and once in Chinese, and stores the screenshots in
# docs/screenshots/ (the English ones as panel-history.png and so on, the
# Chinese ones with "-zh"). Uses private XDG directories, so the user's
# history and preferences are never touched.
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
kelvo="$build/src/app/kelvo"

source "$root/tests/e2e/lib.sh"
E2E_SCREEN=1280x800x24 e2e_start_desktop
set +u
# The clean-up stops what is still running and takes no error for what is gone.
trap 'set +e; e2e_stop_desktop' EXIT

shot() { import -window root "$out/$1"; echo "wrote $out/$1"; }
entries() { { grep -o '"id":"' "$(e2e_history)" 2> /dev/null || true; } | wc -l; }
copy() {
  local before
  before=$(entries)
  e2e_copy "$1" "${2:-UTF8_STRING}"
  wait_for 10 sh -c "[ \$(grep -o '\"id\":\"' '$(e2e_history)' 2> /dev/null | wc -l) -gt $before ]" ||
    e2e_fail "kelvo did not record a copy"
}
copy_image() {
  local before
  before=$(entries)
  convert -size 320x200 gradient:'#5a96dc-#f0b43c' png:- | xclip -selection clipboard -t image/png &
  E2E_PIDS="$E2E_PIDS $!"
  wait_for 10 sh -c "[ \$(grep -o '\"id\":\"' '$(e2e_history)' 2> /dev/null | wc -l) -gt $before ]" ||
    e2e_fail "kelvo did not record the image"
}

# One run per language: its locale, the suffix of its files, the texts it copies.
run() {
  local locale="$1" suffix="$2" first="$3" second="$4" third="$5"
  export XDG_DATA_HOME="$E2E_ROOT/$suffix/data" XDG_CONFIG_HOME="$E2E_ROOT/$suffix/config"
  mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
  LANG="$locale" "$kelvo" > "$E2E_ROOT/kelvo$suffix.log" 2>&1 &
  local kelvo_pid=$!
  E2E_PIDS="$E2E_PIDS $kelvo_pid"
  wait_for 10 grep -q 'Desktop platform' "$E2E_ROOT/kelvo$suffix.log" || e2e_fail "kelvo did not start"

  # Entries of different kinds, copied the way a user would.
  copy "$first"
  copy 'https://www.debian.org/releases/bookworm/'
  copy_image
  copy "$second"

  # A copy made while an editor with a very long application name is in
  # front: its card shows the name cut inside the badge.
  cat > "$XDG_DATA_HOME/applications/org.xfce.mousepad.desktop" <<'ENTRY'
[Desktop Entry]
Type=Application
Name=Mousepad 文本编辑器 Extended Edition for Very Long Names
Exec=mousepad %U
StartupWMClass=Mousepad
ENTRY
  : > "$E2E_ROOT/notes$suffix.txt"
  LANG="$locale" mousepad "$E2E_ROOT/notes$suffix.txt" > /dev/null 2>&1 &
  local editor_pid=$!
  E2E_PIDS="$E2E_PIDS $editor_pid"
  editor=""
  wait_for 10 sh -c "xdotool search --onlyvisible --name 'notes$suffix.txt'" || e2e_fail "mousepad did not start"
  editor=$(xdotool search --onlyvisible --name "notes$suffix.txt" | head -1)
  focus_editor
  copy "$third"

  kill -USR1 "$kelvo_pid"
  wait_for 5 panel_ready || e2e_fail "the panel did not show"
  sleep 0.3 # the thumbnails load in the background; nothing to wait on
  shot "panel-history$suffix.png"
  # The context menu of the first card, opened with a right click.
  local panel
  panel=$(xdotool search --onlyvisible --name '^Kelvo$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  xdotool mousemove $((X + 113)) $((Y + 170)) click 3
  sleep 0.6 # the menu's fade-in
  shot "panel-context-menu$suffix.png"
  xdotool key Escape Tab
  sleep 0.6 # the tab's animation
  shot "panel-pinned-empty$suffix.png"
  kill -USR1 "$kelvo_pid"
  wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo\$"' || e2e_fail "the panel did not hide"
  kill -USR2 "$kelvo_pid"
  wait_for 5 xdotool search --onlyvisible --name '^Kelvo .' || e2e_fail "the settings did not open"
  sleep 0.5 # the first frame of the window
  shot "settings$suffix.png"
  kill "$kelvo_pid" "$editor_pid" 2> /dev/null || true
  wait "$kelvo_pid" 2> /dev/null || true
}

run en_US.UTF-8 "" 'Kelvo remembers every piece of text you copy.' $'Second entry\nwith two lines' \
  'Copied in the editor, whose name is very long.'
run zh_CN.UTF-8 "-zh" 'Kelvo 会记住你复制过的每一段文字。' $'第二条\n有两行' '在编辑器里复制的一段文字，来源名称很长。'

# A blank picture means the program did not render.
for f in panel-history panel-context-menu settings panel-history-zh settings-zh; do
  colours=$(convert "$out/$f.png" -format '%k' info:)
  if (( colours < 50 )); then
    echo "screenshot $f.png looks blank ($colours colours)" >&2
    exit 1
  fi
done
