#!/bin/bash
# How loud each volume plays, through the adapter, with both engines: a sine
# at -6 dBFS played at 100, 50 and 25 %, set at the start (-volume) and by the
# command the program sends ("volume V 100"), recorded from a private sound
# server's null sink. Prints each level in dB against 100 %; asserts nothing.
#   bench/volume_levels.sh [BUILD_DIR]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd) || exit 2
adapter=$build/bin/mplayer
for tool in pulseaudio parec ffmpeg python3 "$adapter"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
work=$(mktemp -d) || exit 2
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load="module-native-protocol-unix auth-anonymous=1" \
    --load="module-null-sink sink_name=rec" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.05; done
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=3" -af volume=0.5 -ac 2 \
    "$work/sine.wav" || exit 2

# The level most 200 ms spans reach (the 75th percentile of their peaks), in dBFS.
level() {
    python3 - "$1" <<'PY'
import math, struct, sys
data = open(sys.argv[1], "rb").read()
samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
span = 8820
peaks = sorted(p for p in (max(map(abs, samples[i:i + span]))
                           for i in range(0, len(samples) - span, span)) if p > 0)
print("%.1f" % (20 * math.log10(peaks[len(peaks) * 3 // 4] / 32768)) if peaks else "-inf")
PY
}

for engine in mplayer mpv; do
    for how in start command; do
        full=""
        for volume in 100 50 25; do
            parec -d rec.monitor --format=s16le --rate=44100 --channels=2 --raw >"$work/rec.raw" &
            recorder=$!
            sleep 0.3
            if [ "$how" = start ]; then
                sleep 4 | MOVARA_ENGINE=$engine "$adapter" -slave -quiet -volume "$volume" \
                    "$work/sine.wav" >/dev/null 2>&1
            else
                { echo "volume $volume 100"; sleep 4; } | MOVARA_ENGINE=$engine "$adapter" \
                    -slave -quiet "$work/sine.wav" >/dev/null 2>&1
            fi
            kill "$recorder"
            wait "$recorder" 2>/dev/null
            db=$(level "$work/rec.raw")
            [ -z "$full" ] && full=$db
            printf '%-7s %-7s %3s %%: %s dB\n' "$engine" "$how" "$volume" \
                "$(python3 -c "print('%.1f' % ($db - $full))" 2>/dev/null || echo "$db")"
        done
    done
done
