// The gap between media: from the last status of one file to the first status
// of the next, over a folder of four 3 s MP3s, in interleaved rounds; and the
// start: from the play request to the first file's first status, its first
// sound. Movara's player control plays them one after another through its
// adapter as the window does (the next on each end), with MPlayer, with mpv
// (if installed), and with an engine that never says a medium has ended (the
// silence rule alone); MPlayer plays the same four as its own playlist, read
// the same way. Prints medians with min and max and ratios to MPlayer's own;
// asserts nothing.
//   bench_gap [--rounds N]

#include "support/enginetesthelpers.h"

#include "platform/zapplication.h"

#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <time.h>

namespace {
const int mediaCount = 4;

double wallMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// The first and last status times of each medium, in order.
struct Spans
{
    double started = 0; // the play request
    QList<double> first, last;
    void status(int medium, double at)
    {
        while (first.size() <= medium) {
            first.append(at);
            last.append(at);
        }
        last[medium] = at;
    }
    QList<double> gaps() const
    {
        QList<double> out;
        for (int i = 1; i < first.size(); ++i)
            out.append(first[i] - last[i - 1]);
        return out;
    }
    QList<double> start() const
    {
        return first.isEmpty() ? QList<double>{} : QList<double>{first[0] - started};
    }
};

Spans controlSpans(const QStringList &media)
{
    MvPlayerControl control(nullptr, 50, 0);
    control.setCurrentMediaFile(QDir::currentPath() + QStringLiteral("/curmedia.name"));
    Spans spans;
    int current = 0;
    QEventLoop loop;
    QObject::connect(&control, &MvPlayerControl::signalTimeElapse, &loop,
                     [&] { spans.status(current, wallMs()); });
    QObject::connect(&control, &MvPlayerControl::endedCurrentMedia, &loop, [&] {
        if (++current < media.size())
            control.playFile(media[current]);
        else
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    spans.started = wallMs();
    control.playFile(media.first());
    loop.exec();
    control.quitPlayer();
    return spans;
}

Spans ownPlaylistSpans(const QStringList &media)
{
    QProcess engine;
    Spans spans;
    int current = -1;
    QByteArray pending;
    QObject::connect(&engine, &QProcess::readyReadStandardOutput, [&] {
        const double at = wallMs();
        pending += engine.readAllStandardOutput();
        qsizetype start = 0;
        for (qsizetype i = 0; i < pending.size(); ++i) {
            if (pending[i] != '\n' && pending[i] != '\r')
                continue;
            const QByteArray piece = pending.mid(start, i - start);
            start = i + 1;
            if (piece.startsWith("Playing "))
                ++current;
            else if (piece.startsWith("A:") && current >= 0)
                spans.status(current, at);
        }
        pending.remove(0, start);
    });
    spans.started = wallMs();
    engine.start(QStringLiteral("mplayer"),
                 QStringList{"-ao", "sdl", "-vo", "null", "-nolirc", "-nortc"} + media);
    engine.closeWriteChannel();
    if (!engine.waitForFinished(60000))
        engine.kill();
    return spans;
}

// Gaps and starts, one list each, across rounds.
struct Figures
{
    QList<double> gaps, starts;
    void add(const Spans &spans)
    {
        gaps += spans.gaps();
        starts += spans.start();
    }
};

void print(const char *name, const QList<double> &gaps, double floor)
{
    const auto [low, high] = std::minmax_element(gaps.begin(), gaps.end());
    const double mid = median(gaps);
    std::printf("  %-32s median %6.1f ms (%.1f to %.1f, %lld)", name, mid,
                gaps.isEmpty() ? 0 : *low, gaps.isEmpty() ? 0 : *high, qlonglong(gaps.size()));
    if (floor > 0)
        std::printf("  %.2f x", mid / floor);
    std::printf("\n");
}
} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ZApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("mplayer")).isEmpty()) {
        std::printf("needs ffmpeg and mplayer\n");
        return 1;
    }
    // Headless: SDL's dummy device plays in real time, for the adapter's engine and MPlayer alike.
    qunsetenv("DISPLAY");
    qputenv("SDL_AUDIODRIVER", "dummy");
    EngineFixture program;
    if (!QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                     program.dirPath + QStringLiteral("/mplayer"))) {
        std::printf("cannot place the adapter\n");
        return 1;
    }
    QStringList media;
    for (int i = 0; i < mediaCount; ++i) {
        const QString path = program.dirPath + QStringLiteral("/%1.mp3").arg(i + 1);
        QProcess::execute(QStringLiteral("ffmpeg"),
                          {"-v", "error", "-y", "-f", "lavfi", "-i",
                           QStringLiteral("sine=frequency=%1:duration=3").arg(330 + 110 * i),
                           "-c:a", "libmp3lame", "-q:a", "4", path});
        media.append(path);
    }
    // The engine as an engine that says nothing at a medium's end would be.
    const QString quiet = program.dirPath + QStringLiteral("/quiet-engine");
    QFile script(quiet);
    if (script.open(QIODevice::WriteOnly)) {
        script.write("#!/bin/sh\nfor a; do shift; case $a in -msglevel|global=6) ;; "
                     "*) set -- \"$@\" \"$a\";; esac; done\nexec mplayer \"$@\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    const bool mpv = !QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty();
    std::printf("%d MP3s of 3 s, %d interleaved rounds\n", mediaCount, rounds);
    Figures own, movara, movaraMpv, silence;
    for (int round = 0; round < rounds; ++round) {
        own.add(ownPlaylistSpans(media));
        movara.add(controlSpans(media));
        if (mpv) {
            qputenv("MOVARA_ENGINE", "mpv");
            movaraMpv.add(controlSpans(media));
            qunsetenv("MOVARA_ENGINE");
        }
        qputenv("MOVARA_MPLAYER", QFile::encodeName(quiet));
        silence.add(controlSpans(media));
        qunsetenv("MOVARA_MPLAYER");
        std::fprintf(stderr, "round %d done\n", round + 1);
    }
    const struct
    {
        const char *title;
        QList<double> Figures::*figures;
        const char *floorName;
    } tables[] = {{"start to first sound (the first status)", &Figures::starts, "MPlayer alone"},
                  {"gap between media (last status to the next one's first)", &Figures::gaps,
                   "MPlayer's own playlist"}};
    for (const auto &table : tables) {
        std::printf("%s:\n", table.title);
        const double floor = median(own.*table.figures);
        print(table.floorName, own.*table.figures, 0);
        print("Movara, MPlayer", movara.*table.figures, floor);
        if (mpv)
            print("Movara, mpv", movaraMpv.*table.figures, floor);
        if (table.figures == &Figures::gaps)
            print("Movara (silence rule alone)", silence.gaps, floor);
    }
    return 0;
}
