# The phone launcher's scripted tour, sourced by movara-phone once movara runs
# in its sandbox on a private X server. It drives the phone with real X input,
# saves a screenshot of each step in $tour and tells what happened from the
# program's standard output.
#
# Uses: $tour (the folder), $audio (the audio root), $sandbox_pid, $me, $here,
# $DISPLAY, and "$1", the program.

# Where to tap on the phone's screen (tour_first_row_y, tour_row_text_x,
# tour_soft_key_y, tour_right_soft_key_x, ...): movara-geometry, built beside
# the program, prints them. Sourced, "$1" is the launcher's command: the program.
tour_program_dir=$(dirname "$1")
tour_geometry() {
    local tool
    for tool in "$tour_program_dir/movara-geometry" "$here/movara-geometry"; do
        if [ -x "$tool" ]; then
            eval "$("$tool" tour_)" && tour_second_row_y=$((tour_first_row_y + tour_row_height))
            return
        fi
    done
    return 1
}

tour_log() { echo "$me: tour: $*" >&2; }

tour_alive() { kill -0 "$sandbox_pid" 2>/dev/null; }

# How many lines of the program's output contain the text.
tour_count() {
    local n
    n=$(grep -c -F -- "$1" "$tour/movara-output.txt" 2>/dev/null) || n=0
    echo "$n"
}

# tour_await TEXT COUNT SECONDS: until the output has COUNT lines with TEXT.
tour_await() {
    local end=$((SECONDS + $3))
    while [ "$(tour_count "$1")" -lt "$2" ]; do
        tour_alive || return 1
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}

tour_grab() { import -silent -window root -crop "240x320+${tour_x}+${tour_y}" +repage "ppm:$1" 2>/dev/null; }

# tour_settle [SECONDS]: until the phone's screen differs from the last view it
# settled on and holds still over three grabs, not black (as between a view
# and a video's first picture). A playing video never holds still: after
# SECONDS (2), the screen as it is then.
tour_settle() {
    local end=$((${EPOCHREALTIME//[!0-9]/} + ${1:-2} * 1000000)) still=0
    local seen="$tour/.seen.ppm" now="$tour/.now.ppm" last="$tour/.last.ppm"
    rm -f "$now" "$last"
    while [ "${EPOCHREALTIME//[!0-9]/}" -lt "$end" ] && tour_alive; do
        sleep 0.15
        tour_grab "$now" || continue
        if cmp -s "$now" "$last" && ! cmp -s "$now" "$seen" &&
            [ "$(convert "$now" -format '%[fx:mean>0.02]' info: 2>/dev/null)" = 1 ]; then
            still=$((still + 1))
            [ "$still" -ge 2 ] && break
        else
            still=0
        fi
        mv -f "$now" "$last"
    done
    [ -f "$now" ] || mv -f "$last" "$now" 2>/dev/null
    mv -f "$now" "$seen" 2>/dev/null
    rm -f "$last"
}

tour_shots=()
tour_shot() { # tour_shot NAME WHAT: the view the screen last settled on
    local file
    file=$(printf '%s/%02d-%s.png' "$tour" $((${#tour_shots[@]} + 1)) "$1")
    if convert "$tour/.seen.ppm" "$file" 2>/dev/null; then
        tour_shots+=("$file: $2")
    else
        tour_log "could not save $file"
    fi
}

# A tap sooner than the double-tap time after the last one would be taken as
# its second half.
tour_tapped=0
tour_tap() {
    local wait=$((tour_tapped + 600000 - ${EPOCHREALTIME//[!0-9]/}))
    [ "$wait" -gt 0 ] && sleep "$(printf '0.%06d' "$wait")"
    xdotool mousemove --window "$tour_wid" "$1" "$2" click 1 >/dev/null 2>&1
    tour_tapped=${EPOCHREALTIME//[!0-9]/}
}

# The phone's window, and where it sits on the X screen.
tour_find_window() {
    local end=$((SECONDS + 30))
    tour_wid=""
    while [ -z "$tour_wid" ]; do
        tour_alive || return 1
        [ "$SECONDS" -lt "$end" ] || return 1
        tour_wid=$(xdotool search --onlyvisible --name '^Movara$' 2>/dev/null | head -n1)
        [ -n "$tour_wid" ] || sleep 0.1
    done
    local X=0 Y=0
    eval "$(xdotool getwindowgeometry --shell "$tour_wid" 2>/dev/null | grep -E '^[XY]=[0-9]+$')"
    tour_x=$X tour_y=$Y
}

tour_fail() {
    tour_log "$1"
    tour_report
    return 1
}

tour_report() {
    local out="$tour/movara-output.txt"
    rm -f "$tour/.seen.ppm"
    echo "What happened (from movara's output, $out):"
    # A file the engine could not play is named as skipped, with its reason.
    grep -E "^(fileChanged|mediumCannotPlay) : " "$out" |
        sed -e 's/^fileChanged : /  played /' -e 's/^mediumCannotPlay : .* : \(.*\)$/    could not play it, skipped (\1)/'
    [ "$(tour_count "slotIdleTimerShot")" -ge "$(tour_count "fileChanged : ")" ] &&
        grep -q -F "fileChanged : " "$out" && echo "  the last file ended: MPlayer was told to quit, back to the browser"
    grep -q -F "MvApplication::destroy()" "$out" && echo "  movara closed down (its teardown ran to the end)"
    [ -s "$tour/movara-errors.txt" ] && echo "  movara's error output: $tour/movara-errors.txt"
    echo "Screenshots:"
    local shot
    for shot in "${tour_shots[@]}"; do
        echo "  $shot"
    done
}

# The audio root's first file, if it has one: the now-playing view, and the
# notice for a file that cannot play when the next one is such a file. F2
# stops, Back returns to the roots.
tour_audio() {
    local before
    before=$(tour_count "fileChanged : ")
    tour_tap "$tour_row_text_x" "$tour_second_row_y"
    tour_settle
    tour_tap "$tour_row_text_x" "$tour_first_row_y"
    # A root without a file plays nothing: no need to wait and see.
    if [ -n "$(find "$audio" -mindepth 1 -maxdepth 1 -type f -print -quit 2>/dev/null)" ] &&
        tour_await "fileChanged : " $((before + 1)) 5; then
        tour_settle
        tour_shot now-playing "an audio file playing: the now-playing view"
        # A file that cannot play is skipped with a notice over the next one.
        if tour_await "fileChanged : " $((before + 3)) 25; then
            tour_settle 1
            tour_shot cannot-play "a file that cannot play, skipped with a notice"
        fi
        tour_alive || tour_fail "movara ended while playing audio" || return 1
        xdotool key --window "$tour_wid" F2 >/dev/null 2>&1
        tour_settle
    else
        tour_log "the audio root has no file to play"
    fi
    tour_tap "$tour_right_soft_key_x" "$tour_soft_key_y"
    tour_settle
}

run_tour() {
    local played
    tour_log "screenshots go to $tour"
    tour_geometry || tour_fail "movara-geometry is not built beside movara in $tour_program_dir" || return 1
    tour_find_window || tour_fail "the phone's window did not appear" || return 1
    tour_settle
    tour_shot browser "the browser at the four media roots"

    tour_tap "$tour_row_text_x" "$tour_first_row_y"
    tour_settle
    tour_shot video-root "the video root, opened with a tap"

    tour_tap "$tour_row_text_x" "$tour_first_row_y"
    tour_await "fileChanged : " 1 10 || tour_fail "tapping the first file played nothing" || return 1
    tour_settle
    tour_shot playing-1 "the first file playing"

    # The folder plays through: each new file gets a screenshot. Each file's end
    # is told by an idle line; the next file follows it at once, unless it was the last.
    played=1
    local end=$((SECONDS + 120)) ended=0
    while [ "$ended" -lt 3 ]; do
        tour_alive || tour_fail "movara ended while playing" || return 1
        [ "$SECONDS" -lt "$end" ] || tour_fail "the folder did not finish playing" || return 1
        if [ "$(tour_count "fileChanged : ")" -gt "$played" ]; then
            played=$((played + 1))
            tour_settle
            tour_shot "playing-$played" "file $played playing"
        fi
        if [ "$(tour_count "slotIdleTimerShot")" -ge "$(tour_count "fileChanged : ")" ]; then
            ended=$((ended + 1))
        else
            ended=0
        fi
        sleep 0.1
    done
    tour_settle
    tour_shot browser-again "back in the browser after the last file"

    tour_tap "$tour_right_soft_key_x" "$tour_soft_key_y"
    tour_settle
    tour_shot roots "Back: the media roots again"

    tour_audio || return 1
    tour_tap "$tour_right_soft_key_x" "$tour_soft_key_y"

    local waited=0
    while tour_alive && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    tour_alive && tour_fail "movara did not exit after Exit" && return 1
    wait "$sandbox_pid"
    local status=$?
    tour_report
    echo "movara exited with status $status"
    return "$status"
}
