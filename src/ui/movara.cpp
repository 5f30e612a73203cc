#include "ui/movara.h"

#include "browser/mvfilebrowser.h"
#include "core/mvplaylist.h"
#include "core/trace.h"
#include "platform/phonekeys.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zmessagebox.h"
#include "platform/zpushbutton.h"
#include "player/mvaction.h"
#include "player/mvplaybacksession.h"
#include "remote/mvmpris.h"
#include "remote/mvremotebridge.h"
#include "ui/mvnotice.h"
#include "ui/mvnoticeplacement.h"
#include "ui/mvnowplayingview.h"
#include "ui/mvoptions.h"
#include "ui/mvoptionsmenu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>

namespace {
// True while the frame is in the full-screen layout this window asked for.
bool fullScreenLayout = false;
} // namespace

bool isFullScreenLayout()
{
    return fullScreenLayout;
}

Movara::Movara(const char *name) : MvMainWidget(name) {}

Movara::Movara(QWidget *parent, const char *name) : MvMainWidget(parent, name) {}

Movara::Movara(bool flag, QWidget *parent, const char *name) : MvMainWidget(flag, parent, name) {}

void Movara::start()
{
    setupWidget();
    ZApplication::showMainWidget(mainWidget);
    setupContent();
}

void Movara::destroy()
{
    if (session) {
        session->shutDown();
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
    if (!session) {
        session = new MvPlaybackSession(
            [this] { return mainWidget ? static_cast<int>(mainWidget->winId()) : 0; }, this);
        connect(session, &MvPlaybackSession::activeChanged, this, &Movara::setPlayMode);
        connect(session, &MvPlaybackSession::folderEntryPlays, this, [this](const QString &path) {
            if (fileBrowser)
                fileBrowser->showEntry(path);
        });
        connect(session, &MvPlaybackSession::engineCreated, this,
                [this] { playerControl = session->control(); });
        new MvRemoteBridge(new MvMpris(this), session, this);
    }
    if (mainWidget && !nowPlaying) {
        nowPlaying = new MvNowPlayingView(mainWidget);
        nowPlaying->hide();
        nowPlaying->follow(session);
        notices = new MvNoticePlacement(mainWidget, this);
        connect(notices, &MvNoticePlacement::changed, this, &Movara::updateNowPlaying);
        connect(session, &MvPlaybackSession::mediumChanged, this, &Movara::showNowPlaying);
        connect(session, &MvPlaybackSession::pictureStarted, notices,
                &MvNoticePlacement::pictureStarted);
        connect(session, &MvPlaybackSession::cannotPlay, notices, &MvNoticePlacement::cannotPlay);
        connect(session, &MvPlaybackSession::notice, notices, &MvNoticePlacement::show);
        connect(session, &MvPlaybackSession::volumeChanged, this, [this](int percent) {
            if (playMode)
                nowPlaying->showVolume(percent);
        });
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

    ZPushButton *left = bar->getLeftBtn();
    left->setResourceID(QStringLiteral("CST_Menu"));
    connect(left, &ZPushButton::clicked, this, &Movara::openOptions);

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
    connect(fileBrowser, &MvFileBrowser::filePicked, this, &Movara::filePicked);
    setupOptions();
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
    if (optionsMenu && optionsMenu->isOpen()) {
        optionsMenu->close();
        return;
    }
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
    markPlace();
}

void Movara::markPlace()
{
    if (fileBrowser && fileBrowser->depth != 0)
        fileBrowser->markEntry(session->placeIn(fileBrowser->path()).medium);
}

void Movara::filePicked(const QString &path)
{
    if (MvPlaylist::isPlaylistPath(path)) {
        const bool wasPlaying = playMode;
        session->playPlaylist(path);
        // Nothing in the list could play: the browser stays.
        if (!wasPlaying && !playMode)
            updateNowPlaying();
        return;
    }
    const QStringList media = fileBrowser ? fileBrowser->tickedMedia(path) : QStringList{path};
    if (media.contains(path))
        session->playFolder(media, int(media.indexOf(path)));
    else
        session->playFolder({path}, 0);
}

void Movara::fileChanged(const QString &path)
{
    session->play(path);
}

void Movara::slotProcessExited()
{
    session->engineExited();
}

void Movara::currentMediaEnd()
{
    session->currentMediaEnd();
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
        if (notices)
            notices->backToFrame();
        if (clientWidget)
            clientWidget->setFocus(Qt::OtherFocusReason);
        // The row of the medium played last, at the list's own size again.
        if (fileBrowser)
            fileBrowser->showCurrent();
        markPlace();
        // Hidden once the bars are back, so that no picture shows in between.
        updateNowPlaying();
    }
}

void Movara::showNowPlaying()
{
    notices->newMedium();
    nowPlaying->setGeometry(mainWidget->rect());
    nowPlaying->show();
    nowPlaying->raise();
    notices->inFrame()->raise();
}

// Up in play mode while no picture is drawn, and under a notice, which the
// picture would hide.
void Movara::updateNowPlaying()
{
    if (nowPlaying)
        nowPlaying->setVisible(playMode &&
                               (!notices->isPictureDrawn() || notices->inFrame()->isVisible()));
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
    const MvAction action = actionForKey(key);
    if (action == MvAction::Menu)
        openOptions();
    else
        session->act(action);
    return active;
}

void Movara::setupOptions()
{
    if (optionsMenu || !mainWidget)
        return;
    optionsMenu = new MvOptionsMenu(mainWidget);
    new MvOptions(optionsMenu, session, fileBrowser, notices ? notices->inFrame() : nullptr,
                  [this] { return playMode; });
}

void Movara::openOptions()
{
    if (!optionsMenu || !mainWidget || optionsMenu->isOpen())
        return;
    QPoint corner = mainWidget->mapToGlobal(QPoint(0, mainWidget->height()));
    if (cst && cst->isVisible())
        corner = cst->mapToGlobal(QPoint(0, 0));
    optionsMenu->open(corner);
}
