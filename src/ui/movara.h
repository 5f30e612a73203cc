#pragma once

#include "widgets/mvmainwidget.h"

#include <QString>

class MvFileBrowser;
class MvNoticePlacement;
class MvNowPlayingView;
class MvOptionsMenu;
class MvPlaybackSession;
class MvPlayerControl;

// The program's one window: the browser in browse mode, full screen with the
// phone's keys driving playback in play mode. What plays is the session's.
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
    MvPlaybackSession *playback() const { return session; }

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
    // The session's engine control, once it has one: only kept, never used.
    MvPlayerControl *playerControl = nullptr;
    bool playMode = false;

private:
    void showNowPlaying();
    void updateNowPlaying();
    void setupOptions();
    // Marks the row where the folder listed was left off.
    void markPlace();

    MvPlaybackSession *session = nullptr;
    MvOptionsMenu *optionsMenu = nullptr;
    // Program-drawn, in the frame: what plays while the engine draws no
    // picture, and short notices over whatever shows.
    MvNowPlayingView *nowPlaying = nullptr;
    MvNoticePlacement *notices = nullptr;
};

bool isFullScreenLayout();
