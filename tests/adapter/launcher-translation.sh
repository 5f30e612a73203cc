#!/bin/bash
# The launcher gives the program the translation for the user's locale as
# <base name>.qm beside it in the sandbox, and none for C, POSIX or English.
# A stand-in program prints what it finds there.
#   launcher-translation.sh LAUNCHER WORK_DIR
set -u
launcher=$1
work=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work/build/bin/translations" "$work/phone"/{video,audio,playlist,card} || fail "cannot make $work"
work=$(cd "$work" && pwd)
bin=$work/build/bin
printf '#!/bin/sh\nq="$(dirname "$0")/movara.qm"\n[ -f "$q" ] && cat "$q" || echo none\n[ -x "$(dirname "$0")/mplayer" ] || echo no-engine\n' >"$bin/movara"
printf '#!/bin/sh\n' >"$bin/mplayer"
chmod +x "$bin/movara" "$bin/mplayer"
for language in de fr pt_BR; do
    echo "$language" >"$bin/translations/movara_$language.qm"
done
printf 'Brightness = 60\nLcdSleepTime = 1\n' >"$work/phone/ezx_system.cfg"
touch "$work/phone/.demo-made"

# LC_ALL | LC_MESSAGES | LANG | the translation given
while IFS='|' read -r all messages lang expected; do
    got=$(env -i PATH="$PATH" HOME="$work" DISPLAY=:0 LC_ALL="$all" LC_MESSAGES="$messages" LANG="$lang" \
        "$launcher" --phone "$work/phone" --build "$work/build" 2>"$work/errors")
    [ "$got" = "$expected" ] ||
        fail "LC_ALL='$all' LC_MESSAGES='$messages' LANG='$lang' gave '$got', not '$expected' ($(cat "$work/errors"))"
done <<'ROWS'
||de_DE.UTF-8|de
||de_AT@euro|de
fr_FR.UTF-8||de_DE.UTF-8|fr
|fr_CA.UTF-8|de_DE.UTF-8|fr
||pt_BR.UTF-8|pt_BR
||C.UTF-8|none
||POSIX|none
||en_GB.UTF-8|none
|C|de_DE.UTF-8|none
||es_ES.UTF-8|none
|||none
ROWS
[ ! -e "$bin/movara.qm" ] || fail "the launcher wrote movara.qm into the program's folder"
echo "each locale got its translation"
