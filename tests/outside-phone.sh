#!/bin/bash
# Programs that work in the phone's folders, run where there are none (a
# private root of their own, as the machine's root would be): each stops or
# skips, and leaves the root as it found it.
#   outside-phone.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
command -v bwrap >/dev/null || { echo "bwrap is not installed: skipped"; exit 0; }
root=(--tmpfs / --ro-bind /usr /usr --ro-bind /etc /etc --proc /proc --dev /dev --tmpfs /tmp)
for top in /bin /sbin /lib /lib32 /lib64 /libx32; do
    if [ -L "$top" ]; then
        root+=(--symlink "$(readlink "$top")" "$top")
    elif [ -d "$top" ]; then
        root+=(--ro-bind "$top" "$top")
    fi
done
root+=(--ro-bind "$bin" "$bin" --setenv QT_QPA_PLATFORM offscreen)

# the program and its arguments
while read -r program args; do
    [ -x "$bin/$program" ] || fail "$program is not built in $bin"
    # shellcheck disable=SC2016,SC2086 # expanded inside; the arguments are words
    said=$(bwrap "${root[@]}" -- /bin/sh -c \
        'before=$(ls -A /); "$@" >/dev/null 2>&1; after=$(ls -A /); [ "$before" = "$after" ] || echo $after' \
        sh "$bin/$program" $args 2>&1) || fail "$program could not run: $said"
    [ -z "$said" ] || fail "$program made folders in the root: the root holds $said"
done <<'ROWS'
bench_start 1
tst_movaralogic
tst_filebrowser
ROWS
echo "nothing was made in the root"
