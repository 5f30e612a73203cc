#!/bin/sh
# Installs the build as a user or a packager would and checks what they get:
# nothing written outside the prefix (or DESTDIR), the launcher on the PATH as a
# relative link, the program with its engine adapter beside it, a desktop
# entry, and an installed launcher that runs the headless tour.
#   install-check.sh BUILD_DIR STAGING_DIR VERSION
set -u
build=$1
stage=$2
version=$3
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# cmake --install in a root that is read-only but for the staging folder and the
# build folder (its install manifest): a write anywhere else fails the install.
confined_install() {
    bwrap --ro-bind / / --dev /dev --proc /proc --bind "$stage" "$stage" --bind "$build" "$build" \
        --setenv DESTDIR "${DESTDIR:-}" cmake --install "$build" "$@" >"$stage/install.log" 2>&1 ||
        fail "cmake --install $* wrote outside its folder or failed: $(tail -n3 "$stage/install.log")"
}

rm -rf "$stage"
mkdir -p "$stage" || fail "cannot make $stage"
stage=$(cd "$stage" && pwd)

# With DESTDIR, everything lands below it, the link relative as ever.
DESTDIR=$stage/dest confined_install --prefix /usr
[ -z "$(find "$stage/dest" -mindepth 1 -maxdepth 1 ! -name usr)" ] ||
    fail "DESTDIR got more than usr/: $(ls "$stage/dest")"
[ -x "$stage/dest/usr/bin/movara-phone" ] || fail "no usr/bin/movara-phone below DESTDIR"

root=$stage/prefix
confined_install --prefix "$root"
for file in lib/movara/movara lib/movara/mplayer lib/movara/movara-geometry lib/movara/movara-phone lib/movara/movara-board; do
    found=$(find "$root" -path "*/$file" -type f -perm -u+x | head -n1)
    [ -n "$found" ] || fail "$file is not an installed program"
done
private=$(dirname "$found")
[ -f "$private/phone-tour.sh" ] || fail "the tour script is not installed"
for language in de fr; do
    [ -f "$private/translations/movara_$language.qm" ] || fail "the $language translation is not installed"
done
[ -L "$root/bin/movara-phone" ] || fail "bin/movara-phone is not a link"
case "$(readlink "$root/bin/movara-phone")" in
/*) fail "bin/movara-phone is an absolute link: it would break outside the staging folder" ;;
esac
[ "$(readlink -f "$root/bin/movara-phone")" = "$private/movara-phone" ] ||
    fail "bin/movara-phone leads to $(readlink -f "$root/bin/movara-phone")"
share=$root/share
entry=$share/applications/org.movara.Movara.desktop
[ -f "$entry" ] || fail "no desktop entry"
grep -qx 'Exec=movara-phone' "$entry" || fail "the desktop entry does not run movara-phone"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon $icon is not installed"
for page in movara movara-phone; do
    [ -f "$share/man/man1/$page.1" ] || fail "no manual page for $page"
    grep -q "Movara $version" "$share/man/man1/$page.1" || fail "the $page manual page has no version"
done
command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null ||
    fail "the checks need desktop-file-validate and appstreamcli (apt install desktop-file-utils appstream)"
said=$(desktop-file-validate "$entry" 2>&1) && [ -z "$said" ] || fail "desktop-file-validate: $said"
said=$(appstreamcli validate --no-net "$share/metainfo/org.movara.Movara.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $said"
grep -q "<launchable type=\"desktop-id\">${entry##*/}</launchable>" "$share/metainfo/org.movara.Movara.metainfo.xml" ||
    fail "the metadata does not launch the installed desktop entry"

said=$("$root/bin/movara-phone" --version 2>&1) || fail "--version failed: $said"
[ "$said" = "movara-phone (Movara) $version" ] || fail "--version said: $said"
"$root/bin/movara-phone" --help 2>&1 | grep -q '^Usage: movara-phone' || fail "--help gives no usage"

# The installed launcher, called through its link, runs the installed program,
# on a phone folder with one short clip (the demo media the launcher makes on
# first use are the phone launcher test's).
phone=$stage/phone
mkdir -p "$phone/video" "$phone/audio" "$phone/playlist" "$phone/card" || fail "cannot make $phone"
printf '[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 1\n' >"$phone/ezx_system.cfg"
touch "$phone/.demo-made"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=10:duration=1.5" -c:v mpeg4 \
    "$phone/video/Clip.avi" || fail "ffmpeg could not make a clip"
env -u DISPLAY "$root/bin/movara-phone" --headless --phone "$phone" --tour "$stage/tour" \
    >"$stage/tour.log" 2>&1 || fail "the installed tour failed: $(tail -n5 "$stage/tour.log")"
grep -q 'movara closed down' "$stage/tour.log" || fail "the tour did not end: $(cat "$stage/tour.log")"
[ "$(find "$stage/tour" -name '*.png' | wc -l)" -ge 5 ] || fail "the tour saved too few screenshots"
echo "installed layout is complete under $root; $said; the installed tour ran"
