// bench_board [--rounds N] [--seconds S]: the board path against the X path,
// in one boot of the emulated board (tests/board/make-guest.sh). The board
// path is movara-board: the framebuffer, keys from the kernel, the engine's
// framebuffer output. The X path is Movara on an Xvfb inside the same guest,
// with the engine's X output; both play through the same ALSA card.
// Per round and path, from a fresh phone folder: the key that plays a clip to
// its first frame on the screen (for the board read from outside with the
// monitor's screendump, for X by phonewatch inside the guest), and the CPU
// time per minute of an MP3 of Movara, its adapter and the engine, from the
// guest's /proc. Rounds alternate which path goes first, after a round that
// warms the caches.
#include "support/boardguest.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
// The clip is red with a small moving picture in a corner; its frame is on
// the screen once this share of the screen is red.
constexpr double redShare = 0.3;
// Both paths look at the screen this often while they wait for the frame, as
// looking costs the emulated machine's time (inside the guest for X).
constexpr int lookEveryMs = 20;

QString median(QList<double> values, const QString &unit)
{
    if (values.isEmpty())
        return QStringLiteral("-");
    std::sort(values.begin(), values.end());
    const int n = int(values.size());
    const double m = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return QStringLiteral("%1 %2 (%3 to %4)")
        .arg(m, 0, 'f', 0)
        .arg(unit)
        .arg(values.first(), 0, 'f', 0)
        .arg(values.last(), 0, 'f', 0);
}

double medianOf(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int n = int(values.size());
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What runs inside the guest: Xvfb for the X path, then the rounds. The board
// path is driven from outside (it says "board-go"); the X path drives itself.
// Both print "cpu PATH ROUND MOVARA ADAPTER ENGINE [XSERVER]" in ms per minute.
QByteArray guestScript(const QString &media, int rounds, int seconds)
{
    return QString::fromUtf8(R"sh(#!/bin/bash
# The guest starts it with sh.
[ -n "${BASH_VERSION:-}" ] || exec /bin/bash "$0"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp
for m in bochs evdev snd-intel8x0; do modprobe $m; done
bin=%1 media=%2 rounds=%3 seconds=%4
watch=$bin/phonewatch
config=/tmp/ezx_system.cfg
# No display sleep within a sample.
printf '[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 3\n' >$config
export MOVARA_ENGINE_START_MS=60000
# The X server compiles its keymaps into a folder of the read-only root.
mount -t tmpfs xkb /var/lib/xkb
Xvfb -screen 0 240x320x24 -nolisten tcp -displayfd 3 3>/tmp/display 2>/tmp/xvfb.log &
xserver=$!
for _ in $(seq 600); do [ -s /tmp/display ] && break; sleep 0.1; done
export DISPLAY=:$(cat /tmp/display)

ticks() { # user and system clock ticks of a process, its ended threads included
    local s
    read -r s <"/proc/$1/stat" || return
    s=${s##*) }
    set -- $s
    echo $((${12} + ${13}))
}
parent() { local s; read -r s <"/proc/$1/stat"; s=${s##*) }; set -- $s; echo "$2"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits for the engine to have the MP3 open, then samples the CPU of Movara,
# its adapter, the engine (and more pids given) over the seconds.
sample() { # sample PATH ROUND [PID...]
    local engine="" comm p
    for _ in $(seq 600); do
        for comm in /proc/[0-9]*/comm; do
            read -r p 2>/dev/null <"$comm" && [ "$p" = mplayer ] || continue
            p=${comm#/proc/}
            p=${p%/comm}
            [ "$(readlink /proc/$p/exe)" = /usr/bin/mplayer ] &&
                ls -l /proc/$p/fd 2>/dev/null | grep -q "$media/audio/tone.mp3" && engine=$p && break
        done
        [ -n "$engine" ] && break
        sleep 0.2
    done
    [ -n "$engine" ] || { echo "cpu $1 $2 - - -"; return; }
    local adapter=$(parent $engine)
    local pids="$(parent $adapter) $adapter $engine ${*:3}" before=() after=() pid t0 t1 out=""
    sleep 2
    for pid in $pids; do before+=($(ticks $pid)); done
    t0=$(now_ms)
    sleep "$seconds"
    for pid in $pids; do after+=($(ticks $pid)); done
    t1=$(now_ms)
    local tick=$((1000 / $(getconf CLK_TCK))) i=0
    for pid in $pids; do
        out+=" $(((after[i] - before[i]) * tick * 60000 / (t1 - t0)))"
        i=$((i + 1))
    done
    echo "cpu $1 $2$out"
}

run_board() {
    echo "board-go $1"
    $bin/movara-board --phone /tmp/phone-board-$1 --video $media/video --audio $media/audio \
        --config $config >/tmp/board-$1.log 2>&1 &
    local pid=$!
    sample board $1
    wait $pid
    echo "board-ended $1 $?"
}

key() { # key KEYSYM: sends it and waits for the screen to change and settle
    $watch changed --timeout 120 --then "xdotool key $1" >/dev/null || echo "x: no change after $1"
}
run_x() {
    local phone=/tmp/phone-x-$1
    mkdir -p $phone/user $phone/playlist $phone/card
    MOVARA_BOARD=1 MOVARA_VIDEO_ROOT=$media/video MOVARA_AUDIO_ROOT=$media/audio \
        MOVARA_PLAYLIST_ROOT=$phone/playlist MOVARA_CARD_ROOT=$phone/card \
        MOVARA_SETTINGS_DIR=$phone/user MOVARA_SYSTEM_CONFIG=$config MOVARA_ENGINE=mplayer \
        MOVARA_MPLAYER_AO=alsa:device=plughw=0.0 MOVARA_MPLAYER_MIXER=hw:0 \
        QT_QPA_PLATFORM=xcb $bin/movara >/tmp/x-$1.log 2>&1 &
    local pid=$!
    $watch window Movara --timeout 300 >/dev/null || echo "x: no window"
    key Return
    echo "x-frame $1 $($watch colour ff0000 %5 --every %6 --timeout 120 --then 'xdotool key Return' || echo -)"
    key F2
    key Escape
    key Down
    key Return
    xdotool key Return
    sample x $1 $xserver
    key F2
    key Escape
    xdotool key Escape
    wait $pid
    echo "x-ended $1 $?"
}

# Round 0 warms the guest's caches (the host's files over 9p) and is not counted.
for round in $(seq 0 $rounds); do
    if [ $((round % 2)) = 1 ]; then
        run_board $round
        run_x $round
    else
        run_x $round
        run_board $round
    fi
done
echo bench-done
poweroff -f
)sh")
        .arg(binDir, media)
        .arg(rounds)
        .arg(seconds)
        .arg(redShare)
        .arg(lookEveryMs)
        .toUtf8();
}

bool makeMedia(const QString &media, int seconds)
{
    const QString length = QString::number(seconds + 60);
    QDir().mkpath(media + QStringLiteral("/video"));
    QDir().mkpath(media + QStringLiteral("/audio"));
    const QList<QStringList> makes = {
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("color=c=red:size=320x240:rate=25:duration=") + length,
         QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=96x72:rate=25:duration=") + length,
         QStringLiteral("-filter_complex"), QStringLiteral("[0][1]overlay=10:10"),
         QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
         QStringLiteral("4"), media + QStringLiteral("/video/clip.avi")},
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + length,
         QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
         media + QStringLiteral("/audio/tone.mp3")},
    };
    for (const QStringList &arguments : makes) {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                                 QStringLiteral("error"), QStringLiteral("-y")} +
                         arguments);
        if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0)
            return false;
    }
    return true;
}

// The board path's round, driven from outside: the key that plays the clip
// to its first frame read from the screen, then the MP3 for the guest to
// sample, then the way out. Returns the milliseconds, or -1 after saying
// which step failed.
double boardRound(BoardGuest &guest, int round)
{
    // Untimed waits look at the screen ten times a second: reading text from
    // it costs this machine's CPU, which the emulated one needs.
    const auto paced = [](bool passed) {
        if (!passed)
            QThread::msleep(100);
        return passed;
    };
    const auto shows = [&guest, paced](const QString &text) {
        return [&guest, paced, text] {
            return guest.waitForScreen(
                [&](const QImage &s) { return paced(BoardGuest::showsText(s, text)); }, 120000);
        };
    };
    const auto key = [&](const char *qcode) {
        return [&guest, qcode] { return guest.key(QString::fromLatin1(qcode)); };
    };
    const auto red = [](const QImage &s) { return BoardGuest::shareOf(s, qRgb(255, 0, 0)); };
    QElapsedTimer clock;
    double frame = -1;
    const QList<QPair<const char *, std::function<bool()>>> steps = {
        {"the browser",
         [&] {
             return guest.waitForScreen(
                 [&](const QImage &s) {
                     return paced(BoardGuest::showsStatusArea(s) &&
                                  BoardGuest::showsText(s, QStringLiteral("MyVideo")));
                 },
                 300000);
         }},
        {"Return", key("ret")},
        {"the video root", shows(QStringLiteral("clip.avi"))},
        {"Return on the clip",
         [&] { return guest.key(QStringLiteral("ret")) && (clock.start(), true); }},
        {"the clip's first frame",
         [&] {
             const bool seen = guest.waitForScreen(
                 [&](const QImage &s) {
                     if (red(s) >= redShare)
                         return true;
                     QThread::msleep(lookEveryMs);
                     return false;
                 },
                 120000);
             frame = clock.nsecsElapsed() / 1e6;
             return seen;
         }},
        {"F2", key("f2")},
        {"the browser after the clip",
         [&] {
             return guest.waitForScreen(
                 [&](const QImage &s) {
                     return paced(red(s) < 0.05 &&
                                  BoardGuest::showsText(s, QStringLiteral("clip.avi")));
                 },
                 120000);
         }},
        {"Escape", key("esc")},
        {"the roots", shows(QStringLiteral("MyAudio"))},
        {"Down", key("down")},
        {"Return", key("ret")},
        {"the audio root", shows(QStringLiteral("tone.mp3"))},
        {"Return on the MP3", key("ret")},
        {"the guest's sample",
         [&] {
             return guest.waitForConsole("cpu board " + QByteArray::number(round) + ' ', 600000);
         }},
        {"F2", key("f2")},
        {"the audio root after the MP3", shows(QStringLiteral("tone.mp3"))},
        {"Escape", key("esc")},
        {"the roots", shows(QStringLiteral("MyAudio"))},
        {"Escape", key("esc")},
    };
    for (const auto &step : steps) {
        if (!step.second()) {
            std::fprintf(stderr, "board round %d: no %s (the last screen is in %s)\n", round,
                         step.first,
                         qPrintable(guest.dir() + QStringLiteral("/failed-screen.png")));
            guest.screen().save(guest.dir() + QStringLiteral("/failed-screen.png"));
            return -1;
        }
    }
    return frame;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser options;
    options.addOption({QStringLiteral("rounds"), QStringLiteral("rounds (3)"), QStringLiteral("N"),
                       QStringLiteral("3")});
    options.addOption({QStringLiteral("seconds"), QStringLiteral("CPU sample length (30)"),
                       QStringLiteral("S"), QStringLiteral("30")});
    options.addHelpOption();
    options.process(app);
    const int rounds = std::max(1, options.value(QStringLiteral("rounds")).toInt());
    const int seconds = std::clamp(options.value(QStringLiteral("seconds")).toInt(), 5, 300);

    for (const QString &tool :
         {QStringLiteral("qemu-system-x86_64"), QStringLiteral("ffmpeg"), QStringLiteral("Xvfb"),
          QStringLiteral("xdotool"), QStringLiteral("amixer")}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            std::fprintf(stderr, "bench_board: %s is missing\n", qPrintable(tool));
            return 2;
        }
    }
    for (const QString &built : {QStringLiteral("movara-board"), QStringLiteral("phonewatch")}) {
        if (!QFileInfo(binDir + QLatin1Char('/') + built).isExecutable()) {
            std::fprintf(stderr, "bench_board: build %s first\n", qPrintable(built));
            return 2;
        }
    }
    BoardGuest guest;
    QString why;
    if (guest.build(&why) != BoardGuest::Built) {
        std::fprintf(stderr, "bench_board: no guest: %s\n", qPrintable(why));
        return 2;
    }
    const QString media = guest.dir() + QStringLiteral("/bench-media");
    if (!makeMedia(media, seconds)) {
        std::fputs("bench_board: ffmpeg could not make the media\n", stderr);
        return 2;
    }
    const QString script = guest.dir() + QStringLiteral("/bench.sh");
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(guestScript(media, rounds, seconds)) < 0)
        return 2;
    file.close();
    std::fprintf(stderr, "bench_board: %d rounds, %d s samples; the guest boots ...\n", rounds,
                 seconds);
    if (!guest.boot(script, guest.workPath(QStringLiteral("sound.wav")))) {
        std::fputs("bench_board: the guest did not boot\n", stderr);
        return 2;
    }

    QMap<QString, QList<double>> figures;
    int handled = 0;
    for (;;) {
        if (!guest.waitForConsole("\n", 1200000))
            break;
        const QList<QByteArray> lines = guest.console().split('\n');
        if (handled >= lines.size() - 1) {
            if (!guest.running())
                break;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            continue;
        }
        const QStringList words = QString::fromUtf8(lines[handled++])
                                      .trimmed()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString &what = words.first();
        if (what == QLatin1String("bench-done"))
            break;
        // What the guest says, less the kernel's and the emulator's own lines.
        if (!what.startsWith(QLatin1Char('[')) && what != QLatin1String("audio:"))
            std::fprintf(stderr, "guest: %s\n", qPrintable(words.join(QLatin1Char(' '))));
        const bool counted = words.size() > 1 && words[1] != QLatin1String("0");
        if (what == QLatin1String("board-go") && words.size() == 2) {
            const double ms = boardRound(guest, words[1].toInt());
            std::fprintf(stderr, "board round %s: key to first frame %.0f ms\n",
                         qPrintable(words[1]), ms);
            if (ms >= 0 && counted)
                figures[QStringLiteral("frame board")] << ms;
        } else if (what == QLatin1String("x-frame") && words.size() == 3) {
            std::fprintf(stderr, "x round %s: key to first frame %s ms\n", qPrintable(words[1]),
                         qPrintable(words[2]));
            bool ok = false;
            const double ms = words[2].toDouble(&ok);
            if (ok && counted)
                figures[QStringLiteral("frame x")] << ms;
        } else if (what == QLatin1String("cpu") && words.size() >= 6 && counted) {
            static const char *parts[] = {"movara", "adapter", "engine", "xserver"};
            double sum = 0;
            bool ok = true;
            for (int i = 3; i < words.size() && i < 7; ++i) {
                bool number = false;
                const double ms = words[i].toDouble(&number);
                ok = ok && number;
                figures[QStringLiteral("%1 %2").arg(QLatin1String(parts[i - 3]), words[1])] << ms;
                if (i < 6)
                    sum += ms;
            }
            if (ok)
                figures[QStringLiteral("cpu ") + words[1]] << sum;
        }
    }
    if (!guest.console().contains("bench-done")) {
        std::fprintf(stderr, "bench_board: the guest stopped early; its console:\n%s\n",
                     guest.console().constData());
        return 1;
    }

    const auto ratio = [&](const QString &x, const QString &board) {
        const double base = medianOf(figures.value(board));
        return base > 0 ? QStringLiteral("%1 ×").arg(medianOf(figures.value(x)) / base, 0, 'f', 2)
                        : QStringLiteral("-");
    };
    std::printf("Board path (linuxfb, fbdev2, ALSA) against the X path (Xvfb in the same guest, "
                "xcb, the engine's X output); medians of %d rounds, min to max, CPU over %d s\n",
                rounds, seconds);
    std::printf("%-40s %-28s %-28s %s\n", "", "board", "X", "X / board");
    const auto row = [&](const char *name, const QString &key) {
        std::printf(
            "%-40s %-28s %-28s %s\n", name,
            qPrintable(median(figures.value(key + QStringLiteral(" board")), QStringLiteral("ms"))),
            qPrintable(median(figures.value(key + QStringLiteral(" x")), QStringLiteral("ms"))),
            qPrintable(ratio(key + QStringLiteral(" x"), key + QStringLiteral(" board"))));
    };
    row("key to first video frame", QStringLiteral("frame"));
    row("CPU per minute of MP3, all three", QStringLiteral("cpu"));
    row("  of it Movara's", QStringLiteral("movara"));
    row("  of it the adapter's", QStringLiteral("adapter"));
    row("  of it the engine's", QStringLiteral("engine"));
    std::printf(
        "%-40s %-28s %s\n", "the X server's, beside them", "",
        qPrintable(median(figures.value(QStringLiteral("xserver x")), QStringLiteral("ms"))));
    return 0;
}
