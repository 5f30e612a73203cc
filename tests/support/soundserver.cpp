#include "support/soundserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <unistd.h>
#include <utility>

namespace {

void dieWithTest(QProcess &process)
{
    const pid_t test = ::getpid();
    process.setChildProcessModifier([test] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != test)
            ::_exit(127);
    });
}

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

SoundServer::~SoundServer()
{
    stop();
}

bool SoundServer::start(const QString &parent)
{
    QByteArray folder = QFile::encodeName(parent + QStringLiteral("/pulse-XXXXXX"));
    if (!::mkdtemp(folder.data()))
        return false;
    runtime = QFile::decodeName(folder);
    server.setProgram(QStringLiteral("pulseaudio"));
    server.setArguments({QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                         QStringLiteral("--disable-shm=yes"),
                         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1"),
                         QStringLiteral("--load=module-null-sink sink_name=rec")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("HOME"), runtime);
    env.remove(QStringLiteral("PULSE_SERVER"));
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dieWithTest(server);
    server.start();
    if (!server.waitForStarted(5000))
        return false;
    const QString socket = runtime + QStringLiteral("/pulse/native");
    QDeadlineTimer deadline(20000);
    while (!QFileInfo::exists(socket) && server.state() == QProcess::Running &&
           !deadline.hasExpired())
        QThread::msleep(20);
    return QFileInfo::exists(socket);
}

void SoundServer::stop()
{
    end(busy);
    end(recorder);
    end(server);
    if (!runtime.isEmpty())
        QDir(runtime).removeRecursively();
    runtime.clear();
}

QProcessEnvironment SoundServer::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    base.remove(QStringLiteral("PULSE_SERVER"));
    return base;
}

bool SoundServer::startRecording(int latencyMs)
{
    recorder.setProgram(QStringLiteral("parec"));
    QStringList arguments{QStringLiteral("-d"),
                          QStringLiteral("rec.monitor"),
                          QStringLiteral("--format=s16le"),
                          QStringLiteral("--rate=%1").arg(rate),
                          QStringLiteral("--channels=2"),
                          QStringLiteral("--raw")};
    if (latencyMs > 0)
        arguments << QStringLiteral("--latency-msec=%1").arg(latencyMs);
    recorder.setArguments(arguments);
    recorder.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    recorder.setProcessChannelMode(QProcess::SeparateChannels);
    dieWithTest(recorder);
    recorder.start();
    recorded.clear();
    if (!recorder.waitForStarted(5000))
        return false;
    // The sink's silence comes through once the recording runs: what plays
    // from then on is recorded from its first sample.
    QDeadlineTimer deadline(10000);
    while (recorded.isEmpty() && !deadline.hasExpired() && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(100);
        recorded += recorder.readAllStandardOutput();
    }
    return !recorded.isEmpty();
}

bool SoundServer::keepSinkBusy(int latencyMs)
{
    busy.setProgram(QStringLiteral("pacat"));
    QStringList arguments{QStringLiteral("--playback"), QStringLiteral("--raw")};
    if (latencyMs > 0)
        arguments << QStringLiteral("--latency-msec=%1").arg(latencyMs);
    busy.setArguments(arguments);
    busy.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    busy.setStandardInputFile(QStringLiteral("/dev/zero"));
    dieWithTest(busy);
    busy.start();
    return busy.waitForStarted(5000);
}

bool SoundServer::awaitQuiet(int ms, int limitMs)
{
    const qsizetype tail = qsizetype(rate) * ms / 1000 * 4;
    QDeadlineTimer deadline(limitMs);
    while (!deadline.hasExpired() && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(100);
        recorded += recorder.readAllStandardOutput();
        if (recorded.size() < tail)
            continue;
        const auto *samples =
            reinterpret_cast<const qint16 *>(recorded.constData() + (recorded.size() & ~3) - tail);
        bool quiet = true;
        for (qsizetype i = 0; quiet && i < tail / 2; ++i)
            quiet = std::abs(int(samples[i])) <= 2;
        if (quiet && HeardSound::of(recorded).heard > 0)
            return true;
    }
    return false;
}

namespace {
// The first (or last) frame of raw 16-bit stereo from `from` on that is not
// digital silence, give or take a rounding; -1 for none.
qsizetype loudFrame(const QByteArray &raw, qsizetype from, bool last)
{
    const qsizetype frames = raw.size() / 4;
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    qsizetype found = -1;
    for (qsizetype i = from; i < frames; ++i) {
        if (std::abs(int(samples[2 * i])) > 2 || std::abs(int(samples[2 * i + 1])) > 2) {
            found = i;
            if (!last)
                break;
        }
    }
    return found;
}
} // namespace

qint64 SoundServer::awaitSound(const QElapsedTimer &clock, int limitMs)
{
    qint64 heard = -1;
    awaitLastSound(
        clock,
        [&] {
            const qsizetype frames = recorded.size() / 4;
            const qsizetype first = loudFrame(recorded, 0, false);
            if (first >= 0 && heard < 0)
                heard = clock.elapsed() - (frames - 1 - first) * 1000 / rate;
            return heard >= 0;
        },
        limitMs);
    return heard;
}

qint64 SoundServer::awaitLastSound(const QElapsedTimer &clock, const std::function<bool()> &done,
                                   int limitMs)
{
    qint64 last = -1;
    QDeadlineTimer deadline(limitMs);
    while (!deadline.hasExpired() && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(20);
        // A chunk's samples came with it, the last one as it arrived.
        const qint64 arrived = clock.elapsed();
        const qsizetype from = recorded.size() / 4;
        recorded += recorder.readAllStandardOutput();
        const qsizetype frames = recorded.size() / 4;
        const qsizetype loud = loudFrame(recorded, from, true);
        if (loud >= 0)
            last = arrived - (frames - 1 - loud) * 1000 / rate;
        if (done())
            break;
    }
    return last;
}

QByteArray SoundServer::stopRecording()
{
    end(busy);
    recorder.terminate();
    recorder.waitForFinished(5000);
    return std::exchange(recorded, QByteArray()) + recorder.readAllStandardOutput();
}

HeardSound HeardSound::of(const QByteArray &raw)
{
    // The louder channel of each frame.
    const qsizetype frames = raw.size() / 4;
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    auto level = [samples](qsizetype i) {
        return std::max(std::abs(int(samples[2 * i])), std::abs(int(samples[2 * i + 1])));
    };
    // Digital silence, give or take a rounding.
    const int quiet = 2;
    const qsizetype shortest = SoundServer::rate * 2 / 1000;
    HeardSound heard;
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < frames; ++i) {
        if (level(i) > quiet) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return heard;

    // 0.1 s peaks from the first sound on, and where each start of sound falls.
    const qsizetype window = SoundServer::rate / 10;
    QList<qsizetype> starts{first};
    qsizetype silentFrom = -1, silent = 0;
    for (qsizetype i = first; i <= last; ++i) {
        if (level(i) <= quiet) {
            if (silentFrom < 0)
                silentFrom = i;
            continue;
        }
        if (silentFrom >= 0 && i - silentFrom >= shortest) {
            heard.silences.append((i - silentFrom) * 1000.0 / SoundServer::rate);
            heard.silencesAt.append(double(silentFrom - first - silent) / SoundServer::rate);
            silent += i - silentFrom;
            if (i - silentFrom >= SoundServer::rate / 20)
                starts.append(i);
        }
        silentFrom = -1;
    }
    heard.heard = double(last + 1 - first - silent) / SoundServer::rate;

    auto peak = [&](qsizetype from) {
        int loudest = 0;
        for (qsizetype i = from; i < std::min(from + window, last + 1); ++i)
            loudest = std::max(loudest, level(i));
        return loudest;
    };
    QList<int> peaks;
    for (qsizetype at = first; at + window <= last; at += window)
        peaks.append(peak(at));
    if (peaks.isEmpty())
        return heard;
    std::sort(peaks.begin(), peaks.end());
    const double median = std::max(1, peaks.at(peaks.size() / 2));
    heard.loudestStart = -1000;
    for (qsizetype start : starts)
        for (qsizetype at = start; at < start + SoundServer::rate / 2 && at <= last; at += window)
            heard.loudestStart = std::max(heard.loudestStart, 20 * std::log10(peak(at) / median));
    return heard;
}

double HeardSound::longestSilence() const
{
    return silences.isEmpty() ? 0 : *std::max_element(silences.begin(), silences.end());
}

double HeardSound::totalSilence() const
{
    double total = 0;
    for (double ms : silences)
        total += ms;
    return total;
}

QString HeardSound::account() const
{
    QStringList gaps;
    for (qsizetype i = 0; i < silences.size(); ++i)
        gaps.append(QStringLiteral("%1 at %2 s")
                        .arg(silences.at(i), 0, 'f', 1)
                        .arg(silencesAt.at(i), 0, 'f', 2));
    return QStringLiteral("heard %1 s, silences [%2] ms, loudest start %3 dB")
        .arg(heard, 0, 'f', 3)
        .arg(gaps.join(QStringLiteral(", ")))
        .arg(loudestStart, 0, 'f', 1);
}
