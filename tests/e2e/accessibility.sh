#!/usr/bin/env bash
# What a screen reader reads of the real kelvo (atspi_names.py), through the
# AT-SPI bus of a private session bus, in English and in Chinese.
# Usage: accessibility.sh <kelvo executable>
if [ -z "${KELVO_E2E_PRIVATE_BUS:-}" ]; then
  KELVO_E2E_PRIVATE_BUS=1 exec timeout -k 5 170 dbus-run-session -- bash "$0" "$@"
fi
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
e2e_start_kelvo_desktop "$1"

# The accessibility bus, and Qt's bridge to it on without asking the desktop.
/usr/libexec/at-spi-bus-launcher --launch-immediately > "$E2E_ROOT/atspi.log" 2>&1 &
E2E_PIDS="$!"
a11y_bus_up() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.a11y.Bus | grep -q true
}
wait_for 10 a11y_bus_up || e2e_fail "the AT-SPI bus did not start: $(cat "$E2E_ROOT/atspi.log")"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
atspi() { timeout 30 /usr/bin/python3 "$here/atspi_names.py" "$@"; }

for run in en_US:en zh_CN:zh; do
  locale=${run%%:*} language=${run##*:}
  LANG="$locale.UTF-8" "$kelvo" > "$E2E_ROOT/kelvo-$language.log" 2>&1 &
  pid=$!
  E2E_PIDS="$E2E_PIDS $pid"
  # Its signals are handled once it has chosen its platform.
  wait_for 10 grep -q 'Desktop platform' "$E2E_ROOT/kelvo-$language.log" ||
    e2e_fail "kelvo did not start: $(cat "$E2E_ROOT/kelvo-$language.log")"
  [ "$language" = en ] && for text in alpha beta; do
    e2e_copy "$text"
    wait_for 5 grep -q "\"$text\"" "$history" || e2e_fail "$text was not recorded"
  done

  kill -USR1 "$pid"
  wait_for 5 panel_ready || e2e_fail "the panel did not come to the front"
  atspi panel "$language" || e2e_fail "the panel ($language)"
  kill -USR1 "$pid"
  wait_for 5 sh -c '! xdotool search --onlyvisible --name "^Kelvo\$"' || e2e_fail "the panel did not hide"
  kill -USR2 "$pid"
  atspi settings "$language" || e2e_fail "the settings window ($language)"

  kill "$pid"
  wait "$pid" 2> /dev/null
done
echo "PASS"
