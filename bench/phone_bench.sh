#!/bin/bash
# Movara in the phone launcher beside SMPlayer (Debian's desktop MPlayer
# front-end), on one private X server, the same MPlayer and the same clip:
#   - start-up: from starting the launcher (or smplayer) to its window painted, warm;
#   - from a tap on a file (or opening it in the running smplayer) to the clip's
#     first frame on the screen;
#   - the front-end's own CPU time per minute of playback (MPlayer not counted);
#   - the front-end's resident memory idle and while playing.
#   - the front-end's own CPU time per minute of audio playback (the now-playing view).
# Prints figures; asserts nothing. Installs smplayer with apt-get when missing.
#   bench/phone_bench.sh [BUILD_DIR] [--audio]
# --audio measures only the audio playback figure (no SMPlayer).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
audio_only=0 build_arg=""
for arg in "$@"; do
    case "$arg" in
    --audio) audio_only=1 ;;
    *) build_arg=$arg ;;
    esac
done
build=$(cd "${build_arg:-$root/build}" && pwd) || exit 2
bin=$build/bin
runs=5
play_seconds=20
audio_runs=3
audio_seconds=60
for tool in "$bin/movara-phone" "$bin/movara" "$bin/mplayer" "$bin/phonewatch"; do
    [ -x "$tool" ] || {
        echo "build first: cmake --build $build ($tool is missing)" >&2
        exit 2
    }
done
for tool in Xvfb xdotool ffmpeg; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: run scripts/setup-deps.sh" >&2
        exit 2
    }
done
if [ "$audio_only" = 0 ] && ! command -v smplayer >/dev/null; then
    echo "Installing smplayer for the comparison" >&2
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends smplayer >/dev/null ||
        exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/movara-bench.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=dummy
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The clip: red with a small moving test picture, and sound.
mkdir -p "$work/videos"
clip=$work/videos/clip.avi
ffmpeg -nostdin -v error -f lavfi -i "color=c=red:size=320x240:rate=25:duration=40" \
    -f lavfi -i "testsrc=size=96x72:rate=25:duration=40" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=40" \
    -filter_complex "[0][1]overlay=10:10" -c:v mpeg4 -q:v 4 -c:a mp2 -shortest "$clip" || exit 2
# A blue one to clear the screen of red between runs, where a front-end keeps the last frame.
blue=$work/blue.avi
ffmpeg -nostdin -v error -f lavfi -i "color=c=blue:size=320x240:rate=25:duration=40" \
    -c:v mpeg4 -q:v 4 "$blue" || exit 2
red_share=0.08 # the clip's red covers at least this share of the 800 x 600 screen

ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# CPU time of all the process's threads so far, in nanoseconds.
cpu_ns() { cat "/proc/$1/task/"*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
median() { printf '%s\n' "$@" | grep -E '^[0-9]+$' | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# The descendant of a process with the given command name.
descendant() {
    local child
    for child in $(pgrep -P "$1"); do
        if [ "$(cat "/proc/$child/comm" 2>/dev/null)" = "$2" ]; then
            echo "$child"
            return 0
        fi
        descendant "$child" "$2" && return 0
    done
    return 1
}
stop() { # stop PID: ends one of ours and forgets it
    kill -TERM "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    local kept=() pid
    for pid in "${pids[@]}"; do [ "$pid" != "$1" ] && kept+=("$pid"); done
    pids=("${kept[@]}")
}
# CPU per minute of playback and RSS, over play_seconds of the clip.
playing_figures() { # playing_figures PID -> "cpu_ms_per_minute rss_kib"
    local before after
    before=$(cpu_ticks "$1")
    sleep "$play_seconds"
    after=$(cpu_ticks "$1")
    echo "$(((after - before) * 1000 * 60 / ticks / play_seconds)) $(rss_kib "$1")"
}

phone=(--phone "$work/phone" --video "$work/videos")
launcher=$bin/movara-phone

# Front-end CPU per minute of audio playback, median of $audio_runs runs: the screen
# shows the program's own now-playing view, which follows the elapsed time.
audio_cpu() {
    mkdir -p "$work/audio"
    ffmpeg -nostdin -v error \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((audio_seconds + 20))" \
        -c:a libmp3lame "$work/audio/tone.mp3" || return 1
    local cpu=() pid mpid w before after
    for _ in $(seq "$audio_runs"); do
        "$launcher" --phone "$work/phone" --audio "$work/audio" >/dev/null 2>&1 &
        pid=$!
        pids+=("$pid")
        "$bin/phonewatch" window Movara --timeout 60 >/dev/null
        mpid=$(descendant "$pid" movara)
        w=$(xdotool search --onlyvisible --name '^Movara$' | head -n1)
        sleep 1
        xdotool mousemove --window "$w" 80 106 click 1 # the audio root
        sleep 1
        xdotool mousemove --window "$w" 80 82 click 1 # its first file
        sleep 3
        before=$(cpu_ns "$mpid")
        sleep "$audio_seconds"
        after=$(cpu_ns "$mpid")
        cpu+=("$(((after - before) * 60 / audio_seconds / 1000000))")
        stop "$pid"
        sleep 1
    done
    echo "$(median "${cpu[@]}") (runs: ${cpu[*]})"
}
if [ "$audio_only" = 1 ]; then
    echo "Movara: CPU during audio playback ($audio_runs runs) ..." >&2
    echo "front-end CPU per minute of audio playback (ms): $(audio_cpu)"
    exit 0
fi

echo "Warming up (phone folder, caches) ..." >&2
"$launcher" "${phone[@]}" >/dev/null 2>&1 &
pids+=($!)
"$bin/phonewatch" window Movara --timeout 60 >/dev/null
stop "${pids[-1]}"
smplayer_config=$work/smplayer
mkdir -p "$smplayer_config"
printf '[%%General]\nmplayer_bin=/usr/bin/mplayer\ndriver\\vo=x11\ndriver\\audio_output=sdl\n' \
    >"$smplayer_config/smplayer.ini"
smplayer=(smplayer -config-path "$smplayer_config")
HOME=$work "${smplayer[@]}" >/dev/null 2>&1 &
pids+=($!)
"$bin/phonewatch" window SMPlayer --timeout 60 >/dev/null
stop "${pids[-1]}"

echo "Start-up to the window on screen ($runs runs each) ..." >&2
movara_start=() smplayer_start=()
for _ in $(seq "$runs"); do
    t0=$(date +%s%N)
    "$launcher" "${phone[@]}" >/dev/null 2>&1 &
    pids+=($!)
    movara_start+=("$("$bin/phonewatch" window Movara --since "$t0" --timeout 30 || echo timeout)")
    stop "${pids[-1]}"
    sleep 1
    t0=$(date +%s%N)
    HOME=$work "${smplayer[@]}" >/dev/null 2>&1 &
    pids+=($!)
    smplayer_start+=("$("$bin/phonewatch" window SMPlayer --since "$t0" --timeout 30 || echo timeout)")
    stop "${pids[-1]}"
    sleep 1
done

echo "Movara: tap to first frame, CPU and memory ..." >&2
"$launcher" "${phone[@]}" >"$work/movara.out" 2>&1 &
launcher_pid=$!
pids+=("$launcher_pid")
"$bin/phonewatch" window Movara --timeout 30 >/dev/null
movara_pid=$(descendant "$launcher_pid" movara)
wid=$(xdotool search --onlyvisible --name '^Movara$' | head -n1)
sleep 2
movara_idle=$(rss_kib "$movara_pid")
xdotool mousemove --window "$wid" 80 82 click 1 # the video root
sleep 1
movara_frame=()
for i in $(seq "$runs"); do
    t0=$(date +%s%N)
    xdotool mousemove --window "$wid" 80 82 click 1 # its first file
    movara_frame+=("$("$bin/phonewatch" colour ff0000 "$red_share" --since "$t0" --timeout 15 || echo timeout)")
    if [ "$i" -lt "$runs" ]; then
        xdotool key F2 # stop: back to the browser
        sleep 2
        "$bin/phonewatch" colour ff0000 "$red_share" --below --timeout 5 >/dev/null ||
            echo "Movara still shows the clip after F2" >&2
    fi
done
read -r movara_cpu movara_playing < <(playing_figures "$movara_pid")
stop "$launcher_pid"
echo "Movara: CPU during audio playback ..." >&2
movara_audio=$(audio_cpu)

echo "SMPlayer: open to first frame, CPU and memory ..." >&2
HOME=$work "${smplayer[@]}" >/dev/null 2>&1 &
smplayer_pid=$!
pids+=("$smplayer_pid")
"$bin/phonewatch" window SMPlayer --timeout 30 >/dev/null
sleep 2
smplayer_idle=$(rss_kib "$smplayer_pid")
smplayer_frame=()
for i in $(seq "$runs"); do
    t0=$(date +%s%N)
    HOME=$work "${smplayer[@]}" "$clip" >/dev/null 2>&1 # hands the file to the running instance
    smplayer_frame+=("$("$bin/phonewatch" colour ff0000 "$red_share" --since "$t0" --timeout 15 || echo timeout)")
    if [ "$i" -lt "$runs" ]; then
        HOME=$work "${smplayer[@]}" -send-action stop >/dev/null 2>&1
        sleep 2
        if ! "$bin/phonewatch" colour ff0000 "$red_share" --below --timeout 2 >/dev/null 2>&1; then
            # The last frame stays after stop: another clip replaces it.
            HOME=$work "${smplayer[@]}" "$blue" >/dev/null 2>&1
            "$bin/phonewatch" colour 0000ff "$red_share" --timeout 10 >/dev/null
            "$bin/phonewatch" colour ff0000 "$red_share" --below --timeout 5 >/dev/null
            sleep 1
        fi
    fi
done
read -r smplayer_cpu smplayer_playing < <(playing_figures "$smplayer_pid")
stop "$smplayer_pid"

row() { # row WHAT UNIT MOVARA SMPLAYER
    local ratio="-"
    [ -n "$3" ] && [ -n "$4" ] && [ "$4" != 0 ] && ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { printf "%.2f", a / b }')
    printf '%-44s %10s %10s %8s\n' "$1 ($2)" "${3:--}" "${4:--}" "$ratio"
}
echo
echo "Movara beside SMPlayer $(dpkg-query -W -f='${Version}' smplayer 2>/dev/null), same MPlayer, same clip (median of $runs where repeated)"
printf '%-44s %10s %10s %8s\n' "" "Movara" "SMPlayer" "ratio"
row "start to window on screen, warm" ms "$(median "${movara_start[@]}")" "$(median "${smplayer_start[@]}")"
row "tap/open to first video frame" ms "$(median "${movara_frame[@]}")" "$(median "${smplayer_frame[@]}")"
row "front-end CPU per minute of playback" ms "$movara_cpu" "$smplayer_cpu"
row "front-end CPU per minute of audio playback" ms "${movara_audio%% *}" ""
row "front-end memory, idle" "RSS KiB" "$movara_idle" "$smplayer_idle"
row "front-end memory, playing" "RSS KiB" "$movara_playing" "$smplayer_playing"
echo "all start-up runs (ms): Movara ${movara_start[*]}; SMPlayer ${smplayer_start[*]}"
echo "all first-frame runs (ms): Movara ${movara_frame[*]}; SMPlayer ${smplayer_frame[*]}"
echo "Movara's start-up includes the launcher (sandbox set-up); SMPlayer's open includes starting"
echo "its second instance, which hands the file to the running one; between its runs a blue"
echo "clip replaces the red one's last frame when it stays after stop."
