#!/usr/bin/env bash
# Builds the Debian package from the plain build and, with --install (as
# root, as CI does), installs it with apt-get and checks what it installed:
# the command, the manual page, the AppStream metadata, the desktop entry,
# D-Bus activation, the GNOME Shell extension, and lintian on the package.
#   tools/package.sh              build build/kelvo_<version>_<arch>.deb
#   tools/package.sh --install    the same, then install and check it
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${KELVO_BUILD_DIR:-build}"
app_id=io.github.kelvo.Kelvo
"$root/tools/install-deps.sh"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" --target kelvo kelvo_package_data kelvo_gnome_extension
rm -f "$build"/kelvo_*.deb
(cd "$build" && cpack -G DEB > cpack.log) || { cat "$build/cpack.log"; exit 1; }
deb=$(realpath --relative-to=. "$(ls "$build"/kelvo_*.deb)")
echo "package: $deb"
dpkg-deb -f "$deb" Package Version Installed-Size Depends
[ "${1:-}" = --install ] || exit 0

# --reinstall: a rebuilt package of the same version replaces the installed one.
apt-get install -y --reinstall "./$deb"
kelvo --version
kelvo --help > /dev/null
man_page=/usr/share/man/man1/kelvo.1.gz
if [ ! -e "$man_page" ]; then
  # Some minimal images drop manual pages when packages are installed.
  echo "note: $man_page was not installed (dpkg path-exclude?); checking the one in the package"
  tmp=$(mktemp -d)
  dpkg-deb -x "$deb" "$tmp"
  man_page="$tmp/usr/share/man/man1/kelvo.1.gz"
fi
MANWIDTH=80 man -l "$man_page" > /dev/null
man --warnings -E UTF-8 -l "$man_page" 2>&1 > /dev/null | (! grep .) || { echo "man page warnings" >&2; exit 1; }
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
desktop-file-validate "/usr/share/applications/$app_id.desktop"
# KWin grants its interfaces to the executable the entry names by its path.
grep -qx 'Exec=/usr/bin/kelvo' "/usr/share/applications/$app_id.desktop" || { echo "desktop entry: no Exec=/usr/bin/kelvo" >&2; exit 1; }
for f in /usr/share/icons/hicolor/scalable/apps/$app_id.svg /usr/share/icons/hicolor/{16x16,48x48,256x256}/apps/$app_id.png \
         /usr/share/dbus-1/services/$app_id.service /usr/share/bash-completion/completions/kelvo \
         /usr/share/gnome-shell/extensions/kelvo@kelvo.github.io/{metadata.json,extension.js,schemas/gschemas.compiled}; do
  [ -s "$f" ] || { echo "missing: $f" >&2; exit 1; }
done
bash "$root/tools/check-activation.sh"
lintian "$deb"
echo "package checks passed"
