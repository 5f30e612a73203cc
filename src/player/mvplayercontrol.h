#pragma once

#include "player/mvengineoutput.h"
#include "player/mvengineprocess.h"
#include "protocol/enginecommands.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class QTimerEvent;

// The program's one link to the media engine in slave mode: writes its
// commands and follows its output to learn when a medium has started, how
// long it is and when it has stopped advancing. Each controller has its own
// engine process (MvEngineProcess), timers and output reader. What holds
// across media (the volume) its owner sends again at settingsWanted().
class MvPlayerControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(PlaybackState playbackState READ playbackState NOTIFY playbackStateChanged)
    Q_PROPERTY(float length READ length NOTIFY lengthChanged)

public:
    // Starting: the current medium has yet to reach playback. A medium that
    // has ended, or that the engine refused, leaves the state as it was
    // until the next one or the engine's end.
    enum class PlaybackState { Stopped, Starting, Playing, Paused };
    Q_ENUM(PlaybackState)

    MvPlayerControl(QObject *parent, int volume, int windowId);
    ~MvPlayerControl() override;

    // Plays the medium; when the engine has just gone on to it by itself
    // (see queueNext()), follows it there without a word to the engine.
    void playFile(const QString &path);
    // The medium the engine is to go on to by itself when the current one
    // ends, with no gap where it can; empty for none. A new call replaces the
    // last; a new medium or engine clears it.
    void queueNext(const QString &path);
    QString queuedMedium() const { return queuedNext; }
    // Whether the last end of a medium was the engine's own word rather than
    // a silence the engine left unanswered.
    bool endWasSaid() const { return output->endWasSaid(); }
    void quitPlayer();
    void togglePause();
    // Seeks by `value` seconds, percent or to seconds, as `mode` says.
    void seek(int value, EngineSeekMode mode);
    // The same with the mode as its number (0 relative, 1 percent, 2 absolute);
    // a number of no mode seeks nowhere.
    void seek(int value, int type);
    void toggleFullScreen();
    void toggleMute();
    void sendKeyDownEvent(int key);
    void showMenu(bool show);
    void setVolume(int volume);
    void setVolumeLimit(int limit);
    // To `seconds` from the medium's start, to the millisecond.
    void seekToTime(double seconds);
    // The playing speed, a factor; a new engine starts at 1.
    void setSpeed(double factor);
    // Whether anything on screen reads the time: while not, the engine tells
    // it once a second instead of ten times, and its silence counts longer.
    void setUnseen(bool on);
    double speed() const { return engineSpeed; }

    // The file through which a new medium is handed to a running engine
    // (see MvEngineProcess).
    void setCurrentMediaFile(const QString &path) { engine->setCurrentMediaFile(path); }
    QString currentMediaFile() const { return engine->currentMediaFile(); }

    // How long a medium may take to reach playback, how long once the engine
    // has refused it, and how long a stopping engine gets before SIGTERM and
    // then SIGKILL. Good media start in under half a second on a desktop,
    // cold caches and big files included.
    struct Deadlines
    {
        int start = 5000;
        int refusalSettle = 1000;
        int quitGrace = 1000;
        // Gone within 2 s of the quit, stopped (SIGSTOP) or not: only the kill ends a stopped one.
        int terminateGrace = 900;
    };
    void setDeadlines(const Deadlines &next);

    // The engine's command line after the program name, the medium last; with
    // a volume (0 to 100), the engine starts at it rather than at its own.
    static QStringList engineArguments(const QString &path, int volume = -1);

    // Read-only views of the controller's state.
    PlaybackState playbackState() const { return state; }
    // The current medium's length in seconds as the engine last gave it; -1 before.
    float length() const { return output->length(); }
    bool isPlaying() const
    {
        return state == PlaybackState::Starting || state == PlaybackState::Playing;
    }
    bool isMuted() const { return muted; }
    bool isMenuShown() const { return menuShown; }
    int currentVolumeLimit() const { return volumeLimit; }
    bool ownEngineRunning() const { return engine->isRunning(); }
    bool ownPaused() const { return state == PlaybackState::Paused; }
    bool ownIdleTimerActive() const;
    QString ownElapsedTimeText() const { return output->elapsedText(); }
    // The medium the engine was last handed; a pick held back is not yet it.
    QString ownCurrentMedium() const { return currentMedium; }
    // The elapsed time in seconds, audio or video; -1 before the first status.
    double ownElapsedSeconds() const { return output->elapsedSeconds(); }

    // Most output the controller leaves buffered and unread, per channel.
    static constexpr qint64 maxUnreadOutput = MvEngineOutput::maxUnread;

signals:
    void processExited();
    void endedCurrentMedia();
    void signaTotalTimeLengthChanged(float length);
    void signalTimeElapse();
    void signalLoadedFileReady();
    // A medium was skipped because it cannot play: the engine refused it or
    // it did not reach playback in time. endedCurrentMedia() follows.
    void mediumCannotPlay(const QString &path);
    // The current medium, which has a video stream, has started playing: the
    // engine draws its pictures.
    void videoOutputStarted();
    // The engine took a pause, or left one (by a command, a new medium, a
    // quit or its end).
    void pauseChanged(bool paused);
    // A new engine or medium: what holds across media is to be sent again,
    // at once (a direct connection), before any other command.
    void settingsWanted();
    // The engine's header named an audio-only medium, or a video stream.
    void audioOnlyMedium();
    void videoMedium();
    // An engine exited, whether or not a new one starts for a waiting pick.
    void engineEnded();
    void playbackStateChanged(MvPlayerControl::PlaybackState state);
    void lengthChanged(float length);
    void elapsedSecondsChanged(int seconds);
    // The current medium's chapters (none: an empty list), once per medium.
    void chaptersRead(const QVector<MvChapter> &chapters);

public slots:
    void slotProcessExited();
    void slotReadFromStdout();
    void slotReadFromStderr();
    void slotIdleTimerShot();

protected:
    int launchPlayer(const QString &path);
    void sendCommand(const QString &line);
    // The phone's devices are MvPhoneDevices' business.
    int routeMixerOutput(int gain);
    bool writeCurrentMediaFile(const QString &path) { return engine->writeCurrentMediaFile(path); }
    void timerEvent(QTimerEvent *event) override;

    MvEngineProcess *engine;
    bool menuShown;
    int volumeLimit;

public:
    // Volume last set; a new engine starts at it. The owner keeps it in step
    // with its own settings through setVolume().
    int volume;

protected:
    bool muted;
    int windowId;

private:
    void sendStatusRate();
    void beginMedium(const QString &path);
    void sendSeek(const QString &value, EngineSeekMode mode);
    void setState(PlaybackState next);
    // Starting or Playing, by whether the current medium has reached playback.
    PlaybackState unpausedState() const;
    bool takesCommands() const;
    bool tookMedium() const;
    qint64 loadSpacingLeft() const;
    void releaseHeldPick();
    void cannotPlayCurrentMedium();
    void reportCannotPlay(const QString &path, const QString &reason);
    bool startingMedium() const;
    void playbackStarted(bool video);
    qint64 now() const { return clock.elapsed(); }
    void armOutputTimer();
    void outputTimerFired();
    void trimUnreadOutput();
    bool followEngine(const QString &path);

    // Reads the current engine's output. The timer fires at the latest
    // when its next deadline comes; output moves that later without it.
    MvEngineOutput *output;
    QTimer *outputTimer;
    qint64 outputTimerDue = -1;
    QElapsedTimer clock;
    PlaybackState state = PlaybackState::Stopped;
    QString currentMedium;
    // A medium to start on a new engine once the running one has gone.
    QString pendingLaunch;
    // The newest pick made while the engine had yet to take the last one.
    QString heldPick;
    // What the engine was told to play after the current medium.
    QString queuedNext;
    QTimer *heldPickTimer;
    QElapsedTimer sinceLoad;
    Deadlines deadlines;
    // The speed the engine was last told.
    double engineSpeed = 1.0;
    bool unseen = false;
};
