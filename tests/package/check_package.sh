#!/usr/bin/env bash
# Builds the .deb from a build tree, unpacks it into a temporary root and
# checks it as a desktop would see it: the files in their places, a valid
# desktop entry, Debian's runtime packages as dependencies, and an installed
# console that shows its window and ends cleanly when the window is closed.
#
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb=
console=
cleanup() {
    [ -n "$console" ] && kill "$console" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb --field "$deb" Depends)
echo "depends: $depends"
grep -Eq 'libqt[56]widgets[56]' <<< "$depends" || fail "no Qt Widgets runtime in Depends"
grep -Eq 'libqt[56]network[56]' <<< "$depends" || fail "no Qt Network runtime in Depends"
grep -q 'libxlsxwriter' <<< "$depends" || fail "no libxlsxwriter runtime in Depends"
grep -q 'libsodium' <<< "$depends" || fail "no libsodium runtime in Depends"
grep -q 'libssl3' <<< "$depends" || fail "no OpenSSL crypto runtime in Depends"
grep -q 'fonts-wqy-microhei' <<< "$depends" || fail "no font with the full-width forms in Depends"
grep -Eq 'libqt(5sql5|6sql6)-sqlite' <<< "$depends" || fail "no SQLite driver for the record store in Depends"
grep -Eq 'libqt(5sql5|6sql6)-psql' <<< "$depends" || fail "no PostgreSQL driver for a lab's records server in Depends"
grep -Eq 'qt(translations5|6-translations)-l10n' <<< "$depends" || fail "no Chinese for Qt's own dialogs in Depends"

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/dosegate-console usr/bin/controller-sim \
            usr/share/applications/dosegate-console.desktop usr/share/pixmaps/dosegate-console.png; do
    [ -f "$root/$file" ] || fail "$file is not in the package"
done
[ -x "$root/usr/bin/dosegate-console" ] || fail "the console is not executable"
desktop-file-validate "$root/usr/share/applications/dosegate-console.desktop" || fail "desktop entry"
grep -qx 'Exec=dosegate-console' "$root/usr/share/applications/dosegate-console.desktop" || fail "Exec"
grep -qx 'Icon=dosegate-console' "$root/usr/share/applications/dosegate-console.desktop" || fail "Icon"
file -b "$root/usr/share/pixmaps/dosegate-console.png" | grep -q '^PNG image data, 518 x 408' || fail "icon"

# The installed console, on a display of its own, closed like a user would.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
unset QT_QPA_PLATFORM
"$root/usr/bin/dosegate-console" > "$work/console.log" 2>&1 &
console=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^ZORVEK$' | head -n 1) || fail "no console window"
echo "window shown: $window"
/usr/bin/python3 "$here/close_window.py" "$window"
status=0
timeout 20 tail --pid="$console" -f /dev/null || fail "the console did not end after its window was closed"
wait "$console" || status=$?
console=
[ "$status" -eq 0 ] || { cat "$work/console.log"; fail "the console ended with status $status"; }
echo "the installed console showed its window and ended cleanly"
