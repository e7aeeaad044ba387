#!/usr/bin/env bash
# Idle CPU over 60 s and resident set of kelvo on KDE Plasma's Wayland
# platform (a private headless KWin that grants it its interfaces: window
# management, fake input, KDE's shortcut service, data-control), beside the
# same kelvo on the X11 platform (a private Xvfb) measured over the same 60 s
# as the reference. Both run with Qt's offscreen platform, so that only the
# platform layer differs.
#   bash bench/kde_process.sh build/src/app/kelvo
# As root everything runs as the user kelvo-test (tools/test.sh creates it).
here="$(cd "$(dirname "$0")" && pwd)"
lib="$here/lib.sh"
[ -f "$lib" ] || lib="$here/../tests/e2e/lib.sh"
. "$lib"
kelvo=$1
e2e_as_compositor_user "$0" "$kelvo"

e2e_start_kwin 200 "$kelvo"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3> "$E2E_ROOT/xvfb-display" > /dev/null 2>&1 &
E2E_PIDS="$!"
wait_for 10 grep -q '^[0-9]' "$E2E_ROOT/xvfb-display" || e2e_fail "Xvfb did not start"
# start <name> <environment...>: kelvo with private directories; its timeout's pid.
start() {
  local name=$1 dir="$E2E_ROOT/$1"; shift
  mkdir -p "$dir/data" "$dir/config" && mkdir -m 0700 "$dir/run"
  env XDG_RUNTIME_DIR="$dir/run" XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=offscreen \
    "$@" timeout 150 "$kelvo" > "$dir/log" 2>&1 &
  E2E_PIDS="$E2E_PIDS $!"
  echo $!
}
kwin=$(start on-kwin)
x11=$(start on-x11 WAYLAND_DISPLAY= DISPLAY=":$(head -n 1 "$E2E_ROOT/xvfb-display")")
wait_for 20 grep -q 'Registered hotkey' "$E2E_ROOT/on-kwin/log" || e2e_fail "kelvo on KWin: $(cat "$E2E_ROOT/on-kwin/log")"
wait_for 20 grep -q 'Registered hotkey' "$E2E_ROOT/on-x11/log" || e2e_fail "kelvo on X11: $(cat "$E2E_ROOT/on-x11/log")"
ticks() { awk '{print $14+$15}' "/proc/$(pgrep -P "$1" kelvo)/stat"; }
k0=$(ticks "$kwin") x0=$(ticks "$x11")
sleep 60 # the span measured
k1=$(ticks "$kwin") x1=$(ticks "$x11")
hz=$(getconf CLK_TCK)
echo "KWin: $(grep 'Desktop platform' "$E2E_ROOT/on-kwin/log") cpu $(( (k1 - k0) * 1000 / hz )) ms over 60 s, rss $(e2e_resident "$kwin") kB"
echo "X11 reference: $(grep 'Desktop platform' "$E2E_ROOT/on-x11/log") cpu $(( (x1 - x0) * 1000 / hz )) ms over 60 s, rss $(e2e_resident "$x11") kB"
