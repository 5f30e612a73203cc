#pragma once

#include "player/mvplayqueue.h"
#include "widgets/mvmainwidget.h"

#include <QPointer>
#include <QString>

#include <optional>

class MvFileBrowser;
class MvMpris;
class MvNotice;
class MvNowPlayingView;
class MvOptionsMenu;
class MvPlayerControl;
class MvResumeTracker;
class MvSleepTimer;
class MvTagReader;
struct MvMediaTags;

// The program's one window: the browser in browse mode, full screen with the
// phone's keys driving the player in play mode.
class Movara : public MvMainWidget
{
    Q_OBJECT

public:
    explicit Movara(const char *name = nullptr);
    Movara(QWidget *parent, const char *name);
    Movara(bool flag, QWidget *parent, const char *name);

    // Sets the window up, shows it as the phone's main widget and lists the
    // media roots: what every starter of the program does, in this order.
    void start();

    void destroy() override;
    bool keyPressEvent(QKeyEvent *event) override;
    bool windowActivateEvent(QEvent *event) override;
    bool windowDeactivateEvent(QEvent *event) override;

    void setupWidget() override;
    void setupCST() override;
    void setupTitleBar() override;
    bool setupContent() override;
    virtual bool placeClientWidget(QWidget *widget);

    bool isPlayMode() const { return playMode; }
    MvOptionsMenu *options() const { return optionsMenu; }

    // For the options menu: resume on or off, the last stopped medium from
    // its place (false when there is none), the sleep timer.
    void setResumeEnabled(bool on);
    bool isResumeEnabled() const;
    bool continueLast();
    void setSleepTimer(int minutes);
    MvSleepTimer *sleepTimer() const { return sleep; }

public slots:
    void mainMenuSelect(int) {}
    void CSTLeftButtonPressed() {}
    void CSTLeftButtonReleased() {}
    void CSTRightButtonClick();
    void CSTMiddleButtonClick();
    void switchDisplayMode();
    void showAbout();
    void dirChanged(const QString &path);
    void fileChanged(const QString &path);
    void filePicked(const QString &path);
    void openOptions();
    void setPlayMode(bool on);
    void slotProcessExited();
    void currentMediaEnd();

protected:
    MvFileBrowser *fileBrowser = nullptr;
    MvPlayerControl *playerControl = nullptr;
    MvResumeTracker *resume = nullptr;
    bool playMode = false;

private:
    void runKeyAction(int key, int volume);
    void showNowPlaying(const QString &path);
    void pictureStarted();
    void updateNowPlaying();
    void cannotPlay(const QString &path);
    MvNotice *overPicture();
    void moveNotice(MvNotice *from, MvNotice *to);
    void setupOptions();
    void startPlaylist(const QString &path);
    void playTicked();
    void saveTicked();
    void setModes(bool shuffle, MvPlayQueue::Repeat repeat);
    // Shuffle and repeat as the session bus shows them.
    void publishModes();
    // Plays the queue's entry `index`, passing over entries that cannot play;
    // with none left, stops when `stopAtEnd`, else leaves things as they are.
    void playQueued(int index, bool stopAtEnd);
    void stopPlaying();
    // Tells the engine what follows the medium now playing, so that it goes
    // on by itself when the medium ends; again whenever the order changes.
    void queueUpcoming();

    MvPlayQueue queue;
    // The queue as it will be once the current medium has played through,
    // when the engine was told its next entry.
    std::optional<MvPlayQueue> upcoming;
    MvOptionsMenu *optionsMenu = nullptr;
    // The medium now playing was reported as one that cannot play.
    bool currentFailed = false;
    void lengthKnown(float length);
    void tagsRead(const MvMediaTags &tags);
    // A key from elsewhere (the session bus), acting as the phone's would.
    void remoteKey(int key);
    void actOnKey(int key);
    void playAlone(const QString &path);
    // A file given from elsewhere (the session bus): checked as a picked one is.
    void openGiven(const QString &path);
    // The title the playing playlist gives `path`, or "".
    QString givenTitle(const QString &path) const;
    void publishState();

    // Program-drawn, in the frame: what plays while the engine draws no
    // picture, and short notices over whatever shows.
    MvNowPlayingView *nowPlaying = nullptr;
    MvNotice *notice = nullptr;
    // The notice over the engine's picture; the screen owns it.
    QPointer<MvNotice> pictureNotice;
    // The engine draws the current medium's picture.
    bool pictureDrawn = false;

    // Set while the window waits for an engine it told to quit; a file picked
    // meanwhile is kept and played once that engine has gone.
    bool quitRequested = false;
    QString pendingFile;
    // The user's last move through the folder was Previous.
    bool movingBack = false;

    MvSleepTimer *sleep = nullptr;
    MvTagReader *tagReader = nullptr;
    QString playingPath;
    MvMpris *mpris = nullptr;
    // A medium continued on its own: its end does not move through the folder.
    bool playingAlone = false;
};

bool isFullScreenLayout();
