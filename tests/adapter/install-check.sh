#!/bin/sh
# Installs the build into a staging folder and checks that a desktop user finds
# Movara there: the launcher on the PATH, the program with its engine adapter
# beside it, and a desktop entry.
#   install-check.sh BUILD_DIR STAGING_DIR
set -u
build=$1
stage=$2
prefix=/usr/local
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
root=$stage$prefix

for file in lib/movara/movara lib/movara/mplayer lib/movara/movara-phone; do
    [ -f "$root/$file" ] && [ -x "$root/$file" ] || fail "$file is not an installed program"
done
[ -f "$root/lib/movara/phone-tour.sh" ] || fail "the tour script is not installed"
[ -L "$root/bin/movara-phone" ] || fail "bin/movara-phone is not a link"
[ "$(readlink -f "$root/bin/movara-phone")" = "$(readlink -f "$root/lib/movara/movara-phone")" ] ||
    fail "bin/movara-phone leads to $(readlink -f "$root/bin/movara-phone")"
case "$(readlink "$root/bin/movara-phone")" in
/*) fail "bin/movara-phone is an absolute link: it would break outside the staging folder" ;;
esac
entry=$root/share/applications/movara.desktop
[ -f "$entry" ] || fail "no desktop entry"
grep -qx 'Exec=movara-phone' "$entry" || fail "the desktop entry does not run movara-phone"
grep -qx 'Type=Application' "$entry" || fail "the desktop entry is not an application"

# The installed launcher, called through its link, finds the installed program
# (it only complains about the tour folder given next).
said=$(env -u DISPLAY "$root/bin/movara-phone" --phone "$stage/phone" --tour /proc/version/tour 2>&1)
case "$said" in
*"tour folder /proc/version/tour is not writable"*) ;;
*) fail "the installed launcher said: $said" ;;
esac
echo "installed layout is complete under $root"
