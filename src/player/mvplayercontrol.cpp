#include "player/mvplayercontrol.h"

#include "core/rawfilename.h"
#include "core/trace.h"
#include "player/mvphonedevices.h"
#include "protocol/enginecommands.h"

#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QTimerEvent>

#include <utility>

namespace {
// Least time from one "loadlist" to the next: about what the engine takes to
// close one medium and open the next.
const int loadSpacing = 200;

QString commandText(EngineCommandId id)
{
    const std::string_view text = engineCommand(id).text;
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
} // namespace

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
    : QObject(parent), engine(new MvEngineProcess(this)), menuShown(false), volumeLimit(100),
      volume(volume), muted(false), windowId(windowId)
{
    connect(engine, &MvEngineProcess::exited, this, &MvPlayerControl::slotProcessExited);
    connect(engine, &MvEngineProcess::outputReady, this, &MvPlayerControl::slotReadFromStdout);
    connect(engine, &MvEngineProcess::errorsReady, this, &MvPlayerControl::slotReadFromStderr);

    clock.start();
    // A slow board (or an emulated one) may need longer than a desktop to start a medium.
    bool ok = false;
    const int startDeadline = qEnvironmentVariableIntValue("MOVARA_ENGINE_START_MS", &ok);
    if (ok && startDeadline >= 1000 && startDeadline <= 120000)
        deadlines.start = startDeadline;
    output = new MvEngineOutput(this);
    output->setDeadlines(deadlines.start, deadlines.refusalSettle);
    connect(output, &MvEngineOutput::audioFileDetected, this, &MvPlayerControl::audioOnlyMedium);
    connect(output, &MvEngineOutput::videoStreamNamed, this, &MvPlayerControl::videoMedium);
    connect(output, &MvEngineOutput::lengthWanted, this,
            [this] { sendCommand(commandText(EngineCommandId::TimeLength)); });
    connect(output, &MvEngineOutput::playbackStarted, this, &MvPlayerControl::playbackStarted);
    connect(output, &MvEngineOutput::lengthChanged, this, &MvPlayerControl::lengthChanged);
    connect(output, &MvEngineOutput::lengthRead, this,
            &MvPlayerControl::signaTotalTimeLengthChanged);
    connect(output, &MvEngineOutput::elapsedSecondsChanged, this,
            &MvPlayerControl::elapsedSecondsChanged);
    connect(output, &MvEngineOutput::elapsedRead, this, &MvPlayerControl::signalTimeElapse);
    connect(output, &MvEngineOutput::cannotPlay, this, &MvPlayerControl::cannotPlayCurrentMedium);
    connect(output, &MvEngineOutput::ended, this, &MvPlayerControl::slotIdleTimerShot);
    connect(output, &MvEngineOutput::chaptersRead, this, &MvPlayerControl::chaptersRead);
    connect(output, &MvEngineOutput::probeWanted, this,
            [this] { sendCommand(commandText(EngineCommandId::TimePosition)); });
    output->setStallCheck([this] { return engine->engineBusyOrStopped(); });

    outputTimer = new QTimer(this);
    outputTimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early, which would end a medium
    // that is still playing.
    outputTimer->setTimerType(Qt::PreciseTimer);
    connect(outputTimer, &QTimer::timeout, this, &MvPlayerControl::outputTimerFired);

    heldPickTimer = new QTimer(this);
    heldPickTimer->setSingleShot(true);
    connect(heldPickTimer, &QTimer::timeout, this, &MvPlayerControl::releaseHeldPick);
}

MvPlayerControl::~MvPlayerControl()
{
    // The owner hears nothing from a controller that is going away.
    blockSignals(true);
    quitPlayer();
    engine->killNow();
    traceLine("MvPlayerControl::destroy()\n");
}

void MvPlayerControl::setDeadlines(const Deadlines &next)
{
    deadlines = next;
    output->setDeadlines(next.start, next.refusalSettle);
    engine->setStopGraces(next.quitGrace, next.terminateGrace);
}

bool MvPlayerControl::ownIdleTimerActive() const
{
    return output->watching();
}

void MvPlayerControl::playFile(const QString &path)
{
    if (followEngine(path))
        return;
    if (engine->takesCommands() && (!tookMedium() || loadSpacingLeft() > 0)) {
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
    if (!pendingLaunch.isEmpty() || (engine->isRunning() && engine->isQuitting())) {
        // The engine is on its way out: the newest pick starts the next one.
        pendingLaunch = path;
        return;
    }
    if (!engine->isRunning()) {
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
    engine->process()->readAllStandardOutput();
    engine->process()->readAllStandardError();
    beginMedium(path);
    sendCommand(commandText(EngineCommandId::LoadList).arg(engine->currentMediaFile()));
    sinceLoad.start();
    emit settingsWanted();
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
    if (!MvEngineProcess::writeMediaFile(engine->nextMediaFile(), path))
        return;
    queuedNext = path;
    sendCommand(commandText(EngineCommandId::LoadList)
                    .arg(engine->nextMediaFile() +
                         QLatin1StringView(engineAppendSuffix.data(),
                                           qsizetype(engineAppendSuffix.size()))));
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
    return engine->takesCommands();
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
    return engine->isRunning() && !output->mediumStarted();
}

int MvPlayerControl::launchPlayer(const QString &path)
{
    // The volume is set before the first sample, not a moment after it.
    QStringList arguments = engineArguments(path, qBound(0, volume, volumeLimit));
    // A command line carries text only: a name that is not UTF-8 goes by
    // the playlist file, which holds its bytes.
    if (hasRawBytes(path) && writeCurrentMediaFile(path)) {
        arguments.removeLast();
        arguments << QStringLiteral("-playlist") << engine->currentMediaFile();
    }
    if (!engine->start(arguments))
        return -1;
    engineSpeed = 1.0;
    queuedNext.clear();
    sinceLoad.invalidate();
    beginMedium(path);
    if (unseen)
        sendStatusRate();
    emit settingsWanted();
    return 1;
}

void MvPlayerControl::slotProcessExited()
{
    output->hold();
    armOutputTimer();
    // A pick the user made while the engine was busy plays on a new one.
    if (pendingLaunch.isEmpty() && !heldPick.isEmpty())
        pendingLaunch = heldPick;
    heldPick.clear();
    heldPickTimer->stop();
    setState(PlaybackState::Stopped);
    emit engineEnded();
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
    if (!engine->isRunning())
        return;
    const QByteArray bytes = QString::fromLatin1(line.toLatin1()).toLocal8Bit();
    engine->write(bytes);
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
    if (engine->takesCommands())
        engine->stopEngine();
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
    sendSeek(QString::number(value), mode);
}

void MvPlayerControl::sendSeek(const QString &value, EngineSeekMode mode)
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
                    .arg(value)
                    .arg(QLatin1StringView(modeText.data(), qsizetype(modeText.size()))));
}

void MvPlayerControl::seekToTime(double seconds)
{
    const double ms = double(qRound64(qMax(0.0, seconds) * 1000));
    sendSeek(QString::number(ms / 1000, 'g', 12), EngineSeekMode::Absolute);
}

void MvPlayerControl::setSpeed(double factor)
{
    if (!takesCommands() || !(factor > 0))
        return;
    engineSpeed = factor;
    sendCommand(commandText(EngineCommandId::SpeedSet).arg(QString::number(factor, 'g', 6)));
}

void MvPlayerControl::setUnseen(bool on)
{
    if (on == unseen)
        return;
    unseen = on;
    output->setSilence(on ? MvEngineOutput::unseenSilence : MvEngineOutput::silence);
    armOutputTimer();
    sendStatusRate();
}

void MvPlayerControl::sendStatusRate()
{
    sendCommand(commandText(EngineCommandId::StatusRate)
                    .arg(unseen ? EngineStatusRate::unseen : EngineStatusRate::shown));
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
    return MvPhoneDevices::routeMixerOutput(gain);
}

void MvPlayerControl::slotReadFromStdout()
{
    QProcess *const process = engine->process();
    if (!process)
        return;
    process->setReadChannel(QProcess::StandardOutput);
    // While paused the output stays unread for later; a quitting engine's is
    // never read.
    if (state != PlaybackState::Paused && !engine->isQuitting())
        output->feed(process->readAll(), now());
    // What was fed may have started another engine.
    if (engine->process())
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
    QProcess *const process = engine->process();
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
    QProcess *const process = engine->process();
    if (!process)
        return;
    output->feedErrors(process->readAllStandardError(), now());
    armOutputTimer();
    releaseHeldPick();
}
