#!/usr/bin/env bash
# Idle CPU over 60 s and resident set of kelvo on the Wayland platform
# (a private headless sway), beside the same kelvo on the X11 platform (a
# private Xvfb) measured over the same 60 s as the reference. Both run with
# Qt's offscreen platform, so that only the platform layer differs.
#   bash bench/wayland_process.sh build/src/app/kelvo
# As root, sway runs as the user kelvo-test (tools/test.sh creates it).
set -u
kelvo=$(readlink -f "$1")
d=$(mktemp -d /tmp/kelvo-sway-idle.XXXXXX)
printf 'xwayland disable\n' > $d/config
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown kelvo-test: $d $d/config
  as=(runuser -u kelvo-test --)
fi
chmod 700 $d
timeout 200 "${as[@]}" env XDG_RUNTIME_DIR=$d WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c $d/config > $d/log 2>&1 &
swaypid=$!
for i in $(seq 100); do [ -S $d/wayland-1 ] && break; sleep 0.1; done
timeout 200 Xvfb :77 -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
xpid=$!
sleep 1
hw=$(mktemp -d); hx=$(mktemp -d); mkdir -p $hw/run $hx/run; chmod 700 $hw/run $hx/run
env -u DISPLAY WAYLAND_DISPLAY=$d/wayland-1 XDG_RUNTIME_DIR=$hw/run XDG_DATA_HOME=$hw/data XDG_CONFIG_HOME=$hw/config QT_QPA_PLATFORM=offscreen timeout 150 "$kelvo" > $hw/log 2>&1 &
wpid=$!
env -u WAYLAND_DISPLAY DISPLAY=:77 XDG_RUNTIME_DIR=$hx/run XDG_DATA_HOME=$hx/data XDG_CONFIG_HOME=$hx/config QT_QPA_PLATFORM=offscreen timeout 150 "$kelvo" > $hx/log 2>&1 &
xkpid=$!
sleep 5
ticks() { awk '{print $14+$15}' /proc/$(pgrep -P $1 kelvo)/stat; }
rss() { awk '/VmRSS/{print $2}' /proc/$(pgrep -P $1 kelvo)/status; }
w0=$(ticks $wpid); x0=$(ticks $xkpid)
sleep 60
w1=$(ticks $wpid); x1=$(ticks $xkpid)
hz=$(getconf CLK_TCK)
echo "wayland: $(head -1 $hw/log) cpu $(( (w1-w0)*1000/hz )) ms over 60 s, rss $(rss $wpid) kB"
echo "x11 reference: $(head -1 $hx/log) cpu $(( (x1-x0)*1000/hz )) ms over 60 s, rss $(rss $xkpid) kB"
kill $wpid $xkpid $xpid $swaypid 2>/dev/null
wait 2>/dev/null
rm -rf $d $hw $hx
