// The adapter with a big MP3: its longest silence towards the program while
// a CBR MP3 without an Info header (1 GB unless told) is opened, its length
// asked and a seek made, against the same file relayed with nothing asked
// (the engine's own status pace); the time to the length's reply; and the
// adapter's peak memory. Each run starts from a cold page cache when run as
// root (the cache is dropped), else from whatever is cached (said so). The
// adapter runs the real MPlayer, with -ao null. Prints medians with min and
// max; asserts nothing.
//   bench_bigmp3 [--adapter PATH] [--size MB] [--rounds N] [--dir DIR]

#include "player/mvplayercontrol.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double nowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

bool dropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2;
}

// A CBR MP3 of `megabytes` without an Info header: 10 s of ffmpeg's, repeated.
bool makeMedium(const QString &path, qint64 megabytes)
{
    const QString seed = path + QStringLiteral(".seed.mp3");
    if (QProcess::execute(QStringLiteral("ffmpeg"),
                          {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=10", "-c:a",
                           "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0",
                           seed}) != 0)
        return false;
    QFile in(seed);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray frames = in.readAll();
    QFile::remove(seed);
    QFile out(path);
    if (frames.isEmpty() || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    while (block.size() < 8 * 1024 * 1024)
        block += frames;
    for (qint64 left = megabytes * 1024 * 1024; left > 0; left -= block.size())
        if (out.write(block) != block.size())
            return false;
    return true;
}

struct Run
{
    double longestSilence = 0; // ms between two reads of the adapter's output
    double lengthReply = -1;   // ms from the question to the reply
    double peakKiB = 0;        // the adapter's VmHWM
};

double peakKiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble();
    return 0;
}

// Plays the medium through the adapter for `seconds` after its first status;
// with `ask`, its length is asked and a seek made as playback begins.
Run runOnce(const QByteArray &adapter, const QString &medium, bool ask, double seconds)
{
    Run run;
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        return run;
    QStringList arguments = MvPlayerControl::engineArguments(medium);
    std::vector<QByteArray> bytes{adapter};
    for (const QString &argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        unsetenv("DISPLAY");
        setenv("MOVARA_MPLAYER_AO", "null", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    QByteArray out;
    char buffer[65536];
    double firstStatus = -1, lastRead = -1, asked = -1;
    const double started = nowMs();
    for (;;) {
        const double now = nowMs();
        if ((firstStatus >= 0 && now - firstStatus > seconds * 1000) ||
            (firstStatus < 0 && out.isEmpty() && now - started > 20000))
            break;
        pollfd fd{fromChild[0], POLLIN, 0};
        if (poll(&fd, 1, 200) < 0 && errno != EINTR)
            break;
        if (!(fd.revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = read(fromChild[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        const double at = nowMs();
        out.append(buffer, n);
        if (firstStatus < 0 && out.contains("A:")) {
            firstStatus = at;
            if (ask) {
                asked = at;
                const char commands[] = "get_time_length\nseek 1800 2\n";
                if (write(toChild[1], commands, sizeof commands - 1) < 0)
                    break;
            }
        }
        if (firstStatus >= 0 && lastRead >= 0)
            run.longestSilence = std::max(run.longestSilence, at - lastRead);
        if (firstStatus >= 0)
            lastRead = at;
        if (asked >= 0 && run.lengthReply < 0 && out.indexOf("ANS_LENGTH=") >= 0)
            run.lengthReply = at - asked;
    }
    // A silence that lasts to the end of the window counts too.
    if (lastRead >= 0)
        run.longestSilence = std::max(run.longestSilence, nowMs() - lastRead);
    run.peakKiB = peakKiB(pid);
    if (write(toChild[1], "quit\n", 5) < 0) {
        // Gone already.
    }
    close(toChild[1]);
    int status = 0;
    for (int i = 0; i < 50 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        usleep(100000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(fromChild[0]);
    return run;
}

QString spread(std::vector<double> values, const char *unit, int decimals = 0)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return QStringLiteral("-");
    return QStringLiteral("%1 %4 (%2 to %3)")
        .arg(values[values.size() / 2], 0, 'f', decimals)
        .arg(values.front(), 0, 'f', decimals)
        .arg(values.back(), 0, 'f', decimals)
        .arg(QLatin1String(unit));
}

} // namespace

int main(int argc, char **argv)
{
    QByteArray adapter = MOVARA_BIN_DIR "/mplayer";
    qint64 megabytes = 1024;
    int rounds = 3;
    QString dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--adapter"))
            adapter = argv[i + 1];
        else if (!std::strcmp(argv[i], "--size"))
            megabytes = QByteArray(argv[i + 1]).toLongLong();
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = QByteArray(argv[i + 1]).toInt();
        else if (!std::strcmp(argv[i], "--dir"))
            dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir temporary(dir.isEmpty()
                                ? QDir::tempPath() + QStringLiteral("/bench_bigmp3-XXXXXX")
                                : dir + QStringLiteral("/bench_bigmp3-XXXXXX"));
    const QString medium = temporary.filePath(QStringLiteral("big.mp3"));
    if (!temporary.isValid() || !makeMedium(medium, megabytes)) {
        std::fprintf(stderr, "bench_bigmp3: cannot make the %lld MB medium (ffmpeg?)\n", megabytes);
        return 1;
    }
    const bool cold = geteuid() == 0;
    std::printf("%lld MB CBR MP3 without an Info header, %s page cache, adapter %s\n", megabytes,
                cold ? "cold" : "warm (not root: the cache is not dropped)", adapter.constData());
    std::vector<double> plain, asked, reply, plainPeak, askedPeak;
    for (int round = 0; round < rounds; ++round) {
        for (bool ask : {false, true}) {
            if (cold)
                dropCaches();
            const Run run = runOnce(adapter, medium, ask, 10);
            (ask ? asked : plain).push_back(run.longestSilence);
            (ask ? askedPeak : plainPeak).push_back(run.peakKiB / 1024);
            if (ask)
                reply.push_back(run.lengthReply);
        }
    }
    std::vector<double> ratios;
    for (size_t i = 0; i < plain.size(); ++i)
        ratios.push_back(plain[i] > 0 ? 100 * asked[i] / plain[i] : 0);
    std::printf("longest silence, nothing asked:        %s\n", qPrintable(spread(plain, "ms")));
    std::printf("longest silence, length asked, seeked: %s\n", qPrintable(spread(asked, "ms")));
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio (asked / nothing asked):         %.2f x (%.2f to %.2f)\n",
                ratios[ratios.size() / 2] / 100, ratios.front() / 100, ratios.back() / 100);
    std::printf("length reply after the question:       %s (-1: none within the 10 s)\n",
                qPrintable(spread(reply, "ms")));
    std::printf("adapter peak memory, nothing asked:    %s\n",
                qPrintable(spread(plainPeak, "MiB", 1)));
    std::printf("adapter peak memory, asked and seeked: %s\n",
                qPrintable(spread(askedPeak, "MiB", 1)));
    return 0;
}
