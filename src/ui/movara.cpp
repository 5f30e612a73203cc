#include "ui/movara.h"

#include "app/mvmpris.h"
#include "app/trace.h"
#include "browser/mvfilebrowser.h"
#include "platform/phonekeys.h"
#include "platform/qlistbox.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"
#include "platform/zmessagebox.h"
#include "platform/zpushbutton.h"
#include "player/mvplayercontrol.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "player/mvtagreader.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>
#include <QUrl>

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
    if (resume) {
        resume->stopped();
        delete resume;
        resume = nullptr;
    }
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
        nowPlaying->setElapsedSource(&MvPlayerControl::elapsedTimeText);
        nowPlaying->hide();
        notice = new MvNotice(mainWidget);
        connect(notice, &MvNotice::finished, this, &Movara::updateNowPlaying);
    }
    if (!resume) {
        resume = new MvResumeTracker;
        sleep = new MvSleepTimer(this);
        connect(sleep, &MvSleepTimer::fired, this, &Movara::stopPlaying);
        tagReader = new MvTagReader(this);
        connect(tagReader, &MvTagReader::tagsRead, this, &Movara::tagsRead);
        mpris = new MvMpris(this);
        mpris->setPositionSource(
            [] { return MvNowPlayingView::secondsOf(MvPlayerControl::elapsedTimeText()); });
        connect(mpris, &MvMpris::keyRequested, this, &Movara::remoteKey);
        connect(mpris, &MvMpris::openRequested, this, &Movara::playAlone);
        connect(mpris, &MvMpris::continueRequested, this, &Movara::continueLast);
        connect(mpris, &MvMpris::quitRequested, qApp, &QApplication::quit);
        connect(mpris, &MvMpris::positionRequested, this, [this](int seconds) {
            if (!playMode || !playerControl)
                return;
            resume->userSeeked();
            playerControl->seek(seconds, 2);
        });
        connect(mpris, &MvMpris::volumeRequested, this, [this](int percent) {
            if (!playerControl)
                return;
            playerControl->setVolume(percent);
            if (playMode && nowPlaying)
                nowPlaying->showVolume(playerControl->volume);
            publishState();
        });
        if (nowPlaying)
            nowPlaying->setSleepSource([this] {
                if (sleep->stopsAtEnd())
                    return tr("Sleep at the end");
                const int left = sleep->secondsLeft();
                return left < 0 ? QString()
                                : tr("Sleep in %1").arg(MvNowPlayingView::clockText(left));
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
    traceLine("fileChanged : %s\n", QFile::encodeName(path).constData());
    if (resume)
        resume->started(path);
    playingAlone = false;
    playingPath = path;
    // Up before the layout changes: the last medium's picture never shows again.
    showNowPlaying(path);
    setPlayMode(true);

    if (quitRequested) {
        // The engine is on its way out; play this file once it has gone.
        pendingFile = path;
        if (tagReader)
            tagReader->request(path);
        return;
    }

    if (!playerControl) {
        traceLine("parent : WID %d\n", static_cast<int>(mainWidget->winId()));
        playerControl = new MvPlayerControl(this, 50, static_cast<int>(mainWidget->winId()));
        connect(playerControl, &MvPlayerControl::processExited, this, &Movara::slotProcessExited);
        connect(playerControl, &MvPlayerControl::endedCurrentMedia, this, &Movara::currentMediaEnd);
        connect(playerControl, &MvPlayerControl::videoOutputStarted, this, &Movara::pictureStarted);
        connect(playerControl, &MvPlayerControl::signaTotalTimeLengthChanged, this,
                &Movara::lengthKnown);
        connect(playerControl, &MvPlayerControl::signalTimeElapse, this, [this] {
            if (resume)
                resume->elapsed(MvNowPlayingView::secondsOf(MvPlayerControl::elapsedTimeText()));
        });
        connect(playerControl, &MvPlayerControl::mediumCannotPlay, this, &Movara::cannotPlay);
    }
    playerControl->playFile(path);
    if (nowPlaying)
        nowPlaying->setPaused(MvPlayerControl::isPaused() && MvPlayerControl::isEngineRunning());
    // After the engine has its command: tags never hold up a start.
    if (tagReader)
        tagReader->request(path);

    // No engine could be started: back to the browser, the next pick tries again.
    if (!playerControl->isEngineRunning())
        setPlayMode(false);
    publishState();
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
        if (clientWidget)
            clientWidget->setFocus(Qt::OtherFocusReason);
        // Hidden once the bars are back, so that no picture shows in between.
        updateNowPlaying();
    }
    publishState();
}

void Movara::showNowPlaying(const QString &path)
{
    if (!nowPlaying || !mainWidget)
        return;
    int place = 0;
    int count = 0;
    if (auto *box = qobject_cast<QListBox *>(fileBrowser ? fileBrowser->listWidget() : nullptr)) {
        place = box->currentItem() + 1;
        count = box->count();
    }
    pictureDrawn = false;
    nowPlaying->setMedium(QFileInfo(path).fileName(), place, count);
    nowPlaying->setGeometry(mainWidget->rect());
    nowPlaying->show();
    nowPlaying->raise();
    if (notice)
        notice->raise();
}

void Movara::pictureStarted()
{
    pictureDrawn = true;
    updateNowPlaying();
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
    notice->showText(tr("Cannot play %1").arg(notice->fitted(QFileInfo(path).fileName())));
    updateNowPlaying();
    notice->raise();
}

void Movara::slotProcessExited()
{
    quitRequested = false;
    if (!pendingFile.isEmpty()) {
        const QString path = pendingFile;
        pendingFile.clear();
        playerControl->playFile(path);
        if (playerControl->isEngineRunning())
            return;
    }
    // An engine that died keeps the place it reached.
    if (resume)
        resume->stopped();
    playingAlone = false;
    setPlayMode(false);
}

void Movara::currentMediaEnd()
{
    // A medium that ends after the user asked to quit does not move on.
    if (quitRequested || !fileBrowser || !playerControl)
        return;
    if (resume)
        resume->ended();
    if ((sleep && sleep->mediumEnded()) || playingAlone || !fileBrowser->selectNext()) {
        playerControl->quitPlayer();
        quitRequested = playerControl->isEngineRunning();
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
    actOnKey(key);
    return active;
}

void Movara::remoteKey(int key)
{
    traceLine("Remote : Kp %04x\n", static_cast<unsigned>(key));
    if (playMode && playerControl)
        actOnKey(key);
}

void Movara::actOnKey(int key)
{
    runKeyAction(key, playerControl->volume);
    if (nowPlaying) {
        if (key == PhoneKey::Key_Prior || key == PhoneKey::Key_Next)
            nowPlaying->showVolume(playerControl->volume);
        nowPlaying->setPaused(MvPlayerControl::isPaused() && !quitRequested);
    }
    publishState();
}

void Movara::runKeyAction(int key, int volume)
{
    // Just after a resume, back means the medium's start.
    if ((key == PhoneKey::Key_Left || key == PhoneKey::Key_F28) && resume &&
        resume->takeStartOver()) {
        playerControl->seek(0, 2);
        return;
    }
    if (resume && (key == PhoneKey::Key_Left || key == PhoneKey::Key_Right))
        resume->userSeeked();
    switch (key) {
    case PhoneKey::Key_F2:
        stopPlaying();
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
        if (fileBrowser)
            fileBrowser->selectPrevious();
        break;
    case PhoneKey::Key_F29:
        if (fileBrowser)
            fileBrowser->selectNext();
        break;
    default:
        break;
    }
}

void Movara::stopPlaying()
{
    if (!playMode || !playerControl)
        return;
    if (resume)
        resume->stopped();
    playerControl->quitPlayer();
    quitRequested = playerControl->isEngineRunning();
}

void Movara::lengthKnown(float length)
{
    if (nowPlaying)
        nowPlaying->setLength(length);
    if (mpris && length >= 0 && length < 1e7f)
        mpris->setLength(int(length));
    const int at = resume ? resume->lengthKnown(length) : -1;
    if (at < 0 || !playerControl)
        return;
    playerControl->seek(at, 2);
    if (notice) {
        notice->showText(tr("Resuming at %1").arg(MvNowPlayingView::clockText(at)));
        updateNowPlaying();
        notice->raise();
    }
}

void Movara::setResumeEnabled(bool on)
{
    if (resume)
        resume->setEnabled(on);
}

bool Movara::isResumeEnabled() const
{
    return resume && resume->isEnabled();
}

bool Movara::continueLast()
{
    const QString path = resume && resume->isEnabled() ? resume->lastMedium() : QString();
    if (path.isEmpty())
        return false;
    playAlone(path);
    return true;
}

void Movara::playAlone(const QString &path)
{
    fileChanged(path);
    playingAlone = playMode;
}

void Movara::publishState()
{
    if (!mpris || !mpris->isRegistered())
        return;
    if (!playMode || quitRequested)
        mpris->setStatus(MvMpris::Status::Stopped);
    else
        mpris->setStatus(MvPlayerControl::isPaused() ? MvMpris::Status::Paused
                                                     : MvMpris::Status::Playing);
    if (!playMode)
        mpris->setTrack(QString(), QString(), QString(), QString(), QString());
    else if (mpris->metadata().value(QStringLiteral("xesam:url")).toString() !=
             QUrl::fromLocalFile(playingPath).toString())
        mpris->setTrack(playingPath, QString(), QString(), QString(), QString());
    if (playerControl)
        mpris->setVolumeLevel(playerControl->volume);
}

void Movara::setSleepTimer(int minutes)
{
    if (sleep)
        sleep->setMinutes(minutes);
}

void Movara::tagsRead(const MvMediaTags &tags)
{
    if (!nowPlaying || tags.path != playingPath)
        return;
    nowPlaying->setTags(tags.title, tags.artist, tags.album);
    nowPlaying->setCover(tags.cover);
    if (mpris)
        mpris->setTrack(tags.path, tags.title, tags.artist, tags.album, tags.coverFile);
}
