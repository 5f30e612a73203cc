#!/bin/bash
# What the phone launcher adds to Movara's start, on one private X server:
#   - start to window on screen, warm: movara alone, in the launcher's sandbox
#     started directly (which parts the sandbox's cost from the launcher's) and
#     through the launcher, in interleaved rounds (medians with min and max);
#   - the launcher's own work: from its start to the start of the sandbox
#     (a stand-in bubblewrap notes the moment and runs nothing).
# Prints figures; asserts nothing.
#   bench/launcher_bench.sh [BUILD_DIR] [ROUNDS] [LAUNCHER]
# LAUNCHER (default: the build's) is another copy of the launcher to time,
# kept in the build's bin/ folder so that it finds the program there.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd) || exit 2
rounds=${2:-10}
bin=$build/bin
launcher=${3:-$bin/movara-phone}
for tool in "$launcher" "$bin/movara" "$bin/mplayer" "$bin/phonewatch"; do
    [ -x "$tool" ] || {
        echo "build first: cmake --build $build ($tool is missing)" >&2
        exit 2
    }
done
for tool in Xvfb bwrap; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: run scripts/setup-deps.sh" >&2
        exit 2
    }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/movara-launcher-bench.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 480x640x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || {
    echo "Xvfb did not start" >&2
    exit 2
}
read -r display_number <"$work/display"
export DISPLAY=":$display_number"
export XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=dummy
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A phone folder that needs no demo media, so that no round pays for making it.
phone=$work/phone
mkdir -p "$phone/video" "$phone/audio" "$phone/playlist" "$phone/card"
printf '[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 1\n' >"$phone/ezx_system.cfg"
touch "$phone/.demo-made"

now_ns() { local t=$EPOCHREALTIME; echo "${t/./}000"; }
median() { printf '%s\n' "$@" | grep -E '^[0-9.]+$' | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | grep -E '^[0-9.]+$' | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print lo "-" hi }'; }
stop() { # stop PID: ends one of ours and forgets it
    kill -TERM "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    local kept=() pid
    for pid in "${pids[@]}"; do [ "$pid" != "$1" ] && kept+=("$pid"); done
    pids=("${kept[@]}")
}
start_to_window() { # start_to_window COMMAND...: ms from the start to Movara's window painted
    local t0
    t0=$(now_ns)
    "$@" >/dev/null 2>&1 &
    pids+=($!)
    "$bin/phonewatch" window Movara --since "$t0" --timeout 30 || echo timeout
    stop "${pids[-1]}"
}

# A bubblewrap in front of the real one notes when the launcher would start the
# sandbox, and with what, and stops there; any other use goes to the real one.
real_bwrap=$(command -v bwrap)
mkdir "$work/fake"
cat >"$work/fake/bwrap" <<EOF
#!/bin/bash
if [ "\${1:-}" = --die-with-parent ]; then
    t=\$EPOCHREALTIME
    echo "\${t/./}000" >"$work/sandbox-start"
    printf '%s\\0' "\$@" >"$work/sandbox-arguments"
    exit 0
fi
exec "$real_bwrap" "\$@"
EOF
chmod +x "$work/fake/bwrap"
echo "The launcher's own work ($rounds runs) ..." >&2
own=()
for _ in $(seq "$rounds"); do
    rm -f "$work/sandbox-start"
    t0=$(now_ns)
    PATH=$work/fake:$PATH "$launcher" --phone "$phone" >/dev/null 2>&1
    [ -s "$work/sandbox-start" ] && own+=("$((($(cat "$work/sandbox-start") - t0) / 1000))")
done
own_ms=()
for us in "${own[@]}"; do own_ms+=("$(awk -v us="$us" 'BEGIN { printf "%.1f", us / 1000 }')"); done
mapfile -d '' -t sandbox <"$work/sandbox-arguments"

echo "Warming up ..." >&2
for _ in 1 2; do
    start_to_window "$bin/movara" >/dev/null
    start_to_window "$launcher" --phone "$phone" >/dev/null
done

echo "Start to window on screen ($rounds interleaved rounds) ..." >&2
alone=() sandboxed=() launched=()
for _ in $(seq "$rounds"); do
    alone+=("$(start_to_window "$bin/movara")")
    sleep 0.3
    sandboxed+=("$(start_to_window bwrap "${sandbox[@]}")")
    sleep 0.3
    launched+=("$(start_to_window "$launcher" --phone "$phone")")
    sleep 0.3
done

alone_median=$(median "${alone[@]}")
launched_median=$(median "${launched[@]}")
printf '%-50s %8s %12s\n' "" median "min-max"
printf '%-50s %8s %12s\n' "start to window, movara alone (ms)" "$alone_median" "$(spread "${alone[@]}")"
printf '%-50s %8s %12s\n' "start to window, in the sandbox, no launcher (ms)" "$(median "${sandboxed[@]}")" "$(spread "${sandboxed[@]}")"
printf '%-50s %8s %12s\n' "start to window, through the launcher (ms)" "$launched_median" "$(spread "${launched[@]}")"
printf '%-50s %8s\n' "ratio launcher / alone" \
    "$(awk -v a="$alone_median" -v l="$launched_median" 'BEGIN { if (a > 0) printf "%.2f", l / a }')"
printf '%-50s %8s %12s\n' "launcher's own work to the sandbox (ms)" "$(median "${own_ms[@]}")" "$(spread "${own_ms[@]}")"
