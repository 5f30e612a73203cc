// What a listener hears between media, from recorded sound: four 3 s parts
// cut from one continuous tone, as FLAC and as MP3, played through a private
// sound server (a null sink at its default latency) whose monitor is
// recorded. For each engine's own playlist and for Movara's player control
// with each engine (through its adapter, each next medium queued as the
// window queues it), in interleaved rounds: the silence at each change, the
// sound cut from the 12 s, and the loudest 0.1 s of the first half second
// after each start of sound against the median 0.1 s. Asserts nothing.
//   bench_gap [--rounds N]

#include "support/enginetesthelpers.h"
#include "support/soundserver.h"

#include "platform/zapplication.h"

#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
const int parts = 4;
const int partSeconds = 3;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Plays the media as the window does: the next one is queued once a medium
// plays, and played (or followed) at its end.
void playWithControl(const QStringList &media)
{
    MvPlayerControl control(nullptr, 50, 0);
    control.setCurrentMediaFile(QDir::currentPath() + QStringLiteral("/curmedia.name"));
    int current = 0;
    QEventLoop loop;
    QObject::connect(&control, &MvPlayerControl::playbackStateChanged, &loop,
                     [&](MvPlayerControl::PlaybackState state) {
                         if (state == MvPlayerControl::PlaybackState::Playing)
                             control.queueNext(media.value(current + 1));
                     });
    QObject::connect(&control, &MvPlayerControl::endedCurrentMedia, &loop, [&] {
        if (++current < media.size())
            control.playFile(media[current]);
        else
            loop.quit();
    });
    QObject::connect(&control, &MvPlayerControl::processExited, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    control.playFile(media.first());
    loop.exec();
    control.quitPlayer();
    // Until the engine has gone: its sound has all been played then.
    for (int i = 0; i < 100 && control.ownEngineRunning(); ++i)
        QTest::qWait(100);
}

void playAlone(const QString &engine, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(engine, arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished();
}

struct Figures
{
    QList<double> changes, cut, loudest;
    void add(const HeardSound &heard)
    {
        changes += heard.silences;
        // A change without silence is one of 0 ms.
        for (qsizetype i = heard.silences.size(); i < parts - 1; ++i)
            changes += 0;
        cut += std::max(0.0, parts * partSeconds - heard.heard) * 1000;
        loudest += heard.loudestStart;
    }
};

void print(const char *name, const Figures &figures, double floor)
{
    const auto [low, high] = std::minmax_element(figures.changes.begin(), figures.changes.end());
    const double mid = median(figures.changes);
    std::printf("  %-24s silence a change %7.1f ms (%.1f to %.1f)", name, mid,
                figures.changes.isEmpty() ? 0 : *low, figures.changes.isEmpty() ? 0 : *high);
    if (floor >= 0)
        std::printf(" %+7.1f ms", mid - floor);
    std::printf(", cut %5.0f ms, first half second %+5.1f dB\n", median(figures.cut),
                median(figures.loudest));
}
} // namespace

int main(int argc, char **argv)
{
    int rounds = 1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ZApplication app(argc, argv);
    for (const char *tool : {"ffmpeg", "mplayer", "mpv", "pulseaudio", "parec"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("needs ffmpeg, mplayer, mpv, pulseaudio and parec\n");
            return 1;
        }
    }
    qunsetenv("DISPLAY");
    EngineFixture program;
    if (!QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                     program.dirPath + QStringLiteral("/mplayer"))) {
        std::printf("cannot place the adapter\n");
        return 1;
    }
    SoundServer sound;
    if (!sound.start(program.dirPath)) {
        std::printf("the sound server did not start\n");
        return 1;
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(sound.runtimeDir()));
    qunsetenv("PULSE_SERVER");

    const QStringList formats = {QStringLiteral("flac"), QStringLiteral("mp3")};
    QHash<QString, QStringList> media;
    for (const QString &format : formats) {
        for (int i = 0; i < parts; ++i) {
            const QString path = program.dirPath + QStringLiteral("/%1.%2").arg(i + 1).arg(format);
            QProcess::execute(
                QStringLiteral("ffmpeg"),
                {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                 QStringLiteral("sine=frequency=440:duration=%1").arg(parts * partSeconds), "-ss",
                 QString::number(i * partSeconds), "-t", QString::number(partSeconds), "-ar",
                 "44100", path});
            media[format].append(path);
        }
    }

    enum Player { MpvAlone, MPlayerAlone, MovaraMpv, MovaraMPlayer, PlayerCount };
    const char *const names[] = {"mpv's own playlist", "MPlayer's own playlist", "Movara, mpv",
                                 "Movara, MPlayer"};
    QHash<QString, Figures> figures[PlayerCount];
    std::printf("%d parts of %d s of one tone, %d interleaved rounds\n", parts, partSeconds,
                rounds);
    for (int round = 0; round < rounds; ++round) {
        for (const QString &format : formats) {
            for (int player = 0; player < PlayerCount; ++player) {
                if (!sound.startRecording())
                    return 1;
                const QStringList &list = media[format];
                switch (player) {
                case MpvAlone:
                    playAlone(QStringLiteral("mpv"),
                              QStringList{"--no-config", "--input-terminal=no", "--ao=pulse",
                                          "--vo=null", "--volume=50"} +
                                  list);
                    break;
                case MPlayerAlone:
                    playAlone(QStringLiteral("mplayer"),
                              QStringList{"-ao", "pulse", "-vo", "null", "-nolirc", "-nortc",
                                          "-noconsolecontrols", "-volume", "50"} +
                                  list);
                    break;
                default:
                    qputenv("MOVARA_ENGINE", player == MovaraMpv ? "mpv" : "mplayer");
                    playWithControl(list);
                    qunsetenv("MOVARA_ENGINE");
                    break;
                }
                sound.awaitQuiet(2500);
                const QByteArray recorded = sound.stopRecording();
                const HeardSound heard = HeardSound::of(recorded);
                std::fprintf(stderr, "%s, %s: %s\n", names[player], qPrintable(format),
                             qPrintable(heard.account()));
                figures[player][format].add(heard);
            }
        }
        std::fprintf(stderr, "round %d done\n", round + 1);
    }
    for (const QString &format : formats) {
        std::printf("%s (silence a change: median, range, and beyond the engine's own):\n",
                    qPrintable(format));
        for (int player = 0; player < PlayerCount; ++player) {
            const double floor = player == MovaraMpv ? median(figures[MpvAlone][format].changes)
                                 : player == MovaraMPlayer
                                     ? median(figures[MPlayerAlone][format].changes)
                                     : -1;
            print(names[player], figures[player][format], floor);
        }
    }
    return 0;
}
