#!/bin/sh
# Installs the Debian packages Movara builds, runs and tests with, when any is missing.
set -eu
PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev libx11-dev libxcb1-dev
mplayer mpv ffmpeg xvfb xauth x11-utils xdotool imagemagick bubblewrap procps fonts-dejavu-core
desktop-file-utils appstream clang-format libtag1-dev dbus playerctl pulseaudio pulseaudio-utils
qemu-system-x86 linux-image-amd64 busybox-static cpio alsa-utils"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "Please install as root:$missing" >&2; exit 1; }
    SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q || true
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
