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
#include "player/mvplayercontrol.h"
#include "player/mvplaymodes.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "player/mvtagreader.h"
#include "remote/mvmpris.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"
#include "ui/mvoptionsmenu.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>
#include <QRandomGenerator>
#include <QUrl>

#include <sys/stat.h>

#include <memory>
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

void Movara::start()
{
    setupWidget();
    ZApplication::showMainWidget(mainWidget);
    setupContent();
}

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
    // Its copies of covers go with it, however the program ends.
    delete tagReader;
    tagReader = nullptr;
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
        if (playerControl)
            nowPlaying->setElapsedText(playerControl->ownElapsedTimeText());
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
        // Desktop controls show a cover by its file.
        if (mpris->isRegistered())
            tagReader->keepCoverFiles();
        mpris->setPositionSource(
            [this] { return playerControl ? playerControl->ownElapsedSeconds() : -1.0; });
        connect(mpris, &MvMpris::keyRequested, this, &Movara::remoteKey);
        connect(mpris, &MvMpris::openRequested, this, &Movara::openGiven);
        connect(mpris, &MvMpris::continueRequested, this, &Movara::continueLast);
        connect(mpris, &MvMpris::quitRequested, qApp, &QApplication::quit);
        connect(mpris, &MvMpris::positionRequested, this, [this](int seconds) {
            if (!playMode || !playerControl)
                return;
            resume->userSeeked();
            playerControl->seek(seconds, 2);
            mpris->seekedTo(seconds);
        });
        connect(mpris, &MvMpris::modesRequested, this, [this](bool shuffle, int loop) {
            setModes(shuffle, loop == int(MvMpris::Loop::Track)      ? MvPlayQueue::Repeat::One
                              : loop == int(MvMpris::Loop::Playlist) ? MvPlayQueue::Repeat::All
                                                                     : MvPlayQueue::Repeat::Off);
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
        startPlaylist(path);
        return;
    }
    const QStringList media = fileBrowser ? fileBrowser->tickedMedia(path) : QStringList{path};
    queue.setFolder(media.contains(path) ? media : QStringList{path}, int(media.indexOf(path)));
    fileChanged(path);
}

void Movara::fileChanged(const QString &path)
{
    currentFailed = false;
    upcoming.reset();
    traceLine("fileChanged : %s\n", rawFileName(path).constData());
    // A pick from the browser moves forward.
    if (!playMode)
        movingBack = false;
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
        connect(playerControl, &MvPlayerControl::lengthChanged, this, [this](float length) {
            // A new medium's length is unknown until the engine gives it; a
            // reply while the next pick waits its turn is the one before's.
            if (length >= 0 && playerControl->ownCurrentMedium() == playingPath)
                lengthKnown(length);
        });
        connect(playerControl, &MvPlayerControl::elapsedChanged, this, [this](const QString &text) {
            if (nowPlaying)
                nowPlaying->setElapsedText(text);
        });
        // A video's status has a time but no elapsed text.
        connect(playerControl, &MvPlayerControl::elapsedSecondsChanged, this, [this](int seconds) {
            if (resume && playerControl->ownCurrentMedium() == resume->current())
                resume->elapsed(seconds);
        });
        connect(playerControl, &MvPlayerControl::mediumCannotPlay, this, &Movara::cannotPlay);
        connect(playerControl, &MvPlayerControl::playbackStateChanged, this,
                [this](MvPlayerControl::PlaybackState state) {
                    if (nowPlaying)
                        nowPlaying->setPaused(state == MvPlayerControl::PlaybackState::Paused);
                    if (state == MvPlayerControl::PlaybackState::Playing && !upcoming)
                        queueUpcoming();
                    publishState();
                });
    }
    playerControl->playFile(path);
    // After the engine has its command: tags never hold up a start.
    if (tagReader)
        tagReader->request(path);

    // No engine could be started: back to the browser, the next pick tries again.
    if (!playerControl->ownEngineRunning())
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
        moveNotice(pictureNotice, notice);
        if (clientWidget)
            clientWidget->setFocus(Qt::OtherFocusReason);
        // The row of the medium played last, at the list's own size again.
        if (fileBrowser)
            fileBrowser->showCurrent();
        // Hidden once the bars are back, so that no picture shows in between.
        updateNowPlaying();
    }
    publishState();
}

void Movara::showNowPlaying(const QString &path)
{
    if (!nowPlaying || !mainWidget)
        return;
    pictureDrawn = false;
    moveNotice(pictureNotice, notice);
    nowPlaying->setMedium(displayFileName(QFileInfo(path).fileName()), queue.current() + 1,
                          queue.size());
    // The playlist's own title wins over the medium's tags.
    nowPlaying->setGivenTitle(givenTitle(path));
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
QString Movara::givenTitle(const QString &path) const
{
    return !playingAlone && queue.isPlaylist() && queue.path(queue.current()) == path
               ? queue.title(queue.current())
               : QString();
}

void Movara::updateNowPlaying()
{
    if (nowPlaying)
        nowPlaying->setVisible(playMode && (!pictureDrawn || (notice && notice->isVisible())));
}

void Movara::cannotPlay(const QString &path)
{
    currentFailed = true;
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
    // An engine that fell silent may have stopped anywhere: its place stays.
    if (resume && playerControl->endWasSaid())
        resume->ended();
    else if (resume)
        resume->stopped();
    if ((sleep && sleep->mediumEnded()) || playingAlone) {
        playerControl->quitPlayer();
        quitRequested = playerControl->ownEngineRunning();
        return;
    }
    const bool played = !currentFailed;
    // A medium that cannot play is skipped the way the user last moved; one
    // that played through goes on forward.
    if (played)
        movingBack = false;
    queue.noteResult(played);
    if (queue.exhausted()) {
        stopPlaying();
        return;
    }
    if (played && upcoming) {
        // The order the engine was told, which it may already play.
        queue = *std::exchange(upcoming, std::nullopt);
        playQueued(queue.current(), true);
        return;
    }
    playQueued(movingBack ? queue.previous() : queue.next(played), true);
}

void Movara::queueUpcoming()
{
    if (!playerControl || !playMode || quitRequested)
        return;
    upcoming.reset();
    QString path;
    if (!playingAlone && !currentFailed && !(sleep && sleep->stopsAtEnd())) {
        MvPlayQueue after = queue;
        after.noteResult(true);
        const int index = after.next(true);
        if (index >= 0 && MvPlaylist::canHandOver(after.path(index))) {
            path = after.path(index);
            upcoming = after;
        }
    }
    playerControl->queueNext(path);
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
    if (key == PhoneKey::Key_F1 || key == PhoneKey::Key_Menu) {
        openOptions();
        return active;
    }
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
    if (nowPlaying && (key == PhoneKey::Key_Prior || key == PhoneKey::Key_Next))
        nowPlaying->showVolume(playerControl->volume);
    publishState();
}

void Movara::runKeyAction(int key, int volume)
{
    // Just after a resume, back means the medium's start.
    if ((key == PhoneKey::Key_Left || key == PhoneKey::Key_F28) && resume &&
        resume->takeStartOver()) {
        playerControl->seek(0, 2);
        if (mpris)
            mpris->seekedTo(0);
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
        if (mpris)
            mpris->seekedBy(-seekStep);
        break;
    case PhoneKey::Key_Right:
        playerControl->seek(seekStep, 0);
        if (mpris)
            mpris->seekedBy(seekStep);
        break;
    case PhoneKey::Key_Up:
        playerControl->toggleFullScreen();
        break;
    case PhoneKey::Key_F28:
        movingBack = true;
        playQueued(queue.previous(), false);
        break;
    case PhoneKey::Key_F29:
        movingBack = false;
        playQueued(queue.next(), false);
        break;
    default:
        break;
    }
}

void Movara::playQueued(int index, bool stopAtEnd)
{
    // Entries that cannot be handed to the engine are passed over here, once
    // each at most, with one notice for the lot.
    QString firstBad;
    int bad = 0;
    bool allMissing = true;
    for (int tries = 0; index >= 0 && tries < queue.size(); ++tries) {
        const QString path = queue.path(index);
        if (MvPlaylist::canHandOver(path)) {
            if (!queue.isPlaylist() && fileBrowser)
                fileBrowser->showEntry(path);
            fileChanged(path);
            break;
        }
        // A vanished file of a folder is left out silently, as the browser does.
        if (queue.isPlaylist() && bad++ == 0)
            firstBad = path;
        struct stat info;
        allMissing = allMissing && ::stat(rawFileName(path).constData(), &info) != 0;
        queue.noteResult(false);
        if (queue.exhausted()) {
            index = -1;
            break;
        }
        index = movingBack ? queue.previous() : stopAtEnd ? queue.next(false) : queue.next();
    }
    if (bad > 0 && notice) {
        const QString name = notice->fitted(displayFileName(QFileInfo(firstBad).fileName()));
        // An entry that names no file here is not found rather than unplayable.
        if (allMissing)
            notice->showText(bad == 1 ? tr("Not found: %1").arg(name)
                                      : tr("Not found: %1 and %2 more").arg(name).arg(bad - 1));
        else
            notice->showText(bad == 1 ? tr("Cannot play %1").arg(name)
                                      : tr("Cannot play %1 and %2 more").arg(name).arg(bad - 1));
        updateNowPlaying();
        notice->raise();
    }
    if (index < 0 && stopAtEnd)
        stopPlaying();
}

void Movara::stopPlaying()
{
    if (resume && playMode)
        resume->stopped();
    if (playerControl && playerControl->ownEngineRunning()) {
        playerControl->quitPlayer();
        quitRequested = playerControl->ownEngineRunning();
    }
    if (!quitRequested)
        setPlayMode(false);
}

void Movara::startPlaylist(const QString &path)
{
    auto list = std::make_shared<MvPlaylist>();
    const bool read = list->load(path);
    if (notice && (!read || list->count() == 0 || list->skipped() > 0)) {
        const QString name = notice->fitted(
            read && list->skipped() > 0 ? list->firstSkipped() : QFileInfo(path).fileName());
        const int more = list->skipped() - 1;
        notice->showText(more > 0 ? tr("Cannot play %1 and %2 more").arg(name).arg(more)
                                  : tr("Cannot play %1").arg(name));
        notice->raise();
    } else if (notice && list->cut() > 0) {
        // Entries past the limit are playable: left out, not unplayable.
        notice->showText(tr("Only the first %1 entries play").arg(list->count()));
        notice->raise();
    }
    if (!read || list->count() == 0)
        return;
    const int count = list->count();
    queue.setPlaylist(std::move(list), 0);
    int first = 0;
    if (queue.isShuffle()) {
        // The first entry is as random as the rest.
        queue.reset(count, int(QRandomGenerator::global()->bounded(count)));
        first = queue.current();
    }
    const bool wasPlaying = playMode;
    playQueued(first, true);
    // Nothing in the list could play: the browser stays.
    if (!wasPlaying && !playMode)
        updateNowPlaying();
}

void Movara::setupOptions()
{
    if (optionsMenu || !mainWidget)
        return;
    optionsMenu = new MvOptionsMenu(mainWidget);
    const auto inBrowser = [this] { return !playMode && fileBrowser && fileBrowser->depth != 0; };
    optionsMenu->addEntry(
        tr("Play ticked"), [this] { playTicked(); }, inBrowser);
    optionsMenu->addEntry(
        tr("Tick all"), [this] { fileBrowser->setAllTicked(true); }, inBrowser);
    optionsMenu->addEntry(
        tr("Clear all"), [this] { fileBrowser->setAllTicked(false); }, inBrowser);
    optionsMenu->addEntry(
        tr("Save ticked as playlist"), [this] { saveTicked(); }, inBrowser);
    optionsMenu->addEntry(
        [this] { return queue.isShuffle() ? tr("Shuffle: on") : tr("Shuffle: off"); },
        [this] { setModes(!queue.isShuffle(), queue.repeatMode()); });
    optionsMenu->addEntry(
        [this] {
            switch (queue.repeatMode()) {
            case MvPlayQueue::Repeat::One:
                return tr("Repeat: one");
            case MvPlayQueue::Repeat::All:
                return tr("Repeat: all");
            default:
                return tr("Repeat: off");
            }
        },
        [this] {
            const auto mode = queue.repeatMode();
            setModes(queue.isShuffle(), mode == MvPlayQueue::Repeat::Off ? MvPlayQueue::Repeat::One
                                        : mode == MvPlayQueue::Repeat::One
                                            ? MvPlayQueue::Repeat::All
                                            : MvPlayQueue::Repeat::Off);
        });
    optionsMenu->addEntry(
        [this] { return isResumeEnabled() ? tr("Resume: on") : tr("Resume: off"); },
        [this] { setResumeEnabled(!isResumeEnabled()); });
    optionsMenu->addEntry(
        tr("Continue"), [this] { continueLast(); },
        [this] { return !playMode && isResumeEnabled() && !resume->lastMedium().isEmpty(); });
    optionsMenu->addEntry(
        [this] {
            const int minutes = sleep ? sleep->minutes() : 0;
            if (minutes == MvSleepTimer::EndOfFile)
                return tr("Sleep timer: end of file");
            return minutes > 0 ? tr("Sleep timer: %1 min").arg(minutes) : tr("Sleep timer: off");
        },
        [this] {
            // Off, 15, 30, 60 minutes, the end of the file, off again.
            static const int steps[] = {0, 15, 30, 60, MvSleepTimer::EndOfFile};
            const int now = sleep ? sleep->minutes() : 0;
            int at = 0;
            while (at < 5 && steps[at] != now)
                ++at;
            setSleepTimer(steps[(at + 1) % 5]);
        });
    const MvPlayModes modes = MvPlayModes::load();
    queue.setShuffle(modes.shuffle);
    queue.setRepeat(modes.repeat);
    publishModes();
}

void Movara::publishModes()
{
    if (!mpris)
        return;
    const MvPlayQueue::Repeat repeat = queue.repeatMode();
    mpris->setModes(queue.isShuffle(), repeat == MvPlayQueue::Repeat::One ? MvMpris::Loop::Track
                                       : repeat == MvPlayQueue::Repeat::All
                                           ? MvMpris::Loop::Playlist
                                           : MvMpris::Loop::None);
}

void Movara::setModes(bool shuffle, MvPlayQueue::Repeat repeat)
{
    queue.setShuffle(shuffle);
    queue.setRepeat(repeat);
    publishModes();
    if (playerControl && playerControl->playbackState() != MvPlayerControl::PlaybackState::Starting)
        queueUpcoming();
    MvPlayModes modes;
    modes.shuffle = shuffle;
    modes.repeat = repeat;
    // Unwritable user area: the modes last for this run only.
    modes.save();
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

void Movara::playTicked()
{
    const QStringList media = fileBrowser ? fileBrowser->tickedMedia() : QStringList();
    if (media.isEmpty()) {
        if (notice)
            notice->showText(tr("Nothing is ticked"));
        return;
    }
    queue.setFolder(media, 0);
    playQueued(queue.current(), true);
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

void Movara::lengthKnown(float length)
{
    if (nowPlaying)
        nowPlaying->setLength(length);
    if (mpris && length >= 0 && length < 1e7f) {
        // The length belongs to the medium now playing, whose track the bus must have first.
        publishState();
        mpris->setLength(length);
    }
    const int at = resume ? resume->lengthKnown(length) : -1;
    if (at < 0 || !playerControl)
        return;
    playerControl->seek(at, 2);
    if (mpris)
        mpris->seekedTo(at);
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

void Movara::openGiven(const QString &path)
{
    if (MvPlaylist::isPlaylistPath(path)) {
        startPlaylist(path);
        return;
    }
    if (!MvPlaylist::canHandOver(path)) {
        if (notice) {
            notice->showText(tr("Cannot play %1")
                                 .arg(notice->fitted(displayFileName(QFileInfo(path).fileName()))));
            notice->raise();
        }
        return;
    }
    playAlone(path);
}

void Movara::publishState()
{
    if (!mpris || !mpris->isRegistered())
        return;
    if (!playMode || quitRequested)
        mpris->setStatus(MvMpris::Status::Stopped);
    else
        mpris->setStatus(playerControl && playerControl->ownPaused() ? MvMpris::Status::Paused
                                                                     : MvMpris::Status::Playing);
    if (!playMode)
        mpris->setTrack(QString(), QString(), QString(), QString(), QString());
    else if (mpris->trackFile() != playingPath)
        mpris->setTrack(playingPath, givenTitle(playingPath), QString(), QString(), QString());
    if (playerControl)
        mpris->setVolumeLevel(playerControl->volume);
}

void Movara::setSleepTimer(int minutes)
{
    if (sleep)
        sleep->setMinutes(minutes);
    // Stopping at the medium's end takes back what the engine was to play next.
    if (playerControl && playerControl->playbackState() != MvPlayerControl::PlaybackState::Starting)
        queueUpcoming();
}

void Movara::tagsRead(const MvMediaTags &tags)
{
    if (!nowPlaying || tags.path != playingPath)
        return;
    nowPlaying->setTags(tags.title, tags.artist, tags.album);
    nowPlaying->setCover(tags.cover);
    const QString given = givenTitle(tags.path);
    if (mpris)
        mpris->setTrack(tags.path, given.isEmpty() ? tags.title : given, tags.artist, tags.album,
                        tags.coverFile);
}
