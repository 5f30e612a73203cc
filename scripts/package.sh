#!/bin/sh
# Builds Movara's Debian package from the files of this tree (in a git checkout:
# tracked and new, not ignored ones) in a fresh copy, checks it with lintian and puts the .deb in
# dist/. Installs the packaging tools and the build dependencies when missing.
#   scripts/package.sh             build dist/movara_<version>_<arch>.deb
#   scripts/package.sh --install   then install it with apt and run its headless tour
# DEB_BUILD_OPTIONS=nocheck skips building and running the unit tests.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DIST="$ROOT/dist"
install=0
for arg in "$@"; do
    case "$arg" in
    --install) install=1 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "Please run as root or install sudo" >&2; exit 1; }
    SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive

TOOLS="dpkg-dev debhelper devscripts lintian fakeroot equivs"
missing=""
for p in $TOOLS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    $SUDO apt-get update -q || true
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -q --no-install-recommends $missing
fi
$SUDO apt-get build-dep -y -q "$ROOT" >/dev/null

# The version in debian/changelog is the project's.
version=$(sed -n 's/^project(Movara VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
package_version=$(dpkg-parsechangelog -l "$ROOT/debian/changelog" -S Version)
[ "$version" = "$package_version" ] || {
    echo "debian/changelog is at $package_version, the project at $version: add a changelog entry (dch -v $version)" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/movara-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/movara-$version"
if git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$ROOT" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 tar -cf - --ignore-failed-read) | tar -xf - -C "$work/movara-$version"
else
    tar -C "$ROOT" --exclude='./build*' --exclude=./dist --exclude='./obj-*' -cf - . |
        tar -xf - -C "$work/movara-$version"
fi
(cd "$work/movara-$version" && dpkg-buildpackage -us -uc -b)
lintian --fail-on error --suppress-tags-from-file /dev/null "$work"/movara_"$version"_*.changes
mkdir -p "$DIST"
cp "$work"/movara_"$version"_*.deb "$DIST/"
for deb in "$DIST"/movara_"$version"_*.deb; do break; done
echo "Built $deb"

if [ "$install" = 1 ]; then
    $SUDO apt-get install -y -q "$deb"
    env -u DISPLAY /usr/bin/movara-phone --headless
fi
