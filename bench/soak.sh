#!/usr/bin/env bash
# Runs kelvo_soak against the real kelvo on a private X server (Xvfb with
# openbox), a private session bus and private XDG directories, and prints
# its report.
#   bench/soak.sh <kelvo_soak> screenshots <kelvo> [count]
#   bench/soak.sh <kelvo_soak> day <kelvo> <minutes> [seed]
# Everything runs under a time limit: the whole run gets the day's minutes
# plus ten, or half an hour for the screenshots.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
soak=$(realpath "$1"); mode=$2; kelvo=$(realpath "$3")
[ -x "$soak" ] || { echo "FAIL: no such program: $soak" >&2; exit 1; }
[ -x "$kelvo" ] || { echo "FAIL: no such program: $kelvo" >&2; exit 1; }
# A bus of our own, gone with this script.
if [ -z "${KELVO_SOAK_PRIVATE_BUS:-}" ]; then
  KELVO_SOAK_PRIVATE_BUS=1 exec timeout -k 10 "$(( ${4:-30} * 60 + 600 ))" dbus-run-session -- bash "$0" "$@"
fi
. "$here/../tests/e2e/lib.sh"
e2e_start_desktop
cd "$E2E_ROOT"
status=0
"$soak" "$mode" "$kelvo" "${@:4}" || status=$?
[ "$status" = 0 ] || echo "kelvo's log: $(tail -n 20 "$E2E_ROOT/kelvo.log" 2> /dev/null)" >&2
exit "$status"
