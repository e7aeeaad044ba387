#!/usr/bin/env bash
# With the package installed: on a private X server and session bus, a D-Bus
# call to Kelvo's name starts /usr/bin/kelvo, which answers it; `kelvo quit`
# ends it. Never leaves Kelvo running.
set -u
if [ -z "${KELVO_ACTIVATION_BUS:-}" ]; then
  KELVO_ACTIVATION_BUS=1 exec timeout 120 dbus-run-session -- bash "$0" "$@"
fi
. "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_start_desktop
# What a desktop session does at login, so that activated services find
# the display.
dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME HOME
app_id=io.github.kelvo.Kelvo
timeout 10 kelvo status 2> /dev/null && e2e_fail "Kelvo runs before any call"
reply=$(timeout 30 gdbus call --session --dest $app_id --object-path /io/github/kelvo/Kelvo --method $app_id.Status) ||
  e2e_fail "the call did not start Kelvo"
echo "$reply" | grep -q "'platform': <'x11'>" || e2e_fail "unexpected reply: $reply"
pid=$(echo "$reply" | sed -n "s/.*'pid': <int64 \([0-9]*\)>.*/\1/p")
E2E_PIDS="${E2E_PIDS:-} $pid"
[ "$(readlink "/proc/$pid/exe")" = /usr/bin/kelvo ] || e2e_fail "the activated program ($pid) is not /usr/bin/kelvo"
timeout 20 kelvo quit || e2e_fail "kelvo quit failed"
timeout 10 kelvo status 2> /dev/null && e2e_fail "Kelvo still runs after quit"
echo "D-Bus activation: ok"
