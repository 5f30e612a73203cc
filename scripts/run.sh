#!/bin/sh
# Sets up a fresh Debian machine, builds Movara and runs it in the phone's world.
# Options after the script's name go to the launcher (launcher/movara-phone --help).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"

# Questions about the launcher need no build.
for arg in "$@"; do
    case "$arg" in
    -h | --help | --version) exec "$ROOT/launcher/movara-phone" "$arg" ;;
    --) break ;;
    esac
done

"$ROOT/scripts/setup-deps.sh"
if [ ! -x "$BUILD/bin/movara" ] || [ ! -x "$BUILD/bin/mplayer" ]; then
    cmake -S "$ROOT" -B "$BUILD" >/dev/null
fi
# The program, its engine adapter and what the launcher's tour needs beside them.
cmake --build "$BUILD" -j"$(nproc)" --target phone >/dev/null
exec "$ROOT/launcher/movara-phone" --build "$BUILD" "$@"
