#!/usr/bin/env bash
# Runs kelvo_soak against the real kelvo on a private X server (Xvfb with
# openbox; with KELVO_SOAK_SWAY=1 a headless sway and its Xwayland instead),
# a private session bus and private XDG directories, and prints its report.
#   bench/soak.sh <kelvo_soak> screenshots <kelvo> [count]
#   bench/soak.sh <kelvo_soak> idle <kelvo> <seconds> [<another kelvo>...]
#   bench/soak.sh <kelvo_soak> day <kelvo> <minutes> [seed]
# Everything runs under a time limit: the day gets its minutes plus ten, the
# other modes an hour.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mode=$2
args=()
for a in "$@"; do [ -e "$a" ] && args+=("$(realpath "$a")") || args+=("$a"); done
[ -x "${args[0]}" ] || { echo "FAIL: no such program: $1" >&2; exit 1; }
[ -x "${args[2]}" ] || { echo "FAIL: no such program: $3" >&2; exit 1; }
limit=3600
[ "$mode" = day ] && limit=$(( ${4:-30} * 60 + 600 ))
# A bus of our own, gone with this script.
if [ -z "${KELVO_SOAK_PRIVATE_BUS:-}" ]; then
  KELVO_SOAK_PRIVATE_BUS=1 exec timeout -k 10 "$limit" dbus-run-session -- bash "$0" "${args[@]}"
fi
# The shared helpers are written for scripts that go on after a failed
# command (a window manager's first start may fail and is tried again).
set +e
. "$here/../tests/e2e/lib.sh"
# Ended by a time limit: the servers go with the run (the EXIT trap).
trap 'exit 1' TERM INT HUP
if [ -n "${KELVO_SOAK_SWAY:-}" ]; then
  e2e_start_sway "$limit"
else
  e2e_start_desktop
fi
cd "$E2E_ROOT"
status=0
"${args[0]}" "${args[@]:1}" || status=$?
[ "$status" = 0 ] || echo "kelvo's log: $(tail -n 20 "$E2E_ROOT/kelvo.log" 2> /dev/null)" >&2
exit "$status"
