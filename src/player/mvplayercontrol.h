#pragma once

#include <QObject>
#include <QString>

class QProcess;
class QTimerEvent;

// The program's one link to the media engine: runs "./mplayer" in slave
// mode, writes its commands and follows its output to learn when a medium
// has started, how long it is and when it has stopped advancing.
class MvPlayerControl : public QObject
{
    Q_OBJECT

public:
    MvPlayerControl(QObject *parent, int volume, int windowId);
    ~MvPlayerControl() override;

    void playFile(const QString &path);
    void quitPlayer();
    void togglePause();
    void seek(int value, int type);
    void toggleFullScreen();
    void toggleMute();
    void sendKeyDownEvent(int key);
    void showMenu(bool show);
    void setVolume(int volume);
    void setVolumeLimit(int limit);

    // The file through which a new medium is handed to a running engine.
    static const char currentMediaFile[];

    // Read-only views of the controller's state.
    bool isPlaying() const { return playing; }
    bool isMuted() const { return muted; }
    bool isMenuShown() const { return menuShown; }
    int currentVolumeLimit() const { return volumeLimit; }
    int windowIdentifier() const { return windowId; }
    static bool isEngineRunning();
    static bool isPaused();
    static bool isIdleTimerActive();
    // The elapsed time taken from the latest status output, e.g. "01:15.4".
    static QString elapsedTimeText();
    // The engine's line that made the latest medium count as unplayable;
    // empty when it was the start-up deadline.
    static QString cannotPlayText();

    // Most output the controller leaves buffered and unread, per channel.
    static constexpr qint64 maxUnreadOutput = 64 * 1024;

signals:
    void processExited();
    void endedCurrentMedia();
    void signaTotalTimeLengthChanged(float length);
    void signalTimeElapse();
    void signalLoadedFileReady();
    // A medium was skipped because it cannot play: the engine refused it or
    // it did not reach playback in time. endedCurrentMedia() follows.
    void mediumCannotPlay(const QString &path);
    // The engine reported the current medium's video stream: it draws pictures.
    void videoOutputStarted();

public slots:
    void slotProcessExited();
    void slotReadFromStdout();
    void slotReadFromStderr();
    void slotIdleTimerShot();

protected:
    int launchPlayer(const QString &path);
    void sendCommand(const QString &line);
    int routeMixerOutput(int gain);
    bool writeCurrentMediaFile(const QString &path);
    void timerEvent(QTimerEvent *event) override;

    QProcess *process;
    bool playing;
    bool menuShown;
    int volumeLimit;

public:
    // Volume last requested; the key handling steps it.
    int volume;

protected:
    bool muted;
    int windowId;

private:
    void beginMedium(const QString &path);
    void cannotPlayCurrentMedium();
    void reportCannotPlay(const QString &path, const QString &reason);
    void noticeRefusal(const QString &line);
    static bool startingMedium();
    void stopEngine(QProcess *engine);
    void readStatusPhase();
    void readHeaderLine();
    void trimUnreadOutput();
};
