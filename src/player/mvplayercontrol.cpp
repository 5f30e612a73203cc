#include "player/mvplayercontrol.h"

#include "core/displaysettings.h"
#include "core/rawfilename.h"
#include "core/trace.h"
#include "platform/boardpaths.h"
#include "protocol/enginecommands.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QTimerEvent>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
// Least time from one "loadlist" to the next: about what the engine takes to
// close one medium and open the next.
const int loadSpacing = 200;

QString commandText(EngineCommandId id)
{
    const std::string_view text = engineCommand(id).text;
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// OSS mixer requests; 0xED is the platform driver's output-state value.
const unsigned long MIXER_READ_OUTPUT_STATE = 0x80044DED;
const unsigned long MIXER_WRITE_OUTSRC = 0xC0044DFA;
const unsigned long SOUND_MIXER_WRITE_OGAIN = 0xC0044D0D;

// Controllers of this process that use a hand-off file of their own.
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

const char MvPlayerControl::defaultCurrentMediaFile[] = "/tmp/movara_curmedia.name";

QStringList MvPlayerControl::engineArguments(const QString &path, int volume)
{
    QStringList arguments = {
        QStringLiteral("-slave"),
        QStringLiteral("-nortc"),
        QStringLiteral("-utf8"),
        QStringLiteral("-identify"),
        QStringLiteral("-mixer"),
        QStringLiteral("/dev/mixer"),
        QStringLiteral("-vf"),
        QStringLiteral("rotate=10,expand=0:0:::1,scale=-2:320,crop=240:320"),
        QStringLiteral("-af"),
        QStringLiteral("scaletempo,channels=2,resample=44100:0:0"),
        QStringLiteral("-sws"),
        QStringLiteral("0"),
        QStringLiteral("-subrotate"),
        QStringLiteral("2"),
        QStringLiteral("-framedrop"),
        QStringLiteral("-fs"),
        QStringLiteral("-idle"),
    };
    if (volume >= 0)
        arguments << QStringLiteral("-volume") << QString::number(volume);
    arguments << path;
    return arguments;
}

MvPlayerControl::MvPlayerControl(QObject *parent, int volume, int windowId)
    : QObject(parent), process(nullptr), menuShown(false), volumeLimit(100), volume(volume),
      muted(false), windowId(windowId)
{
    routeMixerOutput(70);

    clock.start();
    // A slow board (or an emulated one) may need longer than a desktop to start a medium.
    bool ok = false;
    const int startDeadline = qEnvironmentVariableIntValue("MOVARA_ENGINE_START_MS", &ok);
    if (ok && startDeadline >= 1000 && startDeadline <= 120000)
        deadlines.start = startDeadline;
    output = new MvEngineOutput(this);
    output->setDeadlines(deadlines.start, deadlines.refusalSettle);
    connect(output, &MvEngineOutput::audioFileDetected, this, [] { restoreDisplay(); });
    connect(output, &MvEngineOutput::videoStreamNamed, this, [] { setVideoDisplay(true); });
    connect(output, &MvEngineOutput::lengthWanted, this,
            [this] { sendCommand(commandText(EngineCommandId::TimeLength)); });
    connect(output, &MvEngineOutput::playbackStarted, this, &MvPlayerControl::playbackStarted);
    connect(output, &MvEngineOutput::lengthChanged, this, &MvPlayerControl::lengthChanged);
    connect(output, &MvEngineOutput::lengthRead, this,
            &MvPlayerControl::signaTotalTimeLengthChanged);
    connect(output, &MvEngineOutput::elapsedChanged, this, &MvPlayerControl::elapsedChanged);
    connect(output, &MvEngineOutput::elapsedSecondsChanged, this,
            &MvPlayerControl::elapsedSecondsChanged);
    connect(output, &MvEngineOutput::elapsedRead, this, &MvPlayerControl::signalTimeElapse);
    connect(output, &MvEngineOutput::cannotPlay, this, &MvPlayerControl::cannotPlayCurrentMedium);
    connect(output, &MvEngineOutput::ended, this, &MvPlayerControl::slotIdleTimerShot);
    connect(output, &MvEngineOutput::probeWanted, this,
            [this] { sendCommand(commandText(EngineCommandId::TimePosition)); });
    output->setStallCheck([this] { return engineBusyOrStopped(); });

    outputTimer = new QTimer(this);
    outputTimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early, which would end a medium
    // that is still playing.
    outputTimer->setTimerType(Qt::PreciseTimer);
    connect(outputTimer, &QTimer::timeout, this, &MvPlayerControl::outputTimerFired);

    heldPickTimer = new QTimer(this);
    heldPickTimer->setSingleShot(true);
    connect(heldPickTimer, &QTimer::timeout, this, &MvPlayerControl::releaseHeldPick);

    claimCurrentMediaFile();
}

void MvPlayerControl::claimCurrentMediaFile()
{
    // Held while the controller lives; the engine does not inherit it.
    const QByteArray lockName = QByteArray(defaultCurrentMediaFile) + ".lock";
    int fd = ::open(lockName.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(lockName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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

MvPlayerControl::~MvPlayerControl()
{
    // The owner hears nothing from a controller that is going away.
    blockSignals(true);
    quitPlayer();
    if (process) {
        // Deleting a running process emits finished() inside delete: the
        // owner must not hear from a controller that is going away.
        disconnect(process, nullptr, this, nullptr);
        // Hand "quit" to the pipe now if it takes it; the kill follows at once.
        process->waitForBytesWritten(0);
        process->kill();
        // Reap it here rather than inside delete, which would wait the same.
        process->waitForFinished(1000);
    }
    restoreDisplay();
    if (process) {
        delete process;
        process = nullptr;
    }
    traceLine("MvPlayerControl::destroy()\n");

    if (!ownMediaFile.isEmpty()) {
        ::unlink(QFile::encodeName(ownMediaFile).constData());
        ::unlink(QFile::encodeName(ownMediaFile + QStringLiteral(".next")).constData());
    }
    if (mediaFileLock >= 0)
        ::close(mediaFileLock);
}

void MvPlayerControl::setDeadlines(const Deadlines &next)
{
    deadlines = next;
    output->setDeadlines(next.start, next.refusalSettle);
}

bool MvPlayerControl::ownIdleTimerActive() const
{
    return output->watching();
}

void MvPlayerControl::playFile(const QString &path)
{
    if (followEngine(path))
        return;
    if (engineRunning && stoppingEngine != process && (!tookMedium() || loadSpacingLeft() > 0)) {
        // Commands queue up in an engine that is still opening a medium: only
        // the newest pick goes, once it has taken this one.
        heldPick = path;
        releaseHeldPick();
        return;
    }
    heldPick.clear();
    heldPickTimer->stop();
    output->hold();
    armOutputTimer();
    if (!pendingLaunch.isEmpty() || (engineRunning && stoppingEngine == process)) {
        // The engine is on its way out: the newest pick starts the next one.
        pendingLaunch = path;
        return;
    }
    if (!engineRunning) {
        launchPlayer(path);
        return;
    }
    if (!writeCurrentMediaFile(path)) {
        // The playlist file cannot carry this name: start it on a new
        // engine's command line once the running one has gone.
        quitPlayer();
        pendingLaunch = path;
        return;
    }
    // A new medium clears what the engine had queued after the last.
    queuedNext.clear();
    // What is buffered now was written before the engine saw this medium.
    process->readAllStandardOutput();
    process->readAllStandardError();
    beginMedium(path);
    sendCommand(commandText(EngineCommandId::LoadList).arg(mediaFilePath));
    sinceLoad.start();
    setVolume(volume);
}

// The engine has just ended the last medium and said it plays this one, which
// it was told to play next: the program follows it there.
bool MvPlayerControl::followEngine(const QString &path)
{
    if (queuedNext.isEmpty() || path != std::exchange(queuedNext, QString()) || !takesCommands() ||
        !pendingLaunch.isEmpty() || !output->endWasSaid() ||
        output->wentOnTo() != rawFileName(path))
        return false;
    heldPick.clear();
    heldPickTimer->stop();
    currentMedium = path;
    output->follow(now());
    armOutputTimer();
    setState(PlaybackState::Starting);
    return true;
}

void MvPlayerControl::queueNext(const QString &path)
{
    if (path == queuedNext || !takesCommands() || !tookMedium())
        return;
    // An empty list clears what was queued.
    if (!writeMediaFile(nextMediaFile(), path))
        return;
    queuedNext = path;
    sendCommand(
        commandText(EngineCommandId::LoadList)
            .arg(nextMediaFile() + QLatin1StringView(engineAppendSuffix.data(),
                                                     qsizetype(engineAppendSuffix.size()))));
}

// Whether the engine, or the adapter between it and the program, is stopped
// or at work: on the processor (a far seek walking a file) or waiting for
// storage. An engine that has really finished sleeps.
bool MvPlayerControl::engineBusyOrStopped() const
{
    if (!process || !engineRunning)
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

// "loadlist" starts the medium playing whatever the engine's pause state was.
void MvPlayerControl::beginMedium(const QString &path)
{
    currentMedium = path;
    output->begin(now());
    armOutputTimer();
    setState(PlaybackState::Starting);
}

void MvPlayerControl::setState(PlaybackState next)
{
    if (next == state)
        return;
    const bool wasPaused = state == PlaybackState::Paused;
    state = next;
    emit playbackStateChanged(next);
    if (wasPaused != (next == PlaybackState::Paused))
        emit pauseChanged(!wasPaused);
}

MvPlayerControl::PlaybackState MvPlayerControl::unpausedState() const
{
    return startingMedium() ? PlaybackState::Starting : PlaybackState::Playing;
}

// Running and not told to quit.
bool MvPlayerControl::takesCommands() const
{
    return engineRunning && process && stoppingEngine != process;
}

// The engine has opened the current medium, or said that it cannot.
bool MvPlayerControl::tookMedium() const
{
    return output->tookMedium();
}

// Output of the medium before may follow a "loadlist" for a moment, until
// the engine reads it: a start seen that soon may not be this medium's.
qint64 MvPlayerControl::loadSpacingLeft() const
{
    return sinceLoad.isValid() ? loadSpacing - sinceLoad.elapsed() : 0;
}

void MvPlayerControl::releaseHeldPick()
{
    if (heldPick.isEmpty() || !tookMedium())
        return;
    const qint64 wait = loadSpacingLeft();
    if (wait <= 0)
        playFile(std::exchange(heldPick, QString()));
    else if (!heldPickTimer->isActive())
        heldPickTimer->start(int(wait));
}

void MvPlayerControl::cannotPlayCurrentMedium()
{
    const QString refusalLine = output->refusalLine();
    const bool refused = !refusalLine.isEmpty();
    if (!refused && !heldPick.isEmpty()) {
        // Stuck in a medium the user has already left: the newest pick starts
        // on a new engine, and nothing ends.
        const QString next = std::exchange(heldPick, QString());
        quitPlayer();
        pendingLaunch = next;
        return;
    }
    reportCannotPlay(currentMedium, refused ? refusalLine : QStringLiteral("no playback in time"));
    // An engine that said nothing for the whole deadline may be stuck in the
    // medium, deaf to commands: the next medium starts on a new one.
    if (!refused)
        quitPlayer();
    emit endedCurrentMedia();
}

void MvPlayerControl::reportCannotPlay(const QString &path, const QString &reason)
{
    traceLine("mediumCannotPlay : %s : %s\n", rawFileName(path).constData(),
              reason.toLocal8Bit().constData());
    emit mediumCannotPlay(path);
}

bool MvPlayerControl::startingMedium() const
{
    return engineRunning && !output->mediumStarted();
}

int MvPlayerControl::launchPlayer(const QString &path)
{
    // A start that fails costs QProcess a descriptor: do not try one that must.
    const QFileInfo engine(QStringLiteral("./mplayer"));
    if (!engine.isFile() || !engine.isExecutable())
        return -1;

    // The child runs the engine itself and reports a failed exec through a
    // pipe of ours: QProcess keeps one of its own pipes open for good after
    // a failed exec (a missing interpreter, a file that is no program).
    int execReport[2];
    if (::pipe2(execReport, O_CLOEXEC) != 0)
        return -1;
    // The volume is set before the first sample, not a moment after it.
    QStringList arguments = engineArguments(path, qBound(0, volume, volumeLimit));
    // A command line carries text only: a name that is not UTF-8 goes by
    // the playlist file, which holds its bytes.
    if (hasRawBytes(path) && writeCurrentMediaFile(path)) {
        arguments.removeLast();
        arguments << QStringLiteral("-playlist") << mediaFilePath;
    }
    std::vector<QByteArray> argumentBytes{QByteArrayLiteral("./mplayer")};
    for (const QString &argument : arguments)
        argumentBytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    auto *next = new QProcess(this);
    connect(next, &QProcess::finished, this, &MvPlayerControl::slotProcessExited);
    connect(next, &QProcess::readyReadStandardOutput, this, &MvPlayerControl::slotReadFromStdout);
    connect(next, &QProcess::readyReadStandardError, this, &MvPlayerControl::slotReadFromStderr);
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
        return -1;
    }

    // The previous engine has exited; nothing reads its process object.
    if (process) {
        disconnect(process, nullptr, this, nullptr);
        process->deleteLater();
    }
    process = next;
    queuedNext.clear();
    stoppingEngine = nullptr;
    engineRunning = true;
    sinceLoad.invalidate();
    beginMedium(path);
    setVolume(volume);
    return 1;
}

void MvPlayerControl::slotProcessExited()
{
    output->hold();
    armOutputTimer();
    engineRunning = false;
    // A pick the user made while the engine was busy plays on a new one.
    if (pendingLaunch.isEmpty() && !heldPick.isEmpty())
        pendingLaunch = heldPick;
    heldPick.clear();
    heldPickTimer->stop();
    setState(PlaybackState::Stopped);
    restoreDisplay();
    if (!pendingLaunch.isEmpty()) {
        const QString path = pendingLaunch;
        pendingLaunch.clear();
        if (launchPlayer(path) > 0)
            return;
        reportCannotPlay(path, QStringLiteral("no engine"));
    }
    emit processExited();
}

void MvPlayerControl::armOutputTimer()
{
    const qint64 due = output->nextDeadline();
    if (due < 0) {
        outputTimer->stop();
        outputTimerDue = -1;
        return;
    }
    // Fires early at worst: the output reader says then what is left.
    if (outputTimer->isActive() && outputTimerDue <= due)
        return;
    outputTimerDue = due;
    outputTimer->start(int(qMax<qint64>(0, due - now())));
}

void MvPlayerControl::outputTimerFired()
{
    outputTimerDue = -1;
    output->tick(now());
    armOutputTimer();
}

void MvPlayerControl::slotIdleTimerShot()
{
    output->stopWatching();
    armOutputTimer();
    traceLine("slotIdleTimerShot :: Shot\n");
    emit endedCurrentMedia();
}

void MvPlayerControl::sendCommand(const QString &line)
{
    if (!process || !engineRunning)
        return;
    const QByteArray bytes = QString::fromLatin1(line.toLatin1()).toLocal8Bit();
    process->write(bytes);
    if (line.startsWith(QLatin1String("load"))) {
        traceLine("CMD:: %s", bytes.constData());
    }
}

void MvPlayerControl::quitPlayer()
{
    pendingLaunch.clear();
    queuedNext.clear();
    heldPick.clear();
    heldPickTimer->stop();
    output->cancelStart();
    armOutputTimer();
    sendCommand(commandText(EngineCommandId::Quit));
    setState(PlaybackState::Stopped);
    if (engineRunning && process && stoppingEngine != process)
        stopEngine(process);
}

// An engine that does not act on "quit" (hung, stopped) is terminated, then
// killed. Both times count from the quit, so that a late first timer does not
// put off the kill.
void MvPlayerControl::stopEngine(QProcess *engine)
{
    stoppingEngine = engine;
    QTimer::singleShot(deadlines.quitGrace, Qt::PreciseTimer, engine,
                       [engine] { engine->terminate(); });
    QTimer::singleShot(deadlines.quitGrace + deadlines.terminateGrace, Qt::PreciseTimer, engine,
                       [engine] { engine->kill(); });
}

void MvPlayerControl::togglePause()
{
    if (!takesCommands())
        return;
    setState(state == PlaybackState::Paused ? unpausedState() : PlaybackState::Paused);
    if (state == PlaybackState::Paused)
        output->hold();
    else
        output->resume(now());
    armOutputTimer();
    sendCommand(commandText(EngineCommandId::Pause));
}

void MvPlayerControl::seek(int value, int type)
{
    if (const std::optional<EngineSeekMode> mode = engineSeekMode(type))
        seek(value, *mode);
}

void MvPlayerControl::seek(int value, EngineSeekMode mode)
{
    if (!takesCommands())
        return;
    if (state == PlaybackState::Paused) {
        // The seek ends the engine's pause.
        setState(unpausedState());
        output->resume(now());
    } else {
        output->seeked(now());
    }
    armOutputTimer();
    const std::string_view modeText = engineSeekModeText(mode);
    sendCommand(commandText(EngineCommandId::Seek)
                    .arg(qlonglong(value))
                    .arg(QLatin1StringView(modeText.data(), qsizetype(modeText.size()))));
}

void MvPlayerControl::toggleFullScreen()
{
    sendCommand(commandText(EngineCommandId::FullScreen));
}

void MvPlayerControl::toggleMute()
{
    sendCommand(commandText(EngineCommandId::Mute));
    muted = !muted;
}

void MvPlayerControl::sendKeyDownEvent(int key)
{
    sendCommand(commandText(EngineCommandId::KeyDown).arg(qlonglong(key)));
}

void MvPlayerControl::showMenu(bool show)
{
    sendCommand(commandText(show ? EngineCommandId::ShowMenu : EngineCommandId::HideMenu));
    menuShown = show;
}

void MvPlayerControl::timerEvent(QTimerEvent *)
{
    if (isPlaying())
        sendCommand(commandText(EngineCommandId::TimePosition));
}

void MvPlayerControl::setVolume(int v)
{
    if (v > volumeLimit)
        v = volumeLimit;
    if (v < 0)
        v = 0;
    volume = v;
    sendCommand(commandText(EngineCommandId::Volume).arg(qlonglong(v)));
}

void MvPlayerControl::setVolumeLimit(int limit)
{
    limit = qBound(0, limit, 100);
    if (limit == volumeLimit)
        return;
    volumeLimit = limit;
    if (volume > limit)
        setVolume(limit);
}

int MvPlayerControl::routeMixerOutput(int gain)
{
    // The output routing is the phone's own mixer's: a board's sound card has none.
    if (onBoard())
        return -1;
    const int fd = ::open("/dev/mixer", O_RDONLY);
    if (fd < 0)
        return -1;
    int outputState = 0;
    if (::ioctl(fd, MIXER_READ_OUTPUT_STATE, &outputState) < 0) {
        ::close(fd);
        return -1;
    }
    int route = outputState == 2 ? 0 : 1;
    ::ioctl(fd, MIXER_WRITE_OUTSRC, &route);
    if (gain != 0)
        ::ioctl(fd, SOUND_MIXER_WRITE_OGAIN, &gain);
    return ::close(fd);
}

bool MvPlayerControl::writeCurrentMediaFile(const QString &path)
{
    return writeMediaFile(mediaFilePath, path);
}

bool MvPlayerControl::writeMediaFile(const QString &targetPath, const QString &path)
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
    if (written && ::rename(temporaryName.constData(), target.constData()) != 0)
        written = false;
    if (!written)
        ::unlink(temporaryName.constData());
    return written;
}

void MvPlayerControl::slotReadFromStdout()
{
    if (!process)
        return;
    process->setReadChannel(QProcess::StandardOutput);
    // While paused the output stays unread for later; a quitting engine's is
    // never read.
    if (state != PlaybackState::Paused && stoppingEngine != process)
        output->feed(process->readAll(), now());
    if (process)
        trimUnreadOutput();
    armOutputTimer();
    releaseHeldPick();
}

void MvPlayerControl::playbackStarted(bool video)
{
    if (state == PlaybackState::Starting)
        setState(PlaybackState::Playing);
    if (video)
        emit videoOutputStarted();
}

// Bounds what an engine can leave buffered while its output is not read.
// The oldest data goes; what stays starts at a line boundary, so no
// fragment of a dropped line is read as a line later.
void MvPlayerControl::trimUnreadOutput()
{
    process->setReadChannel(QProcess::StandardOutput);
    const qint64 unread = process->bytesAvailable();
    if (unread <= maxUnreadOutput)
        return;
    process->skip(unread - maxUnreadOutput);
    const QByteArray kept = process->peek(maxUnreadOutput);
    qsizetype boundary = -1;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i] == '\n' || kept[i] == '\r') {
            boundary = i;
            break;
        }
    }
    process->skip(boundary < 0 ? kept.size() : boundary + 1);
}

void MvPlayerControl::slotReadFromStderr()
{
    if (!process)
        return;
    output->feedErrors(process->readAllStandardError(), now());
    armOutputTimer();
    releaseHeldPick();
}
