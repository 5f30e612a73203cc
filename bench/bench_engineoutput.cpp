// What following the engine's output costs: the controller's CPU time per
// status burst against a plain scan of the same bytes, its share of one
// core at the engine's real status rate, and the time playFile takes to
// get the engine process running. Prints figures; asserts nothing.

#include "../tests/engine/enginetesthelpers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <time.h>

namespace {
const double realBurstIntervalMs = 23.0;

double cpuMs()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double wallMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Status output of the real engine playing a generated clip for a few
// seconds (it plays in real time), if both tools are at hand: one burst per
// "\r", as the engine writes them, cycled to the size wanted.
QList<QByteArray> recordStatus(const QString &dir, qint64 wantedBytes)
{
    QList<QByteArray> bursts;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString mplayer = QStandardPaths::findExecutable(QStringLiteral("mplayer"));
    if (ffmpeg.isEmpty() || mplayer.isEmpty())
        return bursts;
    const QString clip = dir + QStringLiteral("/clip.mp3");
    if (QProcess::execute(ffmpeg, {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                   "sine=frequency=440:duration=200", "-b:a", "32k", clip}) != 0)
        return bursts;
    QProcess engine;
    engine.start(mplayer, {"-slave", "-nortc", "-ao", "null", "-vo", "null", "-endpos", "4", clip});
    engine.closeWriteChannel();
    if (!engine.waitForFinished(20000)) {
        engine.kill();
        engine.waitForFinished();
    }
    QList<QByteArray> recorded;
    for (const QByteArray &part : engine.readAllStandardOutput().split('\r'))
        if (part.startsWith("A:"))
            recorded.append(part + '\r');
    qint64 bytes = 0;
    for (qsizetype i = 0; !recorded.isEmpty() && bytes < wantedBytes; ++i) {
        bursts.append(recorded[i % recorded.size()]);
        bytes += bursts.last().size();
    }
    return bursts;
}

// Lines shaped like the engine's audio status, when it cannot be recorded.
QList<QByteArray> synthesizeStatus(int count)
{
    QList<QByteArray> bursts;
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.026;
        char line[96];
        std::snprintf(line, sizeof line,
                      "A:%6.1f (%02d:%04.1f) of 1000.0 (16:40.0)  0.5%% \033[J\r", t, int(t) / 60,
                      t - (int(t) / 60) * 60);
        bursts.append(QByteArray(line));
    }
    return bursts;
}

// The least anyone must do with the bytes: look at each of them once.
double plainScanMs(const QList<QByteArray> &bursts, int rounds)
{
    volatile qsizetype found = 0;
    const double start = cpuMs();
    for (int r = 0; r < rounds; ++r)
        for (const QByteArray &burst : bursts)
            found = found + (std::memchr(burst.constData(), ')', size_t(burst.size())) != nullptr);
    return (cpuMs() - start) / rounds;
}

struct Replay
{
    int bursts = 0;
    int notifications = 0;
    int timeSignals = 0;
    double cpuMs = 0;
    double wallMs = 0;
};

// Plays a status file through the scripted engine and measures this
// process, which is the controller and its event loop.
Replay replay(EngineFixture &engine, const QString &fileAndPace, int bursts)
{
    Replay result;
    result.bursts = bursts;
    engine.setScript("line AO: [null] 44100Hz 2ch s16le (2 bytes per sample)\nexpect go\nreplay " +
                     fileAndPace + "\nline done\n");
    QFile::remove(engine.logPath);
    ProbeControl control(nullptr, 50, 0);
    control.playFile(QStringLiteral("/media/clip.mp3"));
    QObject::connect(control.engineProcess(), &QProcess::readyReadStandardOutput,
                     [&] { ++result.notifications; });
    QObject::connect(&control, &MvPlayerControl::signalTimeElapse, [&] { ++result.timeSignals; });
    for (int i = 0; i < 100 && !MvPlayerControl::isIdleTimerActive(); ++i)
        QTest::qWait(20);
    result.notifications = 0;

    const double wallStart = wallMs();
    const double cpuStart = cpuMs();
    control.sendCommand(QStringLiteral("go\n"));
    // A plain event loop, as in the program: QTest::qWait would sleep
    // between its rounds and gather several bursts into one notification.
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (engine.hasEntry(QStringLiteral("out"), QStringLiteral("done\\n")) ||
            wallMs() - wallStart > 120000)
            loop.quit();
    });
    check.start(250);
    loop.exec();
    result.cpuMs = cpuMs() - cpuStart;
    result.wallMs = wallMs() - wallStart;
    control.quitPlayer();
    return result;
}
// The same replay read by a bare process object that only drains its
// output: the cost of the event loop and the pipe, without the controller.
Replay bareReplay(EngineFixture &engine, const QString &fileAndPace, int bursts)
{
    Replay result;
    result.bursts = bursts;
    engine.setScript("expect go\nreplay " + fileAndPace + "\nline done\n");
    QFile::remove(engine.logPath);
    QProcess reader;
    QObject::connect(&reader, &QProcess::readyReadStandardOutput, [&] {
        ++result.notifications;
        reader.readAllStandardOutput();
    });
    reader.start(QStringLiteral("./mplayer"), QStringList());
    reader.waitForStarted();
    const double wallStart = wallMs();
    const double cpuStart = cpuMs();
    reader.write("go\n");
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (engine.hasEntry(QStringLiteral("out"), QStringLiteral("done\\n")) ||
            wallMs() - wallStart > 120000)
            loop.quit();
    });
    check.start(250);
    loop.exec();
    result.cpuMs = cpuMs() - cpuStart;
    result.wallMs = wallMs() - wallStart;
    reader.write("quit\n");
    reader.waitForFinished(2000);
    return result;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    EngineFixture engine;
    if (!engine.installEngine()) {
        std::printf("cannot place the scripted engine\n");
        return 1;
    }

    QList<QByteArray> bursts = recordStatus(engine.dirPath, 1 << 20);
    const bool recorded = !bursts.isEmpty();
    if (!recorded)
        bursts = synthesizeStatus(24000);
    QFile statusFile(engine.dirPath + QStringLiteral("/status"));
    qint64 bytes = 0;
    if (statusFile.open(QIODevice::WriteOnly)) {
        for (const QByteArray &burst : bursts)
            bytes += statusFile.write(burst);
        statusFile.close();
    }
    std::printf("status output: %s, %lld bursts, %lld bytes (%.0f bytes per burst)\n",
                recorded ? "recorded from the real engine, cycled" : "synthesized",
                qlonglong(bursts.size()), qlonglong(bytes), double(bytes) / bursts.size());

    QFile sampleFile(engine.dirPath + QStringLiteral("/sample"));
    if (sampleFile.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < 1000 && i < bursts.size(); ++i)
            sampleFile.write(bursts[i]);
        sampleFile.close();
    }
    const double scanUs = plainScanMs(bursts, 50) * 1000.0 / bursts.size();
    std::printf("plain scan of the same bytes: %.4f us per burst\n", scanUs);

    // The whole megabyte back to back, then a thousand bursts spaced so that
    // each arrives on its own, as at the engine's real rate.
    const Replay bulk = replay(engine, QStringLiteral("status 100"), int(bursts.size()));
    const Replay spaced =
        replay(engine, QStringLiteral("sample 4000"), qMin(1000, int(bursts.size())));
    for (const Replay *run : {&bulk, &spaced}) {
        const double perBurstUs = run->cpuMs * 1000.0 / run->bursts;
        const double perNotificationUs = run->cpuMs * 1000.0 / qMax(1, run->notifications);
        std::printf("%s: %d bursts in %d notifications, %.0f ms wall, %.1f ms CPU, %d "
                    "elapsed-time signals\n",
                    run == &bulk ? "back to back" : "spaced 4 ms", run->bursts, run->notifications,
                    run->wallMs, run->cpuMs, run->timeSignals);
        std::printf("  controller CPU per burst %.2f us, per notification %.2f us; "
                    "ratio to the plain scan %.0f : 1\n",
                    perBurstUs, perNotificationUs, perBurstUs / qMax(scanUs, 1e-6));
    }
    const Replay bare =
        bareReplay(engine, QStringLiteral("sample 4000"), qMin(1000, int(bursts.size())));
    const double realUs = spaced.cpuMs * 1000.0 / qMax(1, spaced.notifications);
    const double bareUs = bare.cpuMs * 1000.0 / qMax(1, bare.notifications);
    std::printf("bare reader, spaced 4 ms: %d notifications, %.2f us each (event loop and pipe "
                "alone)\n",
                bare.notifications, bareUs);
    std::printf("share of one core at one burst per %.0f ms: %.3f %% in all, %.3f %% of it "
                "the controller's own\n",
                realBurstIntervalMs, realUs / (realBurstIntervalMs * 10.0),
                (realUs - bareUs) / (realBurstIntervalMs * 10.0));

    // From playFile to a running engine process: fork, exec, the start report.
    QList<double> launches;
    for (int i = 0; i < 20; ++i) {
        engine.setScript(QString());
        ProbeControl fresh(nullptr, 50, 0);
        const double start = wallMs();
        fresh.playFile(QStringLiteral("/media/clip.mp3"));
        launches.append(wallMs() - start);
        if (!MvPlayerControl::isEngineRunning())
            std::printf("launch %d failed\n", i);
    }
    std::sort(launches.begin(), launches.end());
    std::printf("playFile to engine running: median %.3f ms, min %.3f ms, max %.3f ms "
                "(20 launches)\n",
                launches[launches.size() / 2], launches.first(), launches.last());
    return 0;
}
