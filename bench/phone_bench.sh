#!/bin/bash
# Movara beside a floor and SMPlayer (Debian's desktop MPlayer front-end) on one
# private X server, with the same MPlayer, the same audio driver (sdl, on SDL's
# dummy device, real time) and the same media; Movara also with mpv behind its
# adapter (MOVARA_ENGINE=mpv), side by side with MPlayer:
#   floor      bench's floorplayer: a bare Qt 6 Widgets window that runs MPlayer
#              itself, with the engine arguments Movara's adapter gives it, and
#              reads its output with readAll and nothing else;
#   Movara     build/bin/movara alone, in the phone's sandbox (the launcher's own
#              bubblewrap arguments, taken once per run, without the launcher);
#              through the launcher, for start-up only;
#   SMPlayer   started bare, with a preseeded configuration: no version dialog,
#              no hand-off to a running instance.
# Each measurement starts a fresh instance; rounds are interleaved. Figures:
# start to window on screen; tap to first video frame (floor and Movara), start
# with the clip to first frame (floor and SMPlayer); CPU time (all threads, from
# /proc, in nanoseconds) per minute of video and of mp3 playback, the front-end's, Movara's
# engine adapter's and the engine's; resident memory idle and playing; and, from
# bench_gap, what is heard between files (recorded sound). Each is a median with
# min and max, and its ratio to the floor in the same run. Prints figures; asserts
# nothing. Installs smplayer with apt-get when missing.
#   bench/phone_bench.sh [BUILD_DIR] [--quick] [--rounds N] [--seconds S]
# Full run: 3 rounds of 60 s samples, about 35 minutes. --quick: 1 round of
# 10 s samples, about 4 minutes, for trying it.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=3 seconds=60 build_arg=""
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) rounds=1 seconds=10 ;;
    --rounds) rounds=${2:?}; shift ;;
    --seconds) seconds=${2:?}; shift ;;
    -*) echo "usage: $0 [BUILD_DIR] [--quick] [--rounds N] [--seconds S]" >&2; exit 2 ;;
    *) build_arg=$1 ;;
    esac
    shift
done
build=$(cd "${build_arg:-$root/build}" && pwd) || exit 2
bin=$build/bin
for tool in movara-phone movara mplayer phonewatch floorplayer movara-geometry bench_gap; do
    [ -x "$bin/$tool" ] || {
        echo "build first: cmake --build $build ($bin/$tool is missing)" >&2
        exit 2
    }
done
# Tap points in Movara's window, "x y" from its top left corner.
eval "$("$bin/movara-geometry")"
tap_first_row="$row_text_x $first_row_y"                   # the video root, a folder's first file
tap_second_row="$row_text_x $((first_row_y + row_height))" # the second root: the audio root
for tool in Xvfb xdotool ffmpeg bwrap /usr/bin/mplayer /usr/bin/mpv; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: run scripts/setup-deps.sh" >&2
        exit 2
    }
done
if ! command -v smplayer >/dev/null; then
    echo "Installing smplayer for the comparison" >&2
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    DEBIAN_FRONTEND=noninteractive timeout 600 $sudo apt-get install -y -q --no-install-recommends \
        smplayer >/dev/null || exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/movara-bench.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do stop_tree "$pid"; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# Nothing can hang the run: past this it ends, cleaning up.
(
    trap 'kill $nap 2>/dev/null; exit 0' TERM
    sleep $((rounds * seconds * 10 + 1200)) &
    nap=$!
    wait $nap && echo "phone_bench: out of time" >&2 && kill -TERM $$
) &
watchdog=$!
trap 'kill $watchdog 2>/dev/null; cleanup' EXIT

# --- Processes ------------------------------------------------------------------

descendants() { # descendants PID: every process below it
    local child
    for child in $(pgrep -P "$1"); do
        echo "$child"
        descendants "$child"
    done
}
descendant() { # descendant PID NAME: the first process below PID with that command name
    local child
    for child in $(descendants "$1"); do
        [ "$(cat "/proc/$child/comm" 2>/dev/null)" = "$2" ] && echo "$child" && return 0
    done
    return 1
}
alive() { [ -d "/proc/$1" ] && ! grep -q '^State:.*[ZX]' "/proc/$1/status" 2>/dev/null; }
all_gone() {
    local pid
    for pid in "$@"; do alive "$pid" && return 1; done
    return 0
}
# Ends a process tree of ours: the front-end first (TERM), so that its own
# teardown ends its engine, then whatever is left; waits at most a few seconds.
stop_tree() { # stop_tree PID [FRONT_END_PID]
    local all
    mapfile -t all < <(echo "$1" && descendants "$1")
    kill -TERM "${2:-$1}" 2>/dev/null
    for _ in $(seq 40); do alive "${2:-$1}" || break; sleep 0.05; done
    kill -TERM "${all[@]}" 2>/dev/null
    for _ in $(seq 40); do all_gone "${all[@]}" && break; sleep 0.05; done
    kill -KILL "${all[@]}" 2>/dev/null
    wait "$1" 2>/dev/null
    local kept=() pid
    for pid in "${pids[@]}"; do [ "$pid" != "$1" ] && kept+=("$pid"); done
    pids=("${kept[@]}")
}
start_bg() { # start_bg COMMAND...: runs it in the background; its pid in $started
    "$@" >>"$work/output.txt" 2>&1 &
    started=$!
    pids+=("$started")
}

# --- Measurements ----------------------------------------------------------------

now_ns() { date +%s%N; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
# CPU time per minute of each process (all its threads) over SECONDS: each
# thread's run time in nanoseconds from /proc, read every second, so that a
# thread that ends in between (a thread pool's idle one) counts up to its last
# second. Prints one figure in milliseconds per process, "-" for one that ended.
cpu_per_minute() { # cpu_per_minute SECONDS PID...
    local -A first=() last=()
    local tick pid file tid ns t0 t1 sum key
    for ((tick = 0; tick <= $1; tick++)); do
        [ "$tick" -gt 0 ] && sleep 1
        [ "$tick" -eq "$1" ] && t1=$(now_ns)
        for pid in "${@:2}"; do
            for file in "/proc/$pid/task/"*/schedstat; do
                { read -r ns _ <"$file"; } 2>/dev/null || continue
                tid=${file#/proc/"$pid"/task/}
                key=$pid:${tid%/schedstat}
                [ "$tick" -eq 0 ] && first[$key]=$ns
                last[$key]=$ns
            done
        done
        [ "$tick" -eq 0 ] && t0=$(now_ns)
    done
    for pid in "${@:2}"; do
        if ! alive "$pid"; then
            echo -
            continue
        fi
        sum=0
        for key in "${!last[@]}"; do
            [ "${key%%:*}" = "$pid" ] && sum=$((sum + last[$key] - ${first[$key]:-0}))
        done
        echo $((sum * 60000 / (t1 - t0)))
    done
}

declare -A results
record() { results[$1]="${results[$1]:-} $2"; } # record KEY VALUE ("-" for a failed try)

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
tap() { # tap WINDOW "X Y"
    local x y
    read -r x y <<<"$2"
    xdotool mousemove --window "$1" "$x" "$y" click 1
}
watch_window() { "$bin/phonewatch" window "$@" 2>/dev/null || echo -; }
watch_red() { "$bin/phonewatch" colour ff0000 "$red_share" "$@" 2>/dev/null || echo -; }
no_red() { "$bin/phonewatch" colour ff0000 "$red_share" --below --timeout 10 >/dev/null 2>&1; }

# --- The X server, the media, the front-ends --------------------------------------

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 2; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
export XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=dummy MOVARA_MPLAYER_AO=sdl
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The clip: red with a small moving test picture, and sound; a tone as mp3.
length=$((seconds + 30))
mkdir -p "$work/videos" "$work/audio"
clip=$work/videos/clip.avi tone=$work/audio/tone.mp3
ffmpeg -nostdin -v error -f lavfi -i "color=c=red:size=320x240:rate=25:duration=$length" \
    -f lavfi -i "testsrc=size=96x72:rate=25:duration=$length" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$length" \
    -filter_complex "[0][1]overlay=10:10" -c:v mpeg4 -q:v 4 -c:a mp2 -shortest "$clip" || exit 2
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$length" \
    -c:a libmp3lame "$tone" || exit 2
red_share=0.08 # a playing clip's red covers at least this share of the 800 x 600 screen

launcher=(timeout -s KILL 3600 "$bin/movara-phone" --phone "$work/phone" --video "$work/videos"
    --audio "$work/audio")

echo "Warming up (phone folder, caches), taking the launcher's sandbox and MPlayer's arguments ..." >&2
# (From the program's folder, which the sandbox then holds; a one-line script,
# as the arguments are read one a line.)
mapfile -t sandbox < <(cd "$bin" && "${launcher[@]}" -- /bin/sh -c 'p=$$; while [ "$p" -gt 1 ] && [ "$(cat /proc/$p/comm)" != bwrap ]; do p=$(sed "s/^.*) //" /proc/$p/stat | cut -d" " -f2); done; tr "\0" "\n" </proc/$p/cmdline' 2>>"$work/output.txt")
# The sandbox's arguments end with "--", what the launcher runs the command
# with, if anything, and the command (sh -c SCRIPT).
if [ "${#sandbox[@]}" -gt 4 ] && [ "${sandbox[0]##*/}" = bwrap ] &&
    [ "${sandbox[-3]}" = /bin/sh ] && [ "${sandbox[-2]}" = -c ] &&
    printf '%s\n' "${sandbox[@]}" | grep -qx -- --; then
    movara_alone=(timeout -s KILL 3600 "${sandbox[@]:0:${#sandbox[@]}-3}" "$bin/movara")
else
    echo "could not take the launcher's sandbox; Movara runs through the launcher" >&2
    movara_alone=("${launcher[@]}")
fi
start_bg "${movara_alone[@]}"
w=$([ "$(watch_window Movara --timeout 120)" != - ] && window_of '^Movara$')
engine_args=()
if [ -n "$w" ]; then
    sleep 1
    tap "$w" "$tap_first_row" # the video root
    sleep 1
    tap "$w" "$tap_first_row" # its first file
    for _ in $(seq 100); do
        adapter=$(descendant "$started" mplayer) && engine=$(pgrep -P "$adapter" | head -n1) &&
            [ -n "$engine" ] && break
        sleep 0.1
    done
    # MPlayer's arguments less its name and the file, with the window id left to the floor.
    [ -n "${engine:-}" ] && mapfile -t engine_args < <(tr '\0' '\n' <"/proc/$engine/cmdline" |
        sed '1d;$d' | awk 'prev == "-wid" { $0 = "%WID%" } { print; prev = $0 }')
fi
stop_tree "$started" "$(descendant "$started" movara)"
if [ "${#engine_args[@]}" -eq 0 ]; then
    echo "Movara did not play the clip: see $work/output.txt" >&2
    cat "$work/output.txt" >&2
    exit 1
fi
floor=("$bin/floorplayer" /usr/bin/mplayer "${engine_args[@]}")
floor_now=("$bin/floorplayer" --now /usr/bin/mplayer "${engine_args[@]}")

smplayer_config=$work/smplayer
seed_smplayer() { # a fresh configuration for each start, as the first start would find it
    rm -rf "$smplayer_config"
    mkdir -p "$smplayer_config"
    cat >"$smplayer_config/smplayer.ini" <<'EOF'
[%General]
config_version=5
mplayer_bin=/usr/bin/mplayer
driver\vo=x11
driver\audio_output=sdl

[instances]
single_instance_enabled=false

[mplayer_info]
mplayer_detected_version=0
mplayer_user_supplied_version=31272

[gui]
reported_mplayer_is_old=true
EOF
}
smplayer_cmd() { seed_smplayer && smplayer=(env HOME="$work" smplayer -config-path "$smplayer_config" "$@"); }
smplayer_cmd
start_bg "${smplayer[@]}"
watch_window SMPlayer --timeout 60 >/dev/null
stop_tree "$started"

# --- One round ----------------------------------------------------------------------

# Start to the window on screen, and the memory then, idle.
startup() { # startup KEY NAME COMMAND...
    local key=$1 name=$2 t0 front
    shift 2
    no_red
    t0=$(now_ns)
    start_bg "$@"
    record "start:$key" "$(watch_window "$name" --since "$t0" --timeout 30)"
    sleep 2
    front=$started
    [ "$key" = movara ] || [ "$key" = launcher ] && front=$(descendant "$started" movara)
    record "idle:$key" "$(rss_kib "$front" || echo -)"
    stop_tree "$started" "$front"
    sleep 0.5
}

# Playback: CPU per minute over $seconds, the memory at the end; with the
# engine's pid, also the adapter's (if any) and the engine's, and their sums.
sample() { # sample KIND KEY FRONT_PID [ENGINE_PID [ADAPTER_PID]]
    local kind=$1 key=$2 figures pid sum=0 rss=0 n
    sleep 3
    mapfile -t figures < <(cpu_per_minute "$seconds" "${@:3}")
    record "$kind:$key" "${figures[0]:--}"
    [ "$kind" = video ] && record "playing:$key" "$(rss_kib "$3" || echo -)"
    [ -n "${4:-}" ] || return 0
    record "$kind:$key.engine" "${figures[1]:--}"
    [ -n "${5:-}" ] && record "$kind:$key.adapter" "${figures[2]:--}"
    [ -n "${5:-}" ] && [ "${figures[0]:--}" != - ] && [ "${figures[2]:--}" != - ] &&
        record "$kind:$key+adapter" "$((figures[0] + figures[2]))"
    for n in "${figures[@]}"; do
        [ "$n" = - ] && sum=- && break
        sum=$((sum + n))
    done
    record "$kind:$key.all" "$sum"
    if [ "$kind" = video ]; then
        for pid in "${@:3}"; do
            n=$(rss_kib "$pid") || { rss=-; break; }
            rss=$((rss + n))
        done
        record "playing:$key.all" "$rss"
    fi
}

play_floor() { # play_floor KIND FILE
    local t0
    no_red
    start_bg "${floor[@]}" "$2"
    if [ "$(watch_window Floor --timeout 30)" = - ]; then
        record "$1:floor" -
    else
        sleep 1
        t0=$(now_ns)
        tap "$(window_of '^Floor$')" "120 160"
        [ "$1" = video ] && record "tap:floor" "$(watch_red --since "$t0" --timeout 15)"
        local engine=""
        for _ in $(seq 50); do
            engine=$(pgrep -P "$started" | head -n1) && break
            sleep 0.1
        done
        sample "$1" floor "$started" "$engine"
    fi
    stop_tree "$started"
}

play_movara() { # play_movara KIND ROOT_TAP ENGINE: KEY is movara, or movara-mpv
    local t0 w front adapter="" engine="" key=movara
    [ "$3" = mpv ] && key=movara-mpv
    no_red
    start_bg env MOVARA_ENGINE="$3" "${movara_alone[@]}"
    w=$([ "$(watch_window Movara --timeout 30)" != - ] && window_of '^Movara$')
    front=$(descendant "$started" movara)
    if [ -n "$w" ] && [ -n "$front" ]; then
        sleep 1
        tap "$w" "$2"
        sleep 1
        t0=$(now_ns)
        tap "$w" "$tap_first_row"
        [ "$1" = video ] && record "tap:$key" "$(watch_red --since "$t0" --timeout 15)"
        for _ in $(seq 50); do
            adapter=$(descendant "$front" mplayer) && engine=$(pgrep -P "$adapter" | head -n1) &&
                [ -n "$engine" ] && break
            sleep 0.1
        done
    fi
    if [ -n "$engine" ]; then
        sample "$1" "$key" "$front" "$engine" "$adapter"
    else
        record "$1:$key" -
    fi
    stop_tree "$started" "$front"
}

play_smplayer() { # play_smplayer KIND FILE
    local t0
    no_red
    smplayer_cmd "$2"
    t0=$(now_ns)
    start_bg "${smplayer[@]}"
    [ "$1" = video ] && record "fresh:smplayer" "$(watch_red --since "$t0" --timeout 30)"
    for _ in $(seq 100); do
        descendant "$started" mplayer >/dev/null && break
        sleep 0.1
    done
    sample "$1" smplayer "$started"
    stop_tree "$started"
}

fresh_floor() { # the floor started with the clip, to its first frame
    local t0
    no_red
    t0=$(now_ns)
    start_bg "${floor_now[@]}" "$clip"
    record "fresh:floor" "$(watch_red --since "$t0" --timeout 30)"
    stop_tree "$started"
}

for round in $(seq "$rounds"); do
    echo "Round $round of $rounds: start-up ..." >&2
    startup floor Floor "${floor[@]}" "$clip"
    startup movara Movara "${movara_alone[@]}"
    startup launcher Movara "${launcher[@]}"
    smplayer_cmd
    startup smplayer SMPlayer "${smplayer[@]}"
    fresh_floor
    echo "Round $round of $rounds: video, ${seconds} s each ..." >&2
    play_floor video "$clip"
    play_movara video "$tap_first_row" mplayer
    play_movara video "$tap_first_row" mpv
    play_smplayer video "$clip"
    echo "Round $round of $rounds: mp3, ${seconds} s each ..." >&2
    play_floor audio "$tone"
    play_movara audio "$tap_second_row" mplayer
    play_movara audio "$tap_second_row" mpv
    play_smplayer audio "$tone"
done
echo "What is heard between files (bench_gap) ..." >&2
gap_figures=$(cd "$work" && env -u DISPLAY "$bin/bench_gap" --rounds "$rounds" 2>>"$work/output.txt" |
    sed -n '/parts of .* of one tone/,$p')

# --- The table ------------------------------------------------------------------------

stats() { # stats VALUES...: "median min max count" of the numbers among them
    printf '%s\n' "$@" | grep -E '^[0-9]+$' | sort -n |
        awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)], a[1], a[NR], NR; else print "- - - 0" }'
}
row() { # row WHAT KEY LABEL: median, min, max, tries, ratio to the floor's median
    local median min max count fmedian ratio="-" floor=floor
    [[ $3 == *.* ]] && floor=floor.${3#*.} # a part (.engine) or a sum (.all): the floor's same
    read -r median min max count < <(stats ${results[$2:$3]:-})
    read -r fmedian _ < <(stats ${results[$2:$floor]:-})
    [ "$median" != - ] && [ "$fmedian" != - ] && [ "$fmedian" != 0 ] &&
        ratio=$(awk -v a="$median" -v b="$fmedian" 'BEGIN { printf "%.2f", a / b }')
    printf '%-40s %-22s %8s %8s %8s %6s %9s\n' "$1" "$4" "$median" "$min" "$max" \
        "$count/$rounds" "$ratio"
}
echo
echo "Movara beside the floor and SMPlayer $(dpkg-query -W -f='${Version}' smplayer 2>/dev/null)," \
    "same MPlayer ($(dpkg-query -W -f='${Version}' mplayer 2>/dev/null)), -ao sdl," \
    "$rounds round(s), ${seconds} s samples"
printf '%-40s %-22s %8s %8s %8s %6s %9s\n' "" "" median min max tries "x floor"
row "start to window on screen (ms)" start floor floor
row "" start movara Movara
row "" start launcher "Movara, launcher"
row "" start smplayer SMPlayer
row "tap to first video frame (ms)" tap floor floor
row "" tap movara Movara
row "" tap movara-mpv "Movara, mpv"
row "start with the clip to first frame (ms)" fresh floor floor
row "" fresh smplayer SMPlayer
for kind in video audio; do
    what=video
    [ "$kind" = audio ] && what=mp3
    row "CPU per minute of $what (ms)" $kind floor floor
    row "" $kind movara Movara
    row "" $kind movara.adapter "Movara's adapter"
    row "" $kind movara+adapter "Movara + adapter"
    row "" $kind movara-mpv "Movara, mpv"
    row "" $kind movara-mpv.adapter "adapter, mpv"
    row "" $kind movara-mpv+adapter "Movara + adapter, mpv"
    row "" $kind smplayer SMPlayer
    row "... with the engine (ms)" $kind floor.all "floor + MPlayer"
    row "" $kind movara.all "Movara, MPlayer"
    row "" $kind movara-mpv.all "Movara, mpv"
    row "" $kind floor.engine "MPlayer alone"
    row "" $kind movara-mpv.engine "mpv alone"
done
row "memory idle (RSS KiB)" idle floor floor
row "" idle movara Movara
row "" idle smplayer SMPlayer
row "memory playing video (RSS KiB)" playing floor floor
row "" playing movara Movara
row "" playing movara-mpv "Movara, mpv"
row "" playing smplayer SMPlayer
row "... with the engine (RSS KiB)" playing floor.all "floor + MPlayer"
row "" playing movara.all "Movara, MPlayer"
row "" playing movara-mpv.all "Movara, mpv"
echo
echo "$gap_figures"
echo "The floor runs MPlayer with the arguments Movara's adapter gives it: ${engine_args[*]}"
echo "CPU is the front-end's own (all threads); the adapter and the engine are counted apart,"
echo "then together (\"with the engine\", against the floor and its MPlayer)."
echo "SMPlayer's first frame includes its start-up (a fresh instance per round), as the floor's does."
