#!/bin/bash
# Runs a command on a private Xvfb, which picks a free display itself:
#   with-xvfb.sh SCREEN command [args...]     (SCREEN as in 640x480x24)
set -eu
screen=$1
shift
if ! command -v Xvfb >/dev/null; then
    # CI installs it: there a missing server is a fault, elsewhere a skip (77).
    echo "$0: Xvfb is not installed" >&2
    [ "${CI:-}" = true ] && exit 1
    exit 77
fi
# The server writes its display number on fd 1 once it listens.
exec {server}< <(exec Xvfb -displayfd 1 -screen 0 "$screen" -nolisten tcp)
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT
read -r -t 20 number <&"$server" || { echo "$0: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$number" "$@"
