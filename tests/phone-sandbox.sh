#!/bin/bash
# Runs a command in a private root that has the phone's fixed folders:
#   phone-sandbox.sh [--phone DIR] [--bind DIR]... [--tmpfs DIR BYTES]... [--] command [args...]
# The root is a tmpfs holding the host's /usr, /etc, /lib* links, /proc, /dev,
# a /tmp of its own (so that what the program keeps in /tmp is not shared with
# tests that run beside it) and the given --bind folders (read-write, same path). DIR is a folder
# laid out like the phone's root: its ezxlocal, mmc and ezx_user sub-folders
# appear as /ezxlocal, /mmc and /ezx_user. Without --phone a fresh temporary
# DIR with empty media roots is made and removed afterwards. --tmpfs puts a
# file system of BYTES at DIR, above the phone's folders (a small one fills up). Nothing is
# created in the machine's own root. PHONE_SANDBOX_DIR names DIR inside.
set -eu

phone=""
binds=()
small=()
while [ $# -gt 0 ]; do
    case "$1" in
    --phone) phone=$2; shift 2 ;;
    --bind) binds+=("$2"); shift 2 ;;
    --tmpfs) small+=(--size "$3" --tmpfs "$2"); shift 3 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--phone DIR] [--bind DIR]... [--tmpfs DIR BYTES]... [--] command [args...]" >&2
    exit 2
fi
if ! command -v bwrap >/dev/null; then
    echo "$0: bwrap (bubblewrap) is not installed" >&2
    exit 2
fi

cleanup=""
if [ -z "$phone" ]; then
    phone=$(mktemp -d "${TMPDIR:-/tmp}/phone-sandbox.XXXXXX")
    cleanup=$phone
    trap 'chmod -R u+rwx "$cleanup" 2>/dev/null; rm -rf "$cleanup"' EXIT
    mkdir -p "$phone/ezxlocal/download/mystuff/MyPhotos" \
        "$phone/ezxlocal/download/mystuff/MyRingTone" \
        "$phone/ezxlocal/download/mystuff/MyPlaylist" \
        "$phone/mmc/mmca1" "$phone/ezx_user/download/appwrite/setup"
fi
phone=$(cd "$phone" && pwd)

args=(--tmpfs / --ro-bind /usr /usr --ro-bind /etc /etc)
for top in /bin /sbin /lib /lib32 /lib64 /libx32; do
    if [ -L "$top" ]; then
        args+=(--symlink "$(readlink "$top")" "$top")
    elif [ -d "$top" ]; then
        args+=(--ro-bind "$top" "$top")
    fi
done
args+=(--tmpfs /tmp --proc /proc --dev /dev)
for extra in /var/cache/fontconfig /run/user; do
    if [ -d "$extra" ]; then
        args+=(--ro-bind "$extra" "$extra")
    fi
done
for dir in "${binds[@]}"; do
    dir=$(cd "$dir" && pwd)
    args+=(--bind "$dir" "$dir")
done
# A session bus whose socket lies in /tmp comes through at its own path.
case "${DBUS_SESSION_BUS_ADDRESS:-}" in
unix:path=/tmp/*)
    bus=${DBUS_SESSION_BUS_ADDRESS#unix:path=}
    bus=${bus%%[,;]*}
    [ -S "$bus" ] && args+=(--bind "$bus" "$bus")
    ;;
esac
for top in ezxlocal mmc ezx_user; do
    if [ -d "$phone/$top" ]; then
        args+=(--bind "$phone/$top" "/$top")
    fi
done
args+=("${small[@]}")
# Root keeps no power to read past file permissions, as the phone's user.
if [ "$(id -u)" = 0 ]; then
    args+=(--cap-drop CAP_DAC_OVERRIDE --cap-drop CAP_DAC_READ_SEARCH)
fi
# Stay in the current folder when the private root has it.
here=$(pwd)
inside=/
for dir in "${binds[@]}"; do
    dir=$(cd "$dir" && pwd)
    case "$here/" in "$dir"/*) inside=$here ;; esac
done
args+=(--setenv PHONE_SANDBOX_DIR "$phone" --chdir "$inside")

bwrap "${args[@]}" -- "$@"
