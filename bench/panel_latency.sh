#!/usr/bin/env bash
# The shortcut to the panel on screen, median of 20, under a headless KWin
# (the shortcut through KDE's shortcut service, pressed on KWin's keyboard
# with tests/e2e/kwin_session) and, in the same run as the reference, under
# a headless sway (a sway binding, pressed with wtype); kelvo's windows on
# each compositor's Xwayland, twelve entries in its history.
#   bash bench/panel_latency.sh build/src/app/kelvo build/tests/e2e/kwin_session build/tests/e2e/panel_latency
# As root everything runs as the user kelvo-test (tools/test.sh creates it).
here="$(cd "$(dirname "$0")" && pwd)"
lib="$here/lib.sh"
[ -f "$lib" ] || lib="$here/../tests/e2e/lib.sh"
. "$lib"
kelvo=$1 session=$2 latency=$3
e2e_as_compositor_user "$0" "$kelvo" "$session" "$latency"

# measure <label> <command that presses the shortcut>...
measure() {
  local label=$1; shift
  timeout 150 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
  E2E_PIDS="${E2E_PIDS:-} $!"
  wait_for 20 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "$label: no shortcut: $(cat "$E2E_ROOT/kelvo.log")"
  e2e_twelve_copies
  echo "== $label"
  timeout 300 "$latency" 20 "$@" || e2e_fail "$label: $(tail -n 3 "$E2E_ROOT/kelvo.log")"
}

e2e_start_sway 400
measure "sway 1.7 (reference)" wtype -M logo -M shift v -m shift -m logo
e2e_stop_session
trap - EXIT

e2e_start_kwin 400 "$kelvo" "$session"
measure "KWin 5.27" "$session" keys super+shift+v
