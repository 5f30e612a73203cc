// What following the engine's output costs the program. A child writes
// status lines one at a time at a pace, and the program's side reads them
// through QProcess and the event loop in two ways, in interleaved rounds:
// a bare reader that only drains the pipe (the floor any front-end pays),
// and the player control, which parses every line. CPU time is this
// process's own, from getrusage. Also the time playFile takes to get the
// engine process running. Then what a medium of 1,000 chapters costs: the
// reader on its header, against the same header without them, and the engine
// behind the adapter up to the end of the list, against a medium of 12, and
// the options' list of them made and drawn.
// Prints figures; asserts nothing.

#include "support/enginetesthelpers.h"
#include "support/testmedia.h"

#include "platform/zapplication.h"
#include "ui/mvoptions.h"
#include "ui/mvoptionsmenu.h"

#include <QApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <sys/resource.h>
#include <time.h>

namespace {
// The real engine's status rate with its SDL audio driver.
const double engineLineIntervalMs = 23.0;
const int linesPerRun = 2000;
const int paceMicros = 2000;
const int rounds = 5;

double cpuMs()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double wallMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Status lines of the real engine playing a generated clip for a few
// seconds (it plays in real time), if both tools are at hand; one per "\r",
// as the engine writes them.
QList<QByteArray> recordStatus(const QString &dir)
{
    QList<QByteArray> lines;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString mplayer = QStandardPaths::findExecutable(QStringLiteral("mplayer"));
    if (ffmpeg.isEmpty() || mplayer.isEmpty())
        return lines;
    const QString clip = dir + QStringLiteral("/clip.mp3");
    if (QProcess::execute(ffmpeg, {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                   "sine=frequency=440:duration=200", "-b:a", "32k", clip}) != 0)
        return lines;
    QProcess engine;
    engine.start(mplayer, {"-slave", "-nortc", "-ao", "null", "-vo", "null", "-endpos", "4", clip});
    engine.closeWriteChannel();
    if (!engine.waitForFinished(20000)) {
        engine.kill();
        engine.waitForFinished();
    }
    for (const QByteArray &part : engine.readAllStandardOutput().split('\r'))
        if (part.startsWith("A:"))
            lines.append(part + '\r');
    return lines;
}

// Lines shaped like the engine's audio status, when it cannot be recorded.
QList<QByteArray> synthesizeStatus(int count)
{
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.026;
        char line[96];
        std::snprintf(line, sizeof line,
                      "A:%6.1f (%02d:%04.1f) of 1000.0 (16:40.0)  0.5%% \033[J\r", t, int(t) / 60,
                      t - (int(t) / 60) * 60);
        lines.append(QByteArray(line));
    }
    return lines;
}

struct Run
{
    int notifications = 0;
    int timeSignals = 0;
    double cpuMs = 0;
    double wallMs = 0;
};

// Runs the event loop from "go" until the engine has written the status
// file and then a line on its error output, which ends the loop alike for
// both readers: what the controller does once, at a medium's end or the
// engine's exit, stays out of the figures.
template <typename Go> void measure(Run &run, QProcess *engine, Go go)
{
    QEventLoop loop;
    QObject::connect(engine, &QProcess::readyReadStandardError, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    const double wallStart = wallMs();
    const double cpuStart = cpuMs();
    go();
    loop.exec();
    run.cpuMs = cpuMs() - cpuStart;
    run.wallMs = wallMs() - wallStart;
}

const char replayScript[] = "expect go\nreplay status %1\nerr done\n";

// The floor: a process object that only drains its output.
Run bareRun(EngineFixture &engine)
{
    Run run;
    engine.setScript(QString::fromLatin1(replayScript).arg(paceMicros));
    QProcess reader;
    QObject::connect(&reader, &QProcess::readyReadStandardOutput, [&] {
        ++run.notifications;
        reader.readAllStandardOutput();
    });
    reader.start(QStringLiteral("./mplayer"), QStringList());
    reader.waitForStarted();
    measure(run, &reader, [&] { reader.write("go\n"); });
    reader.write("quit\n");
    reader.waitForFinished(2000);
    return run;
}

// The player control, in its status phase, following the same lines.
Run controlRun(EngineFixture &engine)
{
    Run run;
    engine.setScript("line AO: [null] 44100Hz 2ch s16le (2 bytes per sample)\n" +
                     QString::fromLatin1(replayScript).arg(paceMicros));
    ProbeControl control(nullptr, 50, 0);
    control.playFile(QStringLiteral("/media/clip.mp3"));
    for (int i = 0; i < 100 && !control.ownIdleTimerActive(); ++i)
        QTest::qWait(20);
    QProcess *process = control.engineProcess();
    QObject::connect(process, &QProcess::readyReadStandardOutput, [&] { ++run.notifications; });
    QObject::connect(&control, &MvPlayerControl::signalTimeElapse, [&] { ++run.timeSignals; });
    measure(run, process, [&] { control.sendCommand(QStringLiteral("go\n")); });
    return run;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void printPerLine(const char *name, const QList<double> &perLineUs, double floorUs)
{
    const auto [least, most] = std::minmax_element(perLineUs.begin(), perLineUs.end());
    const double perMinute = median(perLineUs) * (60000.0 / engineLineIntervalMs) / 1000.0;
    std::printf("%-12s %7.2f us per line (min %.2f, max %.2f), %.2f x the floor; "
                "%.0f ms CPU per minute at one line per %.0f ms\n",
                name, median(perLineUs), *least, *most, median(perLineUs) / floorUs, perMinute,
                engineLineIntervalMs);
}
// The engine's header for a medium with `count` chapters, read through the
// adapter; empty when the engine or ffmpeg is missing.
QByteArray chapteredHeader(const QString &dir, int count, const char *engine, double *ms)
{
    const QString path = QStringLiteral("%1/book%2.m4b").arg(dir).arg(count);
    if (!QFileInfo::exists(path) && !makeChapteredMedium(path, count, 0.1))
        return QByteArray();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MOVARA_ENGINE"), QLatin1String(engine));
    env.remove(QStringLiteral("DISPLAY"));
    QProcess adapter;
    adapter.setProcessEnvironment(env);
    const double start = wallMs();
    adapter.start(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                  MvPlayerControl::engineArguments(path));
    QByteArray out;
    while (!out.contains("\nAO: ") && adapter.waitForReadyRead(10000)) {
        out += adapter.readAllStandardOutput();
        if (*ms < 0 && out.contains("ID_CHAPTERS="))
            *ms = wallMs() - start;
    }
    adapter.kill();
    adapter.waitForFinished();
    return out.left(out.indexOf("\nAO: ") + 1);
}

// Milliseconds the reader takes over a header, the median of 21 rounds.
double readerMs(const QByteArray &header, qsizetype *listed)
{
    QList<double> rounds;
    for (int i = 0; i < 21; ++i) {
        MvEngineOutput output;
        QObject::connect(&output, &MvEngineOutput::chaptersRead,
                         [listed](const QVector<MvChapter> &list) { *listed = list.size(); });
        QElapsedTimer clock;
        clock.start();
        output.begin(0);
        output.feed(header, 0);
        rounds.append(clock.nsecsElapsed() / 1e6);
    }
    return median(rounds);
}

// Milliseconds from a medium's chapters to the options' list of them drawn,
// the median of 21 rounds.
double chapterListMs(const QByteArray &header)
{
    QVector<MvChapter> chapters;
    MvEngineOutput output;
    QObject::connect(&output, &MvEngineOutput::chaptersRead,
                     [&chapters](const QVector<MvChapter> &list) { chapters = list; });
    output.begin(0);
    output.feed(header, 0);
    QWidget frame;
    frame.resize(240, 320);
    frame.show();
    MvOptionsMenu menu(&frame);
    QList<double> rounds;
    for (int i = 0; i < 21; ++i) {
        menu.open(frame.mapToGlobal(QPoint(0, frame.height())));
        menu.close();
        QElapsedTimer clock;
        clock.start();
        menu.openList(MvOptions::chapterRows(chapters), int(chapters.size() / 2), {});
        if (QWidget *list = QApplication::activePopupWidget())
            list->repaint();
        rounds.append(clock.nsecsElapsed() / 1e6);
        menu.close();
    }
    return median(rounds);
}

void chapterRows(const QString &dir)
{
    for (const char *engine : {"mplayer", "mpv"}) {
        double bookMs = -1, shortMs = -1;
        const QByteArray book = chapteredHeader(dir, 1000, engine, &bookMs);
        chapteredHeader(dir, 12, engine, &shortMs);
        if (book.isEmpty()) {
            std::printf("%s: no chaptered medium (ffmpeg or the engine missing)\n", engine);
            continue;
        }
        // The baseline: as many bytes of header lines the reader only looks through.
        QByteArray plain = book;
        plain.replace("\nID_CHAPTER", "\nXX_CHAPTER");
        qsizetype listed = -1, none = -1;
        const double withMs = readerMs(book, &listed);
        const double withoutMs = readerMs(plain, &none);
        std::printf(
            "%s, 1000 chapters: the reader %.2f ms over %lld bytes (%.2f x the same bytes "
            "as other header lines, %.3f ms), %lld listed; the engine's list done %.0f ms after "
            "its start (%.2f x a medium of 12, %.0f ms)\n",
            engine, withMs, qlonglong(book.size()), withMs / withoutMs, withoutMs,
            qlonglong(listed), bookMs, bookMs / shortMs, shortMs);
        const double listMs = chapterListMs(book);
        const double shortListMs = chapterListMs(chapteredHeader(dir, 12, engine, &shortMs));
        std::printf("%s, 1000 chapters: the options' list made and drawn in %.2f ms (%.2f x a "
                    "medium of 12, %.2f ms)\n",
                    engine, listMs, listMs / shortListMs, shortListMs);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program's own application object, with its application-wide filters.
    ZApplication app(argc, argv);
    EngineFixture engine;
    if (!engine.installEngine()) {
        std::printf("cannot place the scripted engine\n");
        return 1;
    }

    QList<QByteArray> recorded = recordStatus(engine.dirPath);
    const bool real = !recorded.isEmpty();
    if (!real)
        recorded = synthesizeStatus(linesPerRun);
    QFile statusFile(engine.dirPath + QStringLiteral("/status"));
    qint64 bytes = 0;
    if (statusFile.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < linesPerRun; ++i)
            bytes += statusFile.write(recorded[i % recorded.size()]);
        statusFile.close();
    }
    std::printf("status lines: %s, %d per run, %.0f bytes each, one write every %d us; "
                "%d interleaved rounds\n",
                real ? "recorded from the real engine" : "synthesized", linesPerRun,
                double(bytes) / linesPerRun, paceMicros, rounds);

    QList<double> bareUs;
    QList<double> controlUs;
    QList<double> excessUs;
    for (int round = 0; round < rounds; ++round) {
        const Run bare = bareRun(engine);
        const Run control = controlRun(engine);
        bareUs.append(bare.cpuMs * 1000.0 / linesPerRun);
        controlUs.append(control.cpuMs * 1000.0 / linesPerRun);
        excessUs.append(controlUs.last() - bareUs.last());
        std::printf("round %d: bare %d notifications, %.1f ms CPU, %.0f ms wall; control %d "
                    "notifications, %.1f ms CPU, %.0f ms wall, %d elapsed-time signals\n",
                    round + 1, bare.notifications, bare.cpuMs, bare.wallMs, control.notifications,
                    control.cpuMs, control.wallMs, control.timeSignals);
    }
    const double floorUs = median(bareUs);
    printPerLine("bare reader", bareUs, floorUs);
    printPerLine("control", controlUs, floorUs);
    std::printf("the control's own share: %.2f us per line (median of the rounds' differences)\n",
                median(excessUs));

    // From playFile to a running engine process: fork, exec, the start report.
    QList<double> launches;
    for (int i = 0; i < 20; ++i) {
        engine.setScript(QString());
        ProbeControl fresh(nullptr, 50, 0);
        const double start = wallMs();
        fresh.playFile(QStringLiteral("/media/clip.mp3"));
        launches.append(wallMs() - start);
        if (!fresh.ownEngineRunning())
            std::printf("launch %d failed\n", i);
    }
    std::sort(launches.begin(), launches.end());
    std::printf("playFile to engine running: median %.3f ms, min %.3f ms, max %.3f ms "
                "(20 launches)\n",
                launches[launches.size() / 2], launches.first(), launches.last());
    chapterRows(engine.dirPath);
    return 0;
}
