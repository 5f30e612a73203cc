#include "player/mvengineprocess.h"

#include "core/rawfilename.h"
#include "platform/regularfile.h"
#include "protocol/enginecommands.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// Process objects of this program that use a hand-off file of their own.
int ownMediaFiles = 0;

bool readWhole(int fd, void *data, size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(size);
}

// Runs in the child before the engine's exec, which may share the program's
// memory until then: nothing of it, sanitizer marks on the stack included,
// may outlive it.
__attribute__((no_sanitize_address)) [[noreturn]] void
execEngine(pid_t program, char *const *engineArgv, int reportFd)
{
    // The engine dies with the program, even when the program is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program)
        ::_exit(127);
    ::execv(engineArgv[0], engineArgv);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}
} // namespace

const char MvEngineProcess::defaultCurrentMediaFile[] = "/tmp/movara_curmedia.name";

MvEngineProcess::MvEngineProcess(QObject *parent) : QObject(parent)
{
    claimCurrentMediaFile();
}

void MvEngineProcess::claimCurrentMediaFile()
{
    // Held while the controller lives; the engine does not inherit it.
    const QByteArray lockName = QByteArray(defaultCurrentMediaFile) + ".lock";
    const int fd = RegularFile::openOwn(lockName.constData());
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        mediaFileLock = fd;
        return;
    }
    if (fd >= 0)
        ::close(fd);
    const int serial = ++ownMediaFiles;
    QString id = QString::number(::getpid());
    if (serial > 1)
        id += QLatin1Char('-') + QString::number(serial);
    ownMediaFile = QStringLiteral("/tmp/movara_curmedia.%1.name").arg(id);
    mediaFilePath = ownMediaFile;
}

MvEngineProcess::~MvEngineProcess()
{
    killNow();
    if (!ownMediaFile.isEmpty()) {
        ::unlink(QFile::encodeName(ownMediaFile).constData());
        ::unlink(QFile::encodeName(ownMediaFile + QStringLiteral(".next")).constData());
    }
    if (mediaFileLock >= 0)
        ::close(mediaFileLock);
}

void MvEngineProcess::killNow()
{
    QProcess *process = current;
    if (process) {
        // Deleting a running process emits finished() inside delete: the
        // owner must not hear from an engine that is going away.
        disconnect(process, nullptr, this, nullptr);
        // Hand "quit" to the pipe now if it takes it; the kill follows at once.
        process->waitForBytesWritten(0);
        process->kill();
        // Reap it here rather than inside delete, which would wait the same.
        process->waitForFinished(1000);
        delete process;
        current = nullptr;
    }
    running = false;
}

void MvEngineProcess::setStopGraces(int quit, int terminate)
{
    quitGrace = quit;
    terminateGrace = terminate;
}

bool MvEngineProcess::start(const QStringList &arguments)
{
    // A start that fails costs QProcess a descriptor: do not try one that must.
    const QFileInfo engine(QStringLiteral("./mplayer"));
    if (!engine.isFile() || !engine.isExecutable())
        return false;

    // The child runs the engine itself and reports a failed exec through a
    // pipe of ours: QProcess keeps one of its own pipes open for good after
    // a failed exec (a missing interpreter, a file that is no program).
    int execReport[2];
    if (::pipe2(execReport, O_CLOEXEC) != 0)
        return false;
    std::vector<QByteArray> argumentBytes{QByteArrayLiteral("./mplayer")};
    for (const QString &argument : arguments)
        argumentBytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    auto *next = new QProcess(this);
    connect(next, &QProcess::finished, this, &MvEngineProcess::finished);
    connect(next, &QProcess::readyReadStandardOutput, this, &MvEngineProcess::outputReady);
    connect(next, &QProcess::readyReadStandardError, this, &MvEngineProcess::errorsReady);
    const pid_t program = ::getpid();
    char *const *engineArgv = argv.data();
    const int reportFd = execReport[1];
    next->setChildProcessModifier(
        [program, engineArgv, reportFd] { execEngine(program, engineArgv, reportFd); });

    next->start(QStringLiteral("./mplayer"), arguments);
    ::close(execReport[1]);
    bool started = next->waitForStarted();
    int execError = 0;
    if (started && readWhole(execReport[0], &execError, sizeof execError)) {
        // Gone already: reap it without a word to the owner.
        disconnect(next, nullptr, this, nullptr);
        next->waitForFinished();
        started = false;
    }
    ::close(execReport[0]);
    if (!started) {
        // A process that never started never reports finished(): drop it.
        delete next;
        return false;
    }

    // The previous engine has exited; nothing reads its process object.
    if (current) {
        disconnect(current, nullptr, this, nullptr);
        current->deleteLater();
    }
    current = next;
    stoppingEngine = nullptr;
    running = true;
    return true;
}

void MvEngineProcess::finished()
{
    running = false;
    emit exited();
}

void MvEngineProcess::write(const QByteArray &bytes)
{
    if (current && running)
        current->write(bytes);
}

// An engine that does not act on "quit" (hung, stopped) is terminated, then
// killed. Both times count from the quit, so that a late first timer does not
// put off the kill.
void MvEngineProcess::stopEngine()
{
    QProcess *engine = current;
    if (!engine)
        return;
    stoppingEngine = engine;
    QTimer::singleShot(quitGrace, Qt::PreciseTimer, engine, [engine] { engine->terminate(); });
    QTimer::singleShot(quitGrace + terminateGrace, Qt::PreciseTimer, engine,
                       [engine] { engine->kill(); });
}

// Whether the engine, or the adapter between it and the program, is stopped
// or at work: on the processor (a far seek walking a file) or waiting for
// storage. An engine that has really finished sleeps.
bool MvEngineProcess::engineBusyOrStopped() const
{
    QProcess *process = current;
    if (!process || !running)
        return false;
    const qint64 pid = process->processId();
    auto held = [](qint64 id) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(id));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.read(512);
        const qsizetype close = line.lastIndexOf(')');
        const char state = close >= 0 && close + 2 < line.size() ? line.at(close + 2) : '?';
        return std::strchr("TtRD", state) != nullptr;
    };
    if (held(pid))
        return true;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &child : children.readAll().split(' '))
        if (!child.trimmed().isEmpty() && held(child.trimmed().toLongLong()))
            return true;
    return false;
}

bool MvEngineProcess::writeCurrentMediaFile(const QString &path)
{
    return writeMediaFile(mediaFilePath, path);
}

bool MvEngineProcess::writeMediaFile(const QString &targetPath, const QString &path)
{
    const QByteArray name = rawFileName(path);
    const std::optional<std::string> text =
        EngineHandOff::content(std::string_view(name.constData(), size_t(name.size())));
    if (!text)
        return false;
    const QByteArray content = QByteArray::fromStdString(*text);

    // /tmp is shared: write a private file beside it and rename it over the
    // name, which replaces whatever sits there (a planted link included)
    // instead of writing through it.
    const QByteArray target = QFile::encodeName(targetPath);
    QByteArray temporaryName = QFile::encodeName(QFileInfo(targetPath).path());
    temporaryName.append("/movara_curmedia.XXXXXX");
    const int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool written = ::fchmod(fd, 0644) == 0;
    const char *data = content.constData();
    qint64 left = content.size();
    while (written && left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            written = false;
            break;
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0)
        written = false;
    if (written && !RegularFile::renameOver(temporaryName.constData(), target.constData()))
        written = false;
    if (!written)
        ::unlink(temporaryName.constData());
    return written;
}
