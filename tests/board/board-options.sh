#!/bin/bash
# The board command refuses a device that cannot serve in one line and with
# status 1, before the program starts.   board-options.sh BIN_DIR WORK_DIR
set -u
# arguments | what standard error says
while IFS='|' read -r args message; do
    # shellcheck disable=SC2086 # the arguments are words
    said=$(timeout 60 "$1/movara-board" --phone "$2/phone" --touch none $args 2>&1 </dev/null)
    status=$?
    [ "$status" = 1 ] && [ "$said" = "movara-board: $message" ] ||
        { echo "FAIL: $args: status $status, said: $said" >&2; exit 1; }
done <<'ROWS'
--fb /dev/null|/dev/null is no framebuffer (see --fb)
ROWS
