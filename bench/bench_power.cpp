// bench_power [--seconds S] [--rounds N] [--presses N] [--engine mplayer|mpv] [--buffers]
//             [--smoke]
// What the player costs a battery. For each engine and round, the whole
// program runs in the phone launcher and plays a 10-minute 128 kb/s MP3 into
// a private sound server's null sink; each process's wake-ups (voluntary and
// involuntary context switches of all its threads) and CPU time (all its
// threads' time on a processor) are taken over S seconds in four states: the
// browser idle, playing with the screen lit, playing with it dark, paused
// with it dark. Beside them, the engine alone with the arguments the adapter
// gave it (the same file, sink and buffer), playing and paused. Then the key
// that picks the medium to its first sound at the sink, against the engine
// started alone on the file, N presses each; and, with the adapter alone at
// ten and at one status line a second, a short medium's last sample at the
// sink to the adapter's end line. Prints medians, their spread and ratios;
// asserts nothing.
//   --buffers  also the engine alone playing with other sound server buffers
//   --smoke    one short round with MPlayer, to prove the benchmark runs (CI)
#include "support/processes.h"
#include "support/soundserver.h"
#include "support/xsession.h"

#include "enginecommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
// The exit status CTest takes for a skipped test.
constexpr int skipped = 77;

struct Cost
{
    double wakes = 0; // a second
    double cpuMs = 0; // a minute
};

// Each thread's context switches and time on a processor (ns), by "pid/tid".
void sampleThreads(qint64 pid, QHash<QString, QPair<qint64, qint64>> &into)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + '/' + tid + QStringLiteral("/status"));
        QFile schedstat(tasks + '/' + tid + QStringLiteral("/schedstat"));
        if (!status.open(QIODevice::ReadOnly) || !schedstat.open(QIODevice::ReadOnly))
            continue;
        qint64 switches = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") ||
                line.startsWith("nonvoluntary_ctxt_switches:"))
                switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        const qint64 ns = schedstat.readAll().split(' ').value(0).toLongLong();
        into[QString::number(pid) + '/' + tid] = {switches, ns};
    }
}

// Sampled every second, so that a thread that ends counts up to its last sample.
QList<Cost> measure(const QList<qint64> &pids, double seconds)
{
    QHash<QString, QPair<qint64, qint64>> first, last;
    for (qint64 pid : pids)
        sampleThreads(pid, first);
    QElapsedTimer clock;
    clock.start();
    const qint64 total = qint64(seconds * 1000);
    for (qint64 next = std::min<qint64>(1000, total);; next = std::min(next + 1000, total)) {
        QThread::msleep(ulong(std::max<qint64>(0, next - clock.elapsed())));
        for (qint64 pid : pids)
            sampleThreads(pid, last);
        if (next >= total)
            break;
    }
    const double elapsed = double(clock.elapsed()) / 1000;
    QList<Cost> costs;
    for (qint64 pid : pids) {
        qint64 switches = 0, ns = 0;
        const QString prefix = QString::number(pid) + '/';
        for (auto it = last.cbegin(); it != last.cend(); ++it) {
            if (!it.key().startsWith(prefix))
                continue;
            const auto before = first.value(it.key());
            switches += it.value().first - before.first;
            ns += it.value().second - before.second;
        }
        costs.append({switches / elapsed, ns / 1e6 * 60 / elapsed});
    }
    return costs;
}

// Writes a line to a listening Unix socket (mpv's IPC); whether it went.
bool sendTo(const QString &path, const QByteArray &line)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool sent =
        fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::write(fd, line.constData(), size_t(line.size())) == line.size();
    if (fd >= 0)
        ::close(fd);
    return sent;
}

QList<qint64> descendants(qint64 pid)
{
    QList<qint64> all;
    for (qint64 child : childrenOf(pid))
        all << child << descendants(child);
    return all;
}

QByteArray commandName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

qint64 descendantNamed(qint64 pid, const QByteArray &name)
{
    for (qint64 child : descendants(pid)) {
        if (commandName(child) == name)
            return child;
    }
    return 0;
}

QStringList commandLine(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    for (const QByteArray &argument : file.readAll().split('\0'))
        arguments << QString::fromLocal8Bit(argument);
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    return arguments;
}

// Waits for the condition, looking every 50 ms; whether it came within limitMs.
template <typename Condition> bool waitUntil(Condition condition, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

void waitFor(const QElapsedTimer &since, qint64 ms)
{
    QThread::msleep(ulong(std::max<qint64>(0, ms - since.elapsed())));
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return qQNaN();
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString spread(QList<double> values, int decimals)
{
    if (values.isEmpty())
        return QStringLiteral("-");
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1 to %2").arg(*low, 0, 'f', decimals).arg(*high, 0, 'f', decimals);
}

QString figure(double value, int decimals)
{
    return std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'f', decimals);
}

QString ratio(double value, double base)
{
    return std::isnan(value) || std::isnan(base) || base <= 0
               ? QStringLiteral("-")
               : QString::number(value / base, 'f', 2);
}

enum State { BrowserIdle, PlayingLit, PlayingDark, PausedDark, StateCount };
const char *const stateNames[] = {"browser idle", "playing, screen lit", "playing, screen dark",
                                  "paused, screen dark"};
enum Part { Program, Adapter, Engine, Whole, PartCount };

// Every figure of one engine over the rounds.
struct EngineFigures
{
    QList<Cost> costs[StateCount][PartCount];
    QList<Cost> alonePlaying, alonePaused;
    QList<double> keyToSound, aloneToSound;
    QMap<int, QList<Cost>> buffers;      // the engine alone playing, by buffer (ms)
    QMap<int, QList<double>> endLatency; // last sample to the adapter's end line, by status rate
    QStringList notes;
};

class PowerBench
{
public:
    double seconds = 20;
    int presses = 5;
    QString audioDir, file, phone, work;
    SoundServer sound;

    bool runProgram(const QString &engine, EngineFigures &figures);
    bool runAlone(const QString &engine, EngineFigures &figures, int bufferMs = 0);
    bool runEnd(const QString &engine, int rate, EngineFigures &figures);
    QString endFile;

private:
    QStringList aloneArguments(const QString &engine, const QString &socket) const;

    QStringList engineArguments;  // the adapter's, for the engine alone
    QStringList adapterArguments; // the program's, for the adapter alone
    QString engineArgumentsOf;
};

QProcessEnvironment playingEnvironment(const SoundServer &sound)
{
    QProcessEnvironment env = sound.environment(QProcessEnvironment::systemEnvironment());
    for (const char *name : {"DISPLAY", "MOVARA_PHONE", "QT_QPA_PLATFORM", "MOVARA_ENGINE",
                             "MOVARA_LCD_SECOND_MS", "PULSE_LATENCY_MSEC"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Whether the phone's screen shows black, or true when it cannot be looked at.
bool screenDark(const XSession &x, qulonglong window)
{
    const QImage shot = x.grab(QRect(x.position(window), QSize(240, 320)));
    if (shot.isNull())
        return true;
    qsizetype black = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            black += (shot.pixel(x, y) & 0xffffff) == 0;
    return black >= qsizetype(shot.width()) * shot.height() * 98 / 100;
}

bool PowerBench::runProgram(const QString &engine, EngineFigures &figures)
{
    // A fresh phone folder: no place kept from the last run, no demo media.
    QDir(phone).removeRecursively();
    for (const char *dir : {"video", "audio", "playlist", "card"})
        QDir().mkpath(phone + '/' + QLatin1String(dir));
    QFile(phone + QStringLiteral("/.demo-made")).open(QIODevice::WriteOnly);
    // The screen sleeps when a state's sample, with a second's start, is over.
    const qint64 sleepMs = qint64(seconds * 1000) + (seconds < 2 ? 1500 : 3000);
    const int sleepTimes[] = {30, 60, 300, 600};
    int setting = 0;
    while (setting < 3 && sleepMs > sleepTimes[setting] * 1000)
        ++setting;
    const qint64 secondMs =
        std::clamp<qint64>((sleepMs + sleepTimes[setting] - 1) / sleepTimes[setting], 1, 1000);
    const qint64 darkAfter = secondMs * sleepTimes[setting];
    QFile config(phone + QStringLiteral("/ezx_system.cfg"));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QByteArray("[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = ") +
                 QByteArray::number(setting) + '\n');
    config.close();

    QProcessEnvironment env = playingEnvironment(sound);
    env.insert(QStringLiteral("MOVARA_LCD_SECOND_MS"), QString::number(secondMs));
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(work);
    // Into files: a pipe nobody reads while a state is measured would fill.
    const QString said = work + QStringLiteral("/launcher-err.txt");
    launcher.setStandardOutputFile(work + QStringLiteral("/launcher-out.txt"));
    launcher.setStandardErrorFile(said);
    launcher.setStandardInputFile(QProcess::nullDevice());
    launcher.start(binDir + QStringLiteral("/movara-phone"),
                   {"--phone", phone, "--audio", audioDir, "--engine", engine, "--",
                    binDir + QStringLiteral("/movara")});
    if (!launcher.waitForStarted())
        return false;
    auto stop = [&launcher] {
        launcher.terminate();
        if (!launcher.waitForFinished(20000)) {
            launcher.kill();
            launcher.waitForFinished(5000);
        }
    };
    QString display;
    waitUntil(
        [&] {
            QFile text(said);
            text.open(QIODevice::ReadOnly);
            const QByteArray all = text.readAll();
            const qsizetype at = all.indexOf("Xvfb :");
            if (at >= 0)
                display = QString::fromLatin1(all.mid(at + 5).split(' ').first().trimmed());
            return !display.isEmpty() || launcher.state() != QProcess::Running;
        },
        60000);
    XSession x(display);
    const qulonglong window =
        display.isEmpty() ? 0 : x.findWindow(QStringLiteral("^Movara$"), 60000);
    qint64 program = 0;
    waitUntil([&] { return (program = descendantNamed(launcher.processId(), "movara")) != 0; },
              10000);
    if (!window || !program) {
        std::fprintf(stderr, "bench_power: Movara did not show its window (see %s)\n",
                     qPrintable(said));
        stop();
        return false;
    }

    QThread::msleep(300);
    figures.costs[BrowserIdle][Program] << measure({program}, seconds);
    figures.costs[BrowserIdle][Whole] << figures.costs[BrowserIdle][Program].last();

    // Home wakes the screen should it have slept already; the audio root; the file's row.
    for (const char *key : {"Home", "Down", "Return"})
        x.key(window, QLatin1String(key));
    QThread::msleep(300);
    qint64 adapter = 0, engineProcess = 0;
    auto engineFound = [&] {
        adapter = descendantNamed(program, "mplayer");
        const QList<qint64> below = adapter ? childrenOf(adapter) : QList<qint64>();
        engineProcess = below.isEmpty() ? 0 : below.first();
        return engineProcess != 0;
    };
    QElapsedTimer sinceKey;
    for (int press = 0; press < presses; ++press) {
        if (!sound.startRecording(10))
            break;
        QElapsedTimer clock;
        clock.start();
        // The window has the focus: the key alone, as a person presses it.
        x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        sinceKey.start();
        const qint64 heard = sound.awaitSound(clock, 10000);
        sound.stopRecording();
        if (heard >= 0)
            figures.keyToSound << double(heard);
        if (press + 1 < presses) {
            x.key(window, QStringLiteral("F2"));
            waitUntil([&] { return descendantNamed(program, "mplayer") == 0; }, 5000);
            QThread::msleep(300);
        }
    }
    if (!waitUntil(engineFound, 10000)) {
        std::fprintf(stderr, "bench_power: no engine plays (see %s)\n", qPrintable(said));
        stop();
        return false;
    }
    engineArguments = commandLine(engineProcess);
    adapterArguments = commandLine(adapter);
    engineArgumentsOf = engine;

    auto measureAll = [&](State state) {
        const QList<Cost> costs = measure({program, adapter, engineProcess}, seconds);
        Cost whole;
        for (int part = Program; part < Whole; ++part) {
            figures.costs[state][part] << costs[part];
            whole.wakes += costs[part].wakes;
            whole.cpuMs += costs[part].cpuMs;
        }
        figures.costs[state][Whole] << whole;
    };
    waitFor(sinceKey, 1000);
    measureAll(PlayingLit);

    waitFor(sinceKey, darkAfter + 500);
    if (!screenDark(x, window))
        figures.notes << QStringLiteral("the screen was lit while playing with it meant dark");
    measureAll(PlayingDark);

    // The first key only lights the screen; the second pauses.
    x.key(window, QStringLiteral("Home"));
    QThread::msleep(200);
    x.key(window, QStringLiteral("Return"));
    sinceKey.start();
    waitFor(sinceKey, darkAfter + 500);
    if (!screenDark(x, window))
        figures.notes << QStringLiteral("the screen was lit while paused with it meant dark");
    measureAll(PausedDark);
    stop();
    return true;
}

QStringList PowerBench::aloneArguments(const QString &engine, const QString &socket) const
{
    QStringList arguments = engineArguments.mid(1);
    if (engine == QLatin1String("mpv")) {
        // The adapter's IPC pair becomes a socket for the pause.
        for (QString &argument : arguments) {
            if (argument.startsWith(QLatin1String("--input-ipc-client=")))
                argument = QStringLiteral("--input-ipc-server=") + socket;
        }
    } else {
        // The medium, given last, perhaps as a hand-off file.
        if (!arguments.isEmpty())
            arguments.removeLast();
        if (!arguments.isEmpty() && arguments.last() == QLatin1String("-playlist"))
            arguments.removeLast();
    }
    return arguments << file;
}

bool PowerBench::runAlone(const QString &engine, EngineFigures &figures, int bufferMs)
{
    if (engineArgumentsOf != engine || engineArguments.isEmpty())
        return false;
    const bool mpv = engine == QLatin1String("mpv");
    const QString socket = work + QStringLiteral("/mpv-alone.sock");
    QStringList arguments = aloneArguments(engine, socket);
    QProcessEnvironment env = playingEnvironment(sound);
    env.insert(QStringLiteral("HOME"), work);
    if (bufferMs > 0) {
        if (mpv) {
            for (QString &argument : arguments) {
                if (argument.startsWith(QLatin1String("--pulse-buffer=")))
                    argument = QStringLiteral("--pulse-buffer=%1").arg(bufferMs);
            }
        } else {
            // MPlayer has no buffer option of its own; the sound server's client library reads
            // this.
            env.insert(QStringLiteral("PULSE_LATENCY_MSEC"), QString::number(bufferMs));
        }
    }
    const QString program = engineArguments.first();
    const int starts = bufferMs > 0 ? 1 : presses;
    for (int start = 0; start < starts; ++start) {
        QFile::remove(socket);
        QProcess alone;
        alone.setProcessEnvironment(env);
        alone.setWorkingDirectory(work);
        alone.setStandardOutputFile(QProcess::nullDevice());
        alone.setStandardErrorFile(QProcess::nullDevice());
        if (mpv)
            alone.setStandardInputFile(QProcess::nullDevice());
        const bool recording = bufferMs == 0 && sound.startRecording(10);
        QElapsedTimer clock;
        clock.start();
        alone.start(program, arguments);
        if (!alone.waitForStarted())
            return false;
        if (recording) {
            const qint64 heard = sound.awaitSound(clock, 10000);
            sound.stopRecording();
            if (heard >= 0)
                figures.aloneToSound << double(heard);
        }
        auto command = [&](const QByteArray &slave, const QByteArray &ipc) {
            if (!mpv) {
                alone.write(slave);
                alone.waitForBytesWritten(1000);
                return;
            }
            waitUntil([&] { return sendTo(socket, ipc); }, 5000);
        };
        if (start + 1 == starts) {
            QThread::msleep(1000);
            const Cost playing = measure({alone.processId()}, seconds).first();
            if (bufferMs > 0) {
                figures.buffers[bufferMs] << playing;
            } else {
                figures.alonePlaying << playing;
                command("pause\n", "{\"command\":[\"set_property\",\"pause\",true]}\n");
                QThread::msleep(1000);
                figures.alonePaused << measure({alone.processId()}, seconds).first();
            }
        }
        command("quit\n", "{\"command\":[\"quit\"]}\n");
        if (!alone.waitForFinished(5000)) {
            alone.kill();
            alone.waitForFinished(5000);
        }
    }
    QFile::remove(socket);
    return true;
}

// The adapter alone, with the program's arguments and the status rate given,
// plays a short medium into the sink: from its last sample there to the
// adapter's end line.
bool PowerBench::runEnd(const QString &engine, int rate, EngineFigures &figures)
{
    if (engineArgumentsOf != engine || adapterArguments.size() < 2)
        return false;
    QStringList arguments = adapterArguments.mid(1);
    arguments.removeLast();
    if (!arguments.isEmpty() && arguments.last() == QLatin1String("-playlist"))
        arguments.removeLast();
    QProcessEnvironment env = playingEnvironment(sound);
    env.insert(QStringLiteral("HOME"), work);
    env.insert(QStringLiteral("MOVARA_ENGINE"), engine);
    QProcess adapter;
    adapter.setProcessEnvironment(env);
    adapter.setWorkingDirectory(work);
    adapter.setStandardErrorFile(QProcess::nullDevice());
    if (!sound.startRecording(10))
        return false;
    QElapsedTimer clock;
    clock.start();
    adapter.start(binDir + QStringLiteral("/mplayer"), arguments << endFile);
    adapter.write(QByteArrayLiteral("status_rate ") + QByteArray::number(rate) + '\n');
    QByteArray out;
    qint64 endAt = -1;
    const qint64 last = sound.awaitLastSound(
        clock,
        [&] {
            adapter.waitForReadyRead(0);
            out += adapter.readAllStandardOutput();
            if (endAt < 0 && out.contains("EOF code: 1"))
                endAt = clock.elapsed();
            return endAt >= 0 && clock.elapsed() > endAt + 300;
        },
        20000);
    sound.stopRecording();
    adapter.write("quit\n");
    if (!adapter.waitForFinished(5000)) {
        adapter.kill();
        adapter.waitForFinished(5000);
    }
    if (endAt < 0 || last < 0)
        return false;
    figures.endLatency[rate] << double(endAt - last);
    return true;
}

QList<double> wakesOf(const QList<Cost> &costs)
{
    QList<double> values;
    for (const Cost &cost : costs)
        values << cost.wakes;
    return values;
}

QList<double> cpuOf(const QList<Cost> &costs)
{
    QList<double> values;
    for (const Cost &cost : costs)
        values << cost.cpuMs;
    return values;
}

void printTable(const EngineFigures &figures, bool wakes)
{
    auto of = [wakes](const QList<Cost> &costs) { return wakes ? wakesOf(costs) : cpuOf(costs); };
    const int decimals = wakes ? 1 : 0;
    std::printf("  %-22s %8s %8s %8s %8s %14s %8s %8s\n",
                wakes ? "wake-ups a second" : "CPU ms a minute", "Movara", "adapter", "engine",
                "whole", "(spread)", "alone", "x alone");
    for (int state = 0; state < StateCount; ++state) {
        const QList<Cost> &alone = state == PausedDark    ? figures.alonePaused
                                   : state == BrowserIdle ? QList<Cost>()
                                                          : figures.alonePlaying;
        const double whole = median(of(figures.costs[state][Whole]));
        const double base = median(of(alone));
        std::printf("  %-22s %8s %8s %8s %8s %14s %8s %8s\n", stateNames[state],
                    qPrintable(figure(median(of(figures.costs[state][Program])), decimals)),
                    qPrintable(figure(median(of(figures.costs[state][Adapter])), decimals)),
                    qPrintable(figure(median(of(figures.costs[state][Engine])), decimals)),
                    qPrintable(figure(whole, decimals)),
                    qPrintable(spread(of(figures.costs[state][Whole]), decimals)),
                    qPrintable(figure(base, decimals)), qPrintable(ratio(whole, base)));
    }
}

void print(const QString &engine, const EngineFigures &figures)
{
    std::printf("\n%s\n", qPrintable(engine));
    printTable(figures, true);
    printTable(figures, false);
    const double key = median(figures.keyToSound), alone = median(figures.aloneToSound);
    std::printf("  key to first sound: Movara %s ms (%s, %lld presses), the engine started "
                "alone %s ms (%s): x %s\n",
                qPrintable(figure(key, 0)), qPrintable(spread(figures.keyToSound, 0)),
                qlonglong(figures.keyToSound.size()), qPrintable(figure(alone, 0)),
                qPrintable(spread(figures.aloneToSound, 0)), qPrintable(ratio(key, alone)));
    for (auto it = figures.endLatency.cbegin(); it != figures.endLatency.cend(); ++it)
        std::printf("  end of a medium at %2d status lines a second: the adapter's end line %s ms "
                    "(%s) after its last sample at the sink\n",
                    it.key(), qPrintable(figure(median(it.value()), 0)),
                    qPrintable(spread(it.value(), 0)));
    for (auto it = figures.buffers.cbegin(); it != figures.buffers.cend(); ++it)
        std::printf("  the engine alone playing with %4d ms at the server: %6.1f wake-ups/s, "
                    "%4.0f ms CPU/min\n",
                    it.key(), median(wakesOf(it.value())), median(cpuOf(it.value())));
    for (const QString &note : figures.notes)
        std::printf("  note: %s\n", qPrintable(note));
}

QByteArray versionOf(const char *package)
{
    QProcess query;
    query.start(
        QStringLiteral("dpkg-query"),
        {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), QString::fromLatin1(package)});
    return query.waitForFinished(5000) ? query.readAllStandardOutput() : QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"seconds", "Seconds per state.", "S", "20"},
                       {"rounds", "Rounds.", "N", "3"},
                       {"presses", "Key presses to first sound per round.", "N", "5"},
                       {"engine", "Only this engine (mplayer or mpv).", "NAME"},
                       {"buffers", "Also the engine alone with other server buffers."},
                       {"smoke", "One short round with MPlayer."}});
    parser.addHelpOption();
    parser.process(app);
    const bool smoke = parser.isSet("smoke");
    PowerBench bench;
    bench.seconds = smoke ? 0.5 : std::max(0.5, parser.value("seconds").toDouble());
    bench.presses = smoke ? 1 : std::max(1, parser.value("presses").toInt());
    const int rounds = smoke ? 1 : std::max(1, parser.value("rounds").toInt());
    QStringList engines = {QStringLiteral("mplayer"), QStringLiteral("mpv")};
    if (smoke)
        engines = {QStringLiteral("mplayer")};
    else if (parser.isSet("engine"))
        engines = {parser.value("engine")};

    QStringList tools = {"bwrap", "ffmpeg", "Xvfb", "xdotool", "pulseaudio", "parec"};
    for (const QString &engine : engines)
        tools << QStringLiteral("/usr/bin/") + engine;
    for (const QString &tool : tools) {
        const bool found = tool.startsWith('/') ? QFileInfo(tool).isExecutable()
                                                : !QStandardPaths::findExecutable(tool).isEmpty();
        if (!found) {
            std::printf("bench_power: %s is missing\n", qPrintable(tool));
            return qEnvironmentVariable("CI") == QLatin1String("true") ? 1 : skipped;
        }
    }

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    bench.work = work.path();
    bench.phone = work.filePath(QStringLiteral("phone"));
    bench.audioDir = work.filePath(QStringLiteral("audio"));
    bench.file = bench.audioDir + QStringLiteral("/tone.mp3");
    QDir().mkpath(bench.audioDir);
    // The end's medium lies outside the audio root, which holds one file.
    bench.endFile = work.filePath(QStringLiteral("end.mp3"));
    for (const auto &[file, length] :
         {std::pair{bench.file, smoke ? 30 : 600}, std::pair{bench.endFile, smoke ? 3 : 5}}) {
        if (QProcess::execute(
                QStringLiteral("ffmpeg"),
                {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                 QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(length),
                 "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", file}) != 0)
            return 1;
    }
    // The server's socket where a desktop has it when the machine lets us, else
    // in the working folder, which the launcher shows at its own path.
    const QString runRoot = QStringLiteral("/run/user");
    if (!(QFileInfo(runRoot).isWritable() && bench.sound.start(runRoot)) &&
        !bench.sound.start(work.path())) {
        std::printf("bench_power: the sound server did not start\n");
        return 1;
    }

    QMap<QString, EngineFigures> figures;
    bool ran = true;
    for (int round = 0; round < rounds; ++round) {
        for (const QString &engine : engines) {
            std::fprintf(stderr, "round %d of %d, %s ...\n", round + 1, rounds, qPrintable(engine));
            ran = bench.runProgram(engine, figures[engine]) &&
                  bench.runAlone(engine, figures[engine]) && ran;
            for (int rate : {EngineStatusRate::shown, EngineStatusRate::unseen}) {
                if (!smoke || rate == EngineStatusRate::unseen)
                    ran = bench.runEnd(engine, rate, figures[engine]) && ran;
            }
            if (parser.isSet("buffers") && round == 0) {
                for (int buffer : {100, 250, 500, 1000, 2000})
                    bench.runAlone(engine, figures[engine], buffer);
            }
        }
    }
    std::printf("bench_power: %d round(s) of %.1f s a state, %d press(es) a round; MPlayer %s, "
                "mpv %s, PulseAudio %s null sink\n",
                rounds, bench.seconds, bench.presses, versionOf("mplayer").constData(),
                versionOf("mpv").constData(), versionOf("pulseaudio").constData());
    for (const QString &engine : engines)
        print(engine == QLatin1String("mpv") ? QStringLiteral("mpv") : QStringLiteral("MPlayer"),
              figures[engine]);
    std::printf("\nwhole: Movara + adapter + engine; alone: the engine with the adapter's "
                "arguments, same file, sink and buffer;\nkey to first sound: from the key's "
                "xdotool start (the engine alone: its start) to the first sample at the sink.\n");
    return ran ? 0 : 1;
}
