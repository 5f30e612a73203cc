#include "ui/movara.h"

#include "browser/mvfilebrowser.h"
#include "core/mvplaylist.h"
#include "core/rawfilename.h"
#include "core/trace.h"
#include "platform/boardpaths.h"
#include "platform/phonekeys.h"
#include "platform/phonescreen.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zmessagebox.h"
#include "platform/zpushbutton.h"
#include "player/mvmediatags.h"
#include "player/mvplayercontrol.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "remote/mvmpris.h"
#include "remote/mvremotebridge.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"
#include "ui/mvoptionsmenu.h"

#include <QApplication>
#include <QFileInfo>
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
        resume = nullptr;
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
        resume = session->resumeTracker();
        connect(session, &MvPlaybackSession::mediumChanged, this, &Movara::showNowPlaying);
        connect(session, &MvPlaybackSession::activeChanged, this, &Movara::setPlayMode);
        connect(session, &MvPlaybackSession::pictureStarted, this, &Movara::pictureStarted);
        connect(session, &MvPlaybackSession::cannotPlay, this, &Movara::cannotPlay);
        connect(session, &MvPlaybackSession::notice, this, &Movara::showNotice);
        connect(session, &MvPlaybackSession::tagsRead, this, &Movara::tagsRead);
        connect(session, &MvPlaybackSession::folderEntryPlays, this, [this](const QString &path) {
            if (fileBrowser)
                fileBrowser->showEntry(path);
        });
        connect(session, &MvPlaybackSession::lengthKnown, this, [this](float length) {
            if (nowPlaying)
                nowPlaying->setLength(length);
        });
        connect(session, &MvPlaybackSession::volumeChanged, this, [this](int percent) {
            if (playMode && nowPlaying)
                nowPlaying->showVolume(percent);
        });
        connect(session, &MvPlaybackSession::engineCreated, this, [this](MvPlayerControl *control) {
            playerControl = control;
            connect(control, &MvPlayerControl::elapsedSecondsChanged, this, [this](int seconds) {
                if (nowPlaying)
                    nowPlaying->setElapsedSeconds(seconds);
            });
            connect(control, &MvPlayerControl::playbackStateChanged, this,
                    [this](MvPlayerControl::PlaybackState state) {
                        if (nowPlaying)
                            nowPlaying->setPaused(state == MvPlayerControl::PlaybackState::Paused);
                    });
        });
        new MvRemoteBridge(new MvMpris(this), session, this);
    }
    if (mainWidget && !nowPlaying) {
        nowPlaying = new MvNowPlayingView(mainWidget);
        nowPlaying->hide();
        notice = new MvNotice(mainWidget);
        connect(notice, &MvNotice::finished, this, &Movara::updateNowPlaying);
        MvSleepTimer *sleep = session->sleepTimer();
        nowPlaying->setSleepSource([sleep] {
            if (sleep->stopsAtEnd())
                return tr("Sleep at the end");
            const int left = sleep->secondsLeft();
            return left < 0 ? QString() : tr("Sleep in %1").arg(MvNowPlayingView::clockText(left));
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
    pictureDrawn = false;
    moveNotice(pictureNotice, notice);
    nowPlaying->setMedium(displayFileName(QFileInfo(path).fileName()),
                          session->playQueue().current() + 1, session->playQueue().size());
    // The playlist's own title wins over the medium's tags.
    nowPlaying->setGivenTitle(session->givenTitle(path));
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
    if (!notice)
        return;
    MvNotice *shown = pictureDrawn ? overPicture() : nullptr;
    if (!shown)
        shown = notice;
    shown->showText(
        tr("Cannot play %1").arg(shown->fitted(displayFileName(QFileInfo(path).fileName()))));
    updateNowPlaying();
}

void Movara::showNotice(MvPlaybackSession::Notice what, const QString &name, int more)
{
    if (!notice)
        return;
    using Notice = MvPlaybackSession::Notice;
    const QString fitted = notice->fitted(name);
    switch (what) {
    case Notice::CannotPlay:
        notice->showText(more > 0 ? tr("Cannot play %1 and %2 more").arg(fitted).arg(more)
                                  : tr("Cannot play %1").arg(fitted));
        break;
    case Notice::NotFound:
        notice->showText(more > 0 ? tr("Not found: %1 and %2 more").arg(fitted).arg(more)
                                  : tr("Not found: %1").arg(fitted));
        break;
    case Notice::OnlyFirst:
        notice->showText(tr("Only the first %1 entries play").arg(name));
        break;
    case Notice::ResumingAt:
        notice->showText(tr("Resuming at %1").arg(MvNowPlayingView::clockText(more)));
        break;
    case Notice::NothingTicked:
        notice->showText(tr("Nothing is ticked"));
        return;
    }
    updateNowPlaying();
    notice->raise();
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
    const auto inBrowser = [this] { return !playMode && fileBrowser && fileBrowser->depth != 0; };
    optionsMenu->addEntry(
        tr("Play ticked"), [this] { session->playFromStart(fileBrowser->tickedMedia()); },
        inBrowser);
    optionsMenu->addEntry(
        tr("Tick all"), [this] { fileBrowser->setAllTicked(true); }, inBrowser);
    optionsMenu->addEntry(
        tr("Clear all"), [this] { fileBrowser->setAllTicked(false); }, inBrowser);
    optionsMenu->addEntry(
        tr("Save ticked as playlist"), [this] { saveTicked(); }, inBrowser);
    optionsMenu->addEntry(
        [this] {
            return session->playQueue().isShuffle() ? tr("Shuffle: on") : tr("Shuffle: off");
        },
        [this] {
            session->setModes(!session->playQueue().isShuffle(), session->playQueue().repeatMode());
        });
    optionsMenu->addEntry(
        [this] {
            switch (session->playQueue().repeatMode()) {
            case MvPlayQueue::Repeat::One:
                return tr("Repeat: one");
            case MvPlayQueue::Repeat::All:
                return tr("Repeat: all");
            default:
                return tr("Repeat: off");
            }
        },
        [this] {
            const auto mode = session->playQueue().repeatMode();
            session->setModes(session->playQueue().isShuffle(),
                              mode == MvPlayQueue::Repeat::Off   ? MvPlayQueue::Repeat::One
                              : mode == MvPlayQueue::Repeat::One ? MvPlayQueue::Repeat::All
                                                                 : MvPlayQueue::Repeat::Off);
        });
    optionsMenu->addEntry(
        [this] { return isResumeEnabled() ? tr("Resume: on") : tr("Resume: off"); },
        [this] { setResumeEnabled(!isResumeEnabled()); });
    optionsMenu->addEntry(
        tr("Continue"), [this] { continueLast(); },
        [this] {
            return !playMode && isResumeEnabled() &&
                   !session->resumeTracker()->lastMedium().isEmpty();
        });
    optionsMenu->addEntry(
        [this] {
            const int minutes = session->sleepTimer()->minutes();
            if (minutes == MvSleepTimer::EndOfFile)
                return tr("Sleep timer: end of file");
            return minutes > 0 ? tr("Sleep timer: %1 min").arg(minutes) : tr("Sleep timer: off");
        },
        [this] {
            // Off, 15, 30, 60 minutes, the end of the file, off again.
            static const int steps[] = {0, 15, 30, 60, MvSleepTimer::EndOfFile};
            const int now = session->sleepTimer()->minutes();
            int at = 0;
            while (at < 5 && steps[at] != now)
                ++at;
            setSleepTimer(steps[(at + 1) % 5]);
        });
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

void Movara::saveTicked()
{
    if (!fileBrowser || !notice)
        return;
    const QStringList media = fileBrowser->tickedMedia();
    if (media.isEmpty()) {
        notice->showText(tr("Nothing is ticked"));
        return;
    }
    const QString root = QString::fromStdString(boardPath(MvFileBrowser::mediaRoots[2].folder));
    const QString saved = MvPlaylist::save(root, QFileInfo(fileBrowser->path()).fileName(), media);
    notice->showText(
        saved.isEmpty()
            ? tr("Cannot save the playlist")
            : tr("Saved as %1").arg(notice->fitted(displayFileName(QFileInfo(saved).fileName()))));
    notice->raise();
    // The playlists' own folder shows the new list at once.
    if (!saved.isEmpty() && fileBrowser->path() == root)
        fileBrowser->listDir(root, false);
}

void Movara::setResumeEnabled(bool on)
{
    session->setResumeEnabled(on);
}

bool Movara::isResumeEnabled() const
{
    return session && session->isResumeEnabled();
}

bool Movara::continueLast()
{
    return session->continueLast();
}

void Movara::setSleepTimer(int minutes)
{
    session->setSleepTimer(minutes);
}

MvSleepTimer *Movara::sleepTimer() const
{
    return session ? session->sleepTimer() : nullptr;
}

void Movara::tagsRead(const MvMediaTags &tags)
{
    if (!nowPlaying)
        return;
    nowPlaying->setTags(tags.title, tags.artist, tags.album);
    nowPlaying->setCover(tags.cover);
}
