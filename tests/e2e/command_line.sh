#!/usr/bin/env bash
# The kelvo command against a running instance, on a private X server and a
# private session bus, each command checked by what it does: the history
# file, the clipboard read back with xclip, the text that lands in a real
# editor, the panel window. Then pausing (also across a restart), every
# error case, and quit.
# Usage: command_line.sh <kelvo executable>
here="$(cd "$(dirname "$0")" && pwd)"
kelvo=$1
[ -x "$kelvo" ] || { echo "FAIL: no such program: $kelvo" >&2; exit 1; }
# A bus of our own, gone with this script.
if [ -z "${KELVO_E2E_PRIVATE_BUS:-}" ]; then
  KELVO_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
. "$here/lib.sh"
e2e_start_desktop
history=$(e2e_history)
out="$E2E_ROOT/out" err="$E2E_ROOT/err"

# run <expected status> <args...>: runs kelvo with a deadline, keeps its
# output in $out and $err.
run() {
  local want=$1; shift
  local status=0
  timeout 20 "$kelvo" "$@" > "$out" 2> "$err" || status=$?
  [ "$status" = "$want" ] || e2e_fail "kelvo $*: status $status, expected $want; stderr: $(cat "$err")"
}
has_out() { grep -q -- "$1" "$out" || e2e_fail "kelvo output lacks '$1': $(cat "$out")"; }
has_err() { grep -q -- "$1" "$err" || e2e_fail "kelvo error lacks '$1': $(cat "$err")"; }
recorded() { grep -q "\"_0\":\"$1\"" "$history" 2> /dev/null; }
entries() { grep -o '"id":"' "$history" | wc -l; }
start_kelvo() {
  timeout 170 "$kelvo" >> "$E2E_ROOT/kelvo.log" 2>&1 &
  kelvo_pid=$!
  E2E_PIDS="${E2E_PIDS:-} $kelvo_pid"
  wait_for 15 timeout 5 "$kelvo" status || e2e_fail "kelvo did not come up: $(cat "$E2E_ROOT/kelvo.log")"
}
# Copies with xclip and waits until the clipboard reads back the text.
copy_text() {
  e2e_copy "$1"
  wait_for 5 sh -c "[ \"\$(xclip -selection clipboard -o 2>/dev/null)\" = '$1' ]" || e2e_fail "xclip did not take '$1'"
}

# ---- without a running instance -------------------------------------------
run 0 --help
for verb in toggle show settings quit list get copy paste pin unpin delete clear pause resume ignore status; do
  grep -q "^  $verb" "$out" || e2e_fail "--help does not list '$verb'"
done
run 0 --version
[ "$(cat "$out")" = "kelvo 1.0.0" ] || e2e_fail "--version printed '$(cat "$out")'"
for args in "status" "list" "toggle" "get 1" "pause"; do
  run 1 $args
  [ "$(cat "$err")" = "Kelvo is not running" ] || e2e_fail "kelvo $args without an instance: '$(cat "$err")'"
done
# No session bus at all: the same answer, and no bus is launched.
status=0
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$E2E_ROOT/none" timeout 20 "$kelvo" status > "$out" 2> "$err" || status=$?
[ "$status" = 1 ] && [ "$(cat "$err")" = "Kelvo is not running" ] || e2e_fail "without a bus: $status, $(cat "$err")"
# Bad usage comes before the bus: status 2 with the usage text.
for args in "frobnicate" "get" "copy 1 2" "list --bogus" "get 1 --rtf --html" "pin -x 1" "--nope" "ignore" \
            "ignore add" "ignore list x" "ignore drop x"; do
  run 2 $args
  has_err "Usage: kelvo"
done
[ ! -e "$XDG_DATA_HOME/Kelvo" ] || e2e_fail "a command without an instance started one"
# Ignored applications are kept in the preferences file without an instance.
run 0 ignore add secret-keeper.desktop
run 0 ignore add org.example.Unused
run 0 ignore remove org.example.unused
run 1 ignore remove org.example.Unused
has_err "is not ignored"
run 0 ignore list
[ "$(cat "$out")" = secret-keeper ] || e2e_fail "ignore list without an instance: '$(cat "$out")'"

# ---- entries --------------------------------------------------------------
start_kelvo
convert -size 7x5 xc:'#ff8800' "$E2E_ROOT/picture.png"
copy_text alpha
wait_for 5 recorded alpha || e2e_fail "alpha was not recorded"
copy_text beta
wait_for 5 recorded beta || e2e_fail "beta was not recorded"
xclip -selection clipboard -t image/png -i "$E2E_ROOT/picture.png" &
E2E_PIDS="$E2E_PIDS $!"
wait_for 5 sh -c "[ \$(grep -o '\"id\":\"' '$history' | wc -l) = 3 ]" || e2e_fail "the image was not recorded"

run 0 list
[ "$(cut -f1,2 "$out" | tr '\t\n' ':,')" = "1:image,2:text,3:text," ] || e2e_fail "list: $(cat "$out")"
[ "$(sed -n 2p "$out" | cut -f3)" = beta ] || e2e_fail "list line 2: $(sed -n 2p "$out")"
run 0 list --json
for field in '"index": 3' '"kind": "image"' '"preview": "alpha"' '"pinned": false' '"infoLabel":' '"sourceAppName":' '"time": "20'; do
  has_out "$field"
done
alpha_id=$(grep -o '"id": "[^"]*"' "$out" | sed -n 3p | cut -d'"' -f4)
[ -n "$alpha_id" ] || e2e_fail "no id in list --json"
run 0 list --pinned
[ ! -s "$out" ] || e2e_fail "list --pinned of no pinned entry: $(cat "$out")"

# get: text, by id, and an image piped to a file that is the same PNG.
run 0 get 2
[ "$(cat "$out")" = beta ] || e2e_fail "get 2 gave '$(cat "$out")'"
run 0 get "$alpha_id"
[ "$(cat "$out")" = alpha ] || e2e_fail "get by id gave '$(cat "$out")'"
timeout 20 "$kelvo" get 1 > "$E2E_ROOT/got.png" || e2e_fail "get 1 of the image failed"
[ "$(compare -metric AE "$E2E_ROOT/picture.png" "$E2E_ROOT/got.png" null: 2>&1)" = 0 ] ||
  e2e_fail "get 1 did not give the copied image: $(identify "$E2E_ROOT/got.png" 2>&1)"
[ "$(identify -format %m "$E2E_ROOT/got.png")" = PNG ] || e2e_fail "get 1 did not give PNG bytes"

# No such entry: status 1, nothing changed.
before=$(md5sum < "$history")
for args in "get 0" "get 4" "copy 0" "paste 9" "pin 4" "unpin 1" "delete 123e4567-e89b-12d3-a456-426614174000" "get nonsense" "get 2 --rtf" "get 3 --pinned"; do
  run 1 $args
  [ -s "$err" ] || e2e_fail "kelvo $args failed silently"
done
run 1 get 0; has_err "No entry 0"
run 1 delete 123e4567-e89b-12d3-a456-426614174000; has_err "No entry with the id"
[ "$(xclip -selection clipboard -t image/png -o | md5sum)" = "$(md5sum < "$E2E_ROOT/picture.png")" ] ||
  e2e_fail "a failed command changed the clipboard"
[ "$(md5sum < "$history")" = "$before" ] || e2e_fail "a failed command changed the history"

# copy: the clipboard holds alpha, alpha moves first, nothing new is recorded.
run 0 copy 3
wait_for 5 sh -c "[ \"\$(xclip -selection clipboard -o)\" = alpha ]" || e2e_fail "copy 3 did not put alpha on the clipboard"
wait_for 5 sh -c '[ "$(grep -o "\"_0\":\"[^\"]*\"" "'"$history"'" | head -1)" = "\"_0\":\"alpha\"" ]' ||
  e2e_fail "copy did not move alpha first"
run 0 list
[ "$(head -1 "$out" | cut -f3)" = alpha ] || e2e_fail "list after copy: $(cat "$out")"
[ "$(entries)" = 3 ] || e2e_fail "copy recorded a new entry: $(entries)"

# pin / unpin / delete / clear, each seen in the file; the change is
# announced on the bus.
timeout 60 gdbus monitor --session --dest io.github.kelvo.Kelvo > "$E2E_ROOT/signals" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 5 grep -q "Monitoring signals" "$E2E_ROOT/signals" || e2e_fail "gdbus monitor did not start"
run 0 pin 2   # the image
wait_for 5 grep -q '"isPinned":true' "$history" || e2e_fail "pin did not reach the file"
wait_for 5 grep -q "io.github.kelvo.Kelvo.HistoryChanged ()" "$E2E_ROOT/signals" ||
  e2e_fail "no HistoryChanged signal: $(cat "$E2E_ROOT/signals")"
run 0 list --pinned
[ "$(cut -f1,2 "$out")" = "$(printf '1\timage')" ] || e2e_fail "list --pinned after pin: $(cat "$out")"
run 0 pin 1 --pinned   # already pinned: stays pinned
run 0 unpin 1
wait_for 5 sh -c "! grep -q '\"isPinned\":true' '$history'" || e2e_fail "unpin did not reach the file"
run 0 delete "$alpha_id"
wait_for 5 sh -c "! grep -q '\"_0\":\"alpha\"' '$history'" || e2e_fail "delete did not remove alpha"
[ "$(entries)" = 2 ] || e2e_fail "delete left $(entries) entries"
run 0 pin 1
wait_for 5 grep -q '"isPinned":true' "$history" || e2e_fail "pin 1 did not reach the file"
run 0 clear
wait_for 5 sh -c "[ \$(grep -o '\"id\":\"' '$history' | wc -l) = 1 ]" || e2e_fail "clear did not keep only the pinned entry"
grep -q '"isPinned":true' "$history" || e2e_fail "clear removed the pinned entry"
run 0 clear --pinned
wait_for 5 sh -c "[ \$(grep -o '\"id\":\"' '$history' | wc -l) = 0 ]" || e2e_fail "clear --pinned left entries"

# Rich text: its plain text, its HTML and RTF on request; copy --plain
# offers text only, copy every format. (xclip answers a request for text
# with the HTML as it is, so that is the entry's plain text here.)
printf '<b>bold</b> words' | xclip -selection clipboard -t text/html -i &
E2E_PIDS="$E2E_PIDS $!"
wait_for 5 sh -c "timeout 5 '$kelvo' list | grep -q '^1	richText	'" ||
  e2e_fail "the HTML copy was not recorded as rich text: $(timeout 5 "$kelvo" list)"
run 0 list
plain=$(head -1 "$out" | cut -f3)
run 0 get 1
[ "$(cat "$out")" = "$plain" ] || e2e_fail "get of rich text gave '$(cat "$out")', not '$plain'"
run 0 get 1 --html
has_out "<b>bold</b>"
run 0 get 1 --rtf
[ "$(head -c 5 "$out")" = '{\rtf' ] || e2e_fail "get --rtf gave '$(head -c 40 "$out")'"
run 0 copy 1 --plain
wait_for 5 sh -c "[ \"\$(xclip -selection clipboard -o)\" = '$plain' ]" || e2e_fail "copy --plain did not write the text"
xclip -selection clipboard -t TARGETS -o | grep -q 'text/html' && e2e_fail "copy --plain offered HTML"
run 0 copy 1
wait_for 5 sh -c "xclip -selection clipboard -t TARGETS -o | grep -q text/rtf" || e2e_fail "copy did not offer RTF"
xclip -selection clipboard -t text/html -o | grep -q '<b>bold</b>' || e2e_fail "copy did not offer the HTML"
run 0 delete 1

# ---- an ignored application ------------------------------------------------
# xclip under the name of the ignored program, in the foreground so that its
# process is the X client's: its copy is never read, not even asked for
# (it would say "request number 2" once it had served one).
run 0 ignore list
[ "$(cat "$out")" = secret-keeper ] || e2e_fail "the instance does not list the stored ignored application"
cp "$(command -v xclip)" "$E2E_ROOT/secret-keeper"
run 0 list
cp "$out" "$E2E_ROOT/list.before"
printf 'hunter2' | "$E2E_ROOT/secret-keeper" -verbose -selection clipboard -i > "$E2E_ROOT/keeper.out" 2>&1 &
keeper=$!
E2E_PIDS="$E2E_PIDS $keeper"
wait_for 5 grep -q "已忽略来自排除的应用的复制: secret-keeper" "$E2E_ROOT/kelvo.log" ||
  e2e_fail "the ignored copy was not seen: $(tail -3 "$E2E_ROOT/kelvo.log")"
grep -q 'request number 2' "$E2E_ROOT/keeper.out" && e2e_fail "kelvo asked the ignored program for its content"
run 0 list
cmp -s "$out" "$E2E_ROOT/list.before" || e2e_fail "the ignored copy changed the history: $(cat "$out")"
kill "$keeper"
run 0 ignore remove secret-keeper
run 0 ignore list
[ ! -s "$out" ] || e2e_fail "ignore remove left '$(cat "$out")'"
grep -q '^ignoredApplications=' "$XDG_CONFIG_HOME/Kelvo/Kelvo.conf" || e2e_fail "the list is not in Kelvo.conf"

# ---- panel and settings ---------------------------------------------------
run 0 toggle
wait_for 5 panel_shown || e2e_fail "toggle did not show the panel: $(cat "$E2E_ROOT/kelvo.log")"
run 0 show
panel_shown || e2e_fail "show hid the panel"
run 0 toggle
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "toggle did not hide the panel"
run 0 show
wait_for 5 panel_shown || e2e_fail "show did not show the panel"
run 0 toggle
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo$"' || e2e_fail "the second toggle did not hide the panel"
run 0 settings
wait_for 5 xdotool search --onlyvisible --name '^Kelvo Settings$' || e2e_fail "settings did not open the window"
xdotool search --onlyvisible --name '^Kelvo Settings$' windowclose 2> /dev/null || true

# ---- paste into a real editor ---------------------------------------------
copy_text gamma
wait_for 5 recorded gamma || e2e_fail "gamma was not recorded"
copy_text delta
wait_for 5 recorded delta || e2e_fail "delta was not recorded"
: > "$E2E_ROOT/target.txt"
# No accessibility bus or dconf service on the private bus.
export NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
mousepad "$E2E_ROOT/target.txt" > "$E2E_ROOT/mousepad.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
wait_for 20 xdotool search --onlyvisible --name "target.txt" || e2e_fail "the editor did not come up"
editor=$(xdotool search --onlyvisible --name "target.txt" | head -1)
e2e_ensure_wm
wait_for 10 sh -c "xdotool windowactivate $editor; [ \"\$(xdotool getactivewindow)\" = $editor ]" ||
  e2e_fail "the editor did not take the focus"
run 0 paste 2 --plain   # gamma, into the window in front
wait_for 10 sh -c "xdotool key ctrl+s; grep -q gamma '$E2E_ROOT/target.txt'" ||
  e2e_fail "paste did not reach the editor: '$(cat "$E2E_ROOT/target.txt")'; $(tail -3 "$E2E_ROOT/kelvo.log")"
[ "$(cat "$E2E_ROOT/target.txt")" = gamma ] || e2e_fail "the editor holds '$(cat "$E2E_ROOT/target.txt")'"
[ "$(xclip -selection clipboard -o)" = gamma ] || e2e_fail "paste did not leave gamma on the clipboard"
wait_for 5 sh -c "[ \"\$(grep -o '\"_0\":\"[^\"]*\"' '$history' | head -1)\" = '\"_0\":\"gamma\"' ]" ||
  e2e_fail "paste did not move gamma first"

# ---- pause ----------------------------------------------------------------
run 0 pause
run 0 status
has_out "capture: paused"
before=$(md5sum < "$history")
copy_text "while paused"
run 0 status   # a round trip through kelvo's loop after the copy
copy_text "still paused"
run 0 status
[ "$(md5sum < "$history")" = "$before" ] || e2e_fail "a copy during the pause changed the history"
run 0 resume
run 0 status
has_out "capture: recording"
# Recording again: the next copy is recorded, what stood on the clipboard is not.
copy_text epsilon
wait_for 5 recorded epsilon || e2e_fail "epsilon was not recorded after resume"
grep -q 'paused' "$history" && e2e_fail "a copy made during the pause was recorded"
[ "$(entries)" = 3 ] || e2e_fail "expected gamma, delta, epsilon; found $(entries) entries"

# The pause survives a restart.
run 0 pause
grep -q '^capturePaused=true' "$XDG_CONFIG_HOME/Kelvo/Kelvo.conf" || e2e_fail "the pause was not stored"
run 0 quit
wait_for 10 sh -c "! kill -0 $kelvo_pid 2>/dev/null" || e2e_fail "quit left kelvo running"
run 1 status
start_kelvo
run 0 status
has_out "capture: paused"
has_out "entries: 3"
has_out "history file: $history"
has_out "platform: x11"
copy_text "after restart"
run 0 status
run 0 resume
copy_text zeta
wait_for 5 recorded zeta || e2e_fail "zeta was not recorded after resuming"
grep -q 'after restart' "$history" && e2e_fail "a copy made while paused after the restart was recorded"

# ---- quit -----------------------------------------------------------------
run 0 quit
wait_for 10 sh -c "! kill -0 $kelvo_pid 2>/dev/null" || e2e_fail "quit left kelvo running"
run 1 status
echo "command line: ok"
