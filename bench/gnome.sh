#!/usr/bin/env bash
# Figures of kelvo on GNOME Shell's Wayland session (a private headless
# shell with Kelvo's extension, started as the end-to-end test starts it),
# each beside its reference measured in the same run:
#   panel    Super+Shift+V to the panel on screen (placed by the extension as
#            the bottom strip), median of 20 showings after the first;
#            reference: the same on X11 (Xvfb with openbox, the panel
#            viewable), the two alternating;
#   capture  the start of a wl-copy to its entry in kelvo's list (`kelvo
#            list`), median of 20; reference: the start of a wl-copy to
#            wl-paste reading it back;
#   idle     CPU time over the same 60 s of kelvo and of gnome-shell with the
#            extension, and of a second shell without it (kelvo there on
#            Xwayland, as when the extension is missing).
# Polled figures print the time of one poll beside them (their resolution).
# Usage: bench/gnome.sh <kelvo> <Kelvo's extension folder> <helper extension folder>
set -euo pipefail
lib="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/lib.sh"
kelvo=$(readlink -f "$1") extension=$(readlink -f "$2") helper=$(readlink -f "$3")
. "$lib"
work=$(mktemp -d)
sessions=()
trap 'kill "${sessions[@]}" 2> /dev/null; wait; rm -rf "$work"' EXIT

# session <name> <start function and arguments...>: starts the desktop and
# kelvo in a subshell that keeps them up; $work/<name> then holds its
# environment (with KELVO_PID).
session() {
  local name=$1
  shift
  (
    trap exit TERM
    "$@"
    timeout 600 "$kelvo" > "$E2E_ROOT/kelvo.log" 2>&1 &
    E2E_PIDS="${E2E_PIDS:-} $!"
    wait_for 30 grep -q 'Registered hotkey' "$E2E_ROOT/kelvo.log" || e2e_fail "$name: kelvo did not start"
    export KELVO_PID=$(pgrep -P $! | head -1)
    export -p > "$work/$name.new" && mv "$work/$name.new" "$work/$name"
    wait
  ) &
  sessions+=($!)
}
in_session() { (. "$work/$1" && shift && "$@"); }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat"; }
shell_pid() {
  local p
  for p in $(pgrep -x gnome-shell); do
    grep -qz "^XDG_RUNTIME_DIR=$1/run\$" "/proc/$p/environ" 2> /dev/null && echo "$p" && return
  done
}

session gnome e2e_start_gnome 600 "$extension" "$helper"
session plain e2e_start_gnome 600 "$helper"
session x11 e2e_start_desktop
wait_for 120 test -f "$work/gnome" -a -f "$work/plain" -a -f "$work/x11" || e2e_fail "the sessions did not start"

# Commands in a session's environment: its bus (g), its display (x).
gnome_bus=$(in_session gnome sh -c 'echo $DBUS_SESSION_BUS_ADDRESS')
x11_display=$(in_session x11 sh -c 'echo $DISPLAY')
g() { DBUS_SESSION_BUS_ADDRESS=$gnome_bus "$@"; }
x() { DISPLAY=$x11_display "$@"; }
gnome_shown() { gnome_json Windows | grep -q '"title":"Kelvo","wmClass":"Kelvo"[^}]*"y":476,"width":1280,"height":324'; }
x11_shown() { xwininfo -name Kelvo 2> /dev/null | grep -q 'Map State: IsViewable'; }
# show <press> <shown> <dismiss> (commands): milliseconds from the press to
# the panel on screen; then dismissed (again while its fade-in still takes
# no keys), and gone again.
show() {
  local start end
  start=$(now_ms)
  $1
  until $2; do [ $(($(now_ms) - start)) -lt 30000 ] || e2e_fail "the panel did not show ($2)"; done
  end=$(now_ms)
  local hide=$3 shown=$2
  dismissed() { $hide && ! $shown; }
  wait_for 10 dismissed || e2e_fail "the panel did not go ($2)"
  echo $((end - start))
}
# poll <command>: the time of one run, the resolution of a polled figure.
poll() { local start=$(now_ms); for _ in 1 2 3 4 5; do $1 > /dev/null || true; done; echo $((($(now_ms) - start) / 5)); }
gnome_panel=("g gnome_keys Super_L Shift_L v" "g gnome_shown" "g gnome_keys Escape")
x11_panel=("x xdotool key super+shift+v" "x x11_shown" "x xdotool key Escape")
# The first showing builds the panel's window: the figures are of later ones.
show "${gnome_panel[@]}" > /dev/null
show "${x11_panel[@]}" > /dev/null
for i in $(seq 20); do
  show "${gnome_panel[@]}" >> "$work/panel-gnome"
  show "${x11_panel[@]}" >> "$work/panel-x11"
done
echo "panel on screen after the shortcut: GNOME $(median < "$work/panel-gnome") ms (poll $(poll "g gnome_shown") ms)," \
  "X11 $(median < "$work/panel-x11") ms (poll $(poll "x x11_shown") ms), medians of 20"

for i in $(seq 20); do
  text="capture-$i-$RANDOM"
  start=$(now_ms)
  printf '%s' "$text" | in_session gnome timeout 5 wl-copy
  until g timeout 5 "$kelvo" list | head -1 | grep -q "$text"; do
    [ $(($(now_ms) - start)) -lt 10000 ] || e2e_fail "the copy $i was not recorded"
  done
  echo $(($(now_ms) - start)) >> "$work/capture"
  start=$(now_ms)
  printf '%s-again' "$text" | in_session gnome timeout 5 wl-copy
  [ "$(in_session gnome timeout 5 wl-paste -n)" = "$text-again" ] || e2e_fail "wl-paste did not read the copy back"
  echo $(($(now_ms) - start)) >> "$work/paste"
done
echo "capture after a wl-copy: $(median < "$work/capture") ms (poll $(poll "g timeout 5 $kelvo list") ms);" \
  "wl-copy then wl-paste: $(median < "$work/paste") ms, medians of 20"

sleep 5 # the last copies' saves end
with=$(in_session gnome sh -c 'echo $KELVO_PID $E2E_GNOME_DIR')
without=$(in_session plain sh -c 'echo $KELVO_PID $E2E_GNOME_DIR')
read -r kelvo_with dir_with <<< "$with"
read -r kelvo_without dir_without <<< "$without"
shell_with=$(shell_pid "$dir_with") shell_without=$(shell_pid "$dir_without")
pids=("$kelvo_with" "$shell_with" "$kelvo_without" "$shell_without")
before=(); for p in "${pids[@]}"; do before+=("$(cpu_ms "$p")"); done
sleep 60
after=(); for p in "${pids[@]}"; do after+=("$(cpu_ms "$p")"); done
echo "idle CPU over 60 s: with the extension kelvo $((after[0] - before[0])) ms, gnome-shell $((after[1] - before[1])) ms;" \
  "without it kelvo (Xwayland) $((after[2] - before[2])) ms, gnome-shell $((after[3] - before[3])) ms"
