#include "ui/movara.h"

#include "app/rawfilename.h"
#include "app/trace.h"
#include "browser/mvfilebrowser.h"
#include "platform/phonekeys.h"
#include "platform/phonescreen.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"
#include "platform/zmessagebox.h"
#include "platform/zpushbutton.h"
#include "player/mvplayercontrol.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>

#include <utility>

namespace {
// True while the frame is in the full-screen layout this window asked for.
bool fullScreenLayout = false;

constexpr int volumeStep = 5;
constexpr int seekStep = 15;
} // namespace

bool isFullScreenLayout()
{
    return fullScreenLayout;
}

Movara::Movara(const char *name) : MvMainWidget(name) {}

Movara::Movara(QWidget *parent, const char *name) : MvMainWidget(parent, name) {}

Movara::Movara(bool flag, QWidget *parent, const char *name) : MvMainWidget(flag, parent, name) {}

void Movara::destroy()
{
    if (playerControl) {
        delete playerControl;
        playerControl = nullptr;
    }
    traceLine("Movara::destroy()\n");
}

bool Movara::windowActivateEvent(QEvent *)
{
    if (mainWidget)
        mainWidget->releaseKeyboard();
    return false;
}

bool Movara::windowDeactivateEvent(QEvent *)
{
    return false;
}

void Movara::setupWidget()
{
    show();
    setupCST();
    setupTitleBar();
    getContentWidget(true);
    if (mainWidget && !nowPlaying) {
        nowPlaying = new MvNowPlayingView(mainWidget);
        nowPlaying->setElapsedSource([this] {
            return playerControl ? playerControl->ownElapsedTimeText() : QStringLiteral("%1");
        });
        nowPlaying->hide();
        notice = new MvNotice(mainWidget);
        connect(notice, &MvNotice::finished, this, &Movara::updateNowPlaying);
    }
}

void Movara::setupCST()
{
    UTIL_CST *bar = getCSTWidget(true);
    if (!bar)
        return;
    bar->show();

    ZPushButton *right = bar->getRightBtn();
    right->setResourceID(QStringLiteral("CST_Exit"));
    connect(right, &ZPushButton::clicked, this, &Movara::CSTRightButtonClick);

    ZPushButton *middle = bar->getMidBtn();
    middle->setText(tr("Main Page"));
    connect(middle, &ZPushButton::clicked, this, &Movara::CSTMiddleButtonClick);
    middle->setEnabled(false);
}

void Movara::setupTitleBar()
{
    if (!getTitleBarWidget()) {
        traceLine("No titlebar\n");
    }
}

bool Movara::setupContent()
{
    if (fileBrowser)
        return true;
    fileBrowser = new MvFileBrowser(contentWidget, nullptr);
    placeClientWidget(fileBrowser->listWidget());
    connect(fileBrowser, &MvFileBrowser::dirPicked, this, &Movara::dirChanged);
    connect(fileBrowser, &MvFileBrowser::filePicked, this, &Movara::fileChanged);
    return true;
}

bool Movara::placeClientWidget(QWidget *widget)
{
    if (!contentWidget)
        return false;
    contentWidget->show();
    if (widget) {
        setClientWidget(widget);
        if (auto *view = qobject_cast<QScrollView *>(contentWidget)) {
            view->addChild(widget, 0, 0);
        } else {
            widget->setParent(contentWidget);
            widget->move(0, 0);
        }
        widget->show();
        // The list takes the keys from the start, not only after a first tap.
        widget->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void Movara::CSTRightButtonClick()
{
    if (fileBrowser && fileBrowser->depth != 0)
        fileBrowser->goUp(0);
    else
        QApplication::quit();
}

void Movara::CSTMiddleButtonClick()
{
    if (fileBrowser)
        fileBrowser->goToLevel(0);
}

void Movara::switchDisplayMode()
{
    fullScreenLayout = !fullScreenLayout;
    if (fullScreenLayout)
        showFullScreenLayout(true, true);
    else
        showNormalLayout(true, true);
}

void Movara::showAbout()
{
    const bool wasFullScreen = fullScreenLayout;
    if (wasFullScreen) {
        showNormalLayout(true, true);
        fullScreenLayout = false;
    }
    ZMessageBox::information(mainWidget, QPixmap(),
                             tr("<qt><center><b>Movara 0.0.1a</b><br />"
                                "The MPlayer Frontend<br /><br />"
                                "Plays the phone's video and audio<br />"
                                "through MPlayer, a folder at a time.<br /><br />"
                                "Free software, without any warranty."
                                "</center></qt>"),
                             tr("OK"), QString(), QString(), 1);
    if (wasFullScreen) {
        showFullScreenLayout(true, true);
        fullScreenLayout = true;
    }
}

void Movara::dirChanged(const QString &)
{
    if (!cst || !fileBrowser)
        return;
    const bool belowRoots = fileBrowser->depth != 0;
    cst->getRightBtn()->setResourceID(belowRoots ? QStringLiteral("CST_Back")
                                                 : QStringLiteral("CST_Exit"));
    cst->getMidBtn()->setEnabled(belowRoots);
}

void Movara::fileChanged(const QString &path)
{
    traceLine("fileChanged : %s\n", rawFileName(path).constData());
    skipping = false;
    // A pick from the browser moves forward.
    if (!playMode)
        movingBack = false;
    // Up before the layout changes: the last medium's picture never shows again.
    showNowPlaying(path);
    setPlayMode(true);

    if (quitRequested) {
        // The engine is on its way out; play this file once it has gone.
        pendingFile = path;
        return;
    }

    if (!playerControl) {
        traceLine("parent : WID %d\n", static_cast<int>(mainWidget->winId()));
        playerControl = new MvPlayerControl(this, 50, static_cast<int>(mainWidget->winId()));
        connect(playerControl, &MvPlayerControl::processExited, this, &Movara::slotProcessExited);
        connect(playerControl, &MvPlayerControl::endedCurrentMedia, this, &Movara::currentMediaEnd);
        connect(playerControl, &MvPlayerControl::videoOutputStarted, this, &Movara::pictureStarted);
        connect(playerControl, &MvPlayerControl::signaTotalTimeLengthChanged, this,
                [this](float length) {
                    if (nowPlaying)
                        nowPlaying->setLength(length);
                });
        connect(playerControl, &MvPlayerControl::mediumCannotPlay, this, &Movara::cannotPlay);
        connect(playerControl, &MvPlayerControl::pauseChanged, this, [this](bool paused) {
            if (nowPlaying)
                nowPlaying->setPaused(paused);
        });
    }
    playerControl->playFile(path);

    // No engine could be started: back to the browser, the next pick tries again.
    if (!playerControl->ownEngineRunning())
        setPlayMode(false);
}

void Movara::setPlayMode(bool on)
{
    if (on == playMode)
        return;
    if (on) {
        showFullScreenLayout(true, true);
        if (clientWidget)
            clientWidget->hide();
        showTitleBar(false);
        showCST(false);
        fullScreenLayout = true;
        playMode = true;
        setFiltering(true);
        // With the list hidden the keys would go nowhere: the frame takes them.
        if (mainWidget)
            mainWidget->setFocus(Qt::OtherFocusReason);
        if (nowPlaying && mainWidget)
            nowPlaying->setGeometry(mainWidget->rect());
    } else {
        showNormalLayout(true, true);
        if (contentWidget) {
            contentWidget->show();
            if (auto *view = qobject_cast<QScrollView *>(contentWidget))
                view->viewport()->show();
        }
        if (clientWidget)
            clientWidget->show();
        showTitleBar(true);
        showCST(true);
        fullScreenLayout = false;
        playMode = false;
        setFiltering(false);
        moveNotice(pictureNotice, notice);
        if (clientWidget)
            clientWidget->setFocus(Qt::OtherFocusReason);
        // The row of the medium played last, at the list's own size again.
        if (fileBrowser)
            fileBrowser->showCurrent();
        // Hidden once the bars are back, so that no picture shows in between.
        updateNowPlaying();
    }
}

void Movara::showNowPlaying(const QString &path)
{
    if (!nowPlaying || !mainWidget)
        return;
    const int place = fileBrowser ? fileBrowser->filePlace() : 0;
    const int count = fileBrowser ? fileBrowser->fileCount() : 0;
    pictureDrawn = false;
    moveNotice(pictureNotice, notice);
    nowPlaying->setMedium(displayFileName(QFileInfo(path).fileName()), place, count);
    nowPlaying->setGeometry(mainWidget->rect());
    nowPlaying->show();
    nowPlaying->raise();
    if (notice)
        notice->raise();
}

void Movara::pictureStarted()
{
    pictureDrawn = true;
    // A notice still up goes over the picture rather than holding it back.
    if (notice && notice->isVisible())
        moveNotice(notice, overPicture());
    updateNowPlaying();
}

// The notice the engine's picture cannot cover: a window of its own on the
// surface the engine draws on.
MvNotice *Movara::overPicture()
{
    if (!pictureNotice && mainWidget && mainWidget->phoneScreen()) {
        pictureNotice = new MvNotice(mainWidget->phoneScreen()->videoSurface());
        pictureNotice->setAttribute(Qt::WA_NativeWindow);
    }
    return pictureNotice;
}

void Movara::moveNotice(MvNotice *from, MvNotice *to)
{
    if (!from || !to || from->isHidden())
        return;
    to->showText(from->text());
    from->hide();
}

// Up in play mode while no picture is drawn, and under a notice, which the
// picture would hide.
void Movara::updateNowPlaying()
{
    if (nowPlaying)
        nowPlaying->setVisible(playMode && (!pictureDrawn || (notice && notice->isVisible())));
}

void Movara::cannotPlay(const QString &path)
{
    skipping = true;
    if (!notice)
        return;
    MvNotice *shown = pictureDrawn ? overPicture() : nullptr;
    if (!shown)
        shown = notice;
    shown->showText(
        tr("Cannot play %1").arg(shown->fitted(displayFileName(QFileInfo(path).fileName()))));
    updateNowPlaying();
}

void Movara::slotProcessExited()
{
    quitRequested = false;
    if (!pendingFile.isEmpty()) {
        const QString path = pendingFile;
        pendingFile.clear();
        playerControl->playFile(path);
        if (playerControl->ownEngineRunning())
            return;
    }
    setPlayMode(false);
}

void Movara::currentMediaEnd()
{
    const bool skipped = std::exchange(skipping, false);
    // A medium that ends after the user asked to quit does not move on.
    if (quitRequested || !fileBrowser || !playerControl)
        return;
    // A medium that cannot play is skipped the way the user last moved; one
    // that played through goes on forward.
    if (!skipped)
        movingBack = false;
    if (!(movingBack ? fileBrowser->selectPrevious() : fileBrowser->selectNext())) {
        playerControl->quitPlayer();
        quitRequested = playerControl->ownEngineRunning();
    }
}

bool Movara::keyPressEvent(QKeyEvent *event)
{
    const bool active = mainWidget && mainWidget->isActiveWindow();
    const int key = phoneKeyCode(event);
    traceLine("%s : Kp %04x\n", active ? "Active" : "Inactive", static_cast<unsigned>(key));
    if (active)
        event->accept();
    else
        event->ignore();

    if (!playMode || !playerControl)
        return false;
    runKeyAction(key, playerControl->volume);
    if (nowPlaying && (key == PhoneKey::Key_Prior || key == PhoneKey::Key_Next))
        nowPlaying->showVolume(playerControl->volume);
    return active;
}

void Movara::runKeyAction(int key, int volume)
{
    switch (key) {
    case PhoneKey::Key_F2:
        playerControl->quitPlayer();
        quitRequested = playerControl->ownEngineRunning();
        break;
    case PhoneKey::Key_F26:
    case PhoneKey::Key_Return:
        playerControl->togglePause();
        break;
    case PhoneKey::Key_Prior:
        playerControl->setVolume(volume + volumeStep);
        break;
    case PhoneKey::Key_Next:
        playerControl->setVolume(volume - volumeStep);
        break;
    case PhoneKey::Key_Left:
        playerControl->seek(-seekStep, 0);
        break;
    case PhoneKey::Key_Right:
        playerControl->seek(seekStep, 0);
        break;
    case PhoneKey::Key_Up:
        playerControl->toggleFullScreen();
        break;
    case PhoneKey::Key_F28:
        movingBack = true;
        if (fileBrowser)
            fileBrowser->selectPrevious();
        break;
    case PhoneKey::Key_F29:
        movingBack = false;
        if (fileBrowser)
            fileBrowser->selectNext();
        break;
    default:
        break;
    }
}
