#include "player/mvplaybacksession.h"

#include "core/medialisting.h"
#include "core/mvplaylist.h"
#include "core/rawfilename.h"
#include "core/trace.h"
#include "platform/lcdsleeptimer.h"
#include "player/mvmediatags.h"
#include "player/mvphonedevices.h"
#include "player/mvplaybackstatus.h"
#include "player/mvplayercontrol.h"
#include "player/mvplaymodes.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "player/mvspeedstore.h"
#include "player/mvtagreader.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace {
constexpr int volumeStep = 5;
constexpr int seekStep = 15;
// Back within this many seconds of a chapter's start goes to the one before.
constexpr double chapterBackSeconds = 3;
// A seek may land this far short of a chapter's start and still be in it.
constexpr double chapterLandingSlack = 0.3;

// Where the speed of a medium is kept.
QString folderOf(const QString &medium)
{
    return QFileInfo(medium).path();
}
} // namespace

MvPlaybackSession::MvPlaybackSession(std::function<int()> windowIdSource, QObject *parent)
    : QObject(parent), windowId(std::move(windowIdSource)),
      playbackStatus(new MvPlaybackStatus(this)), resume(new MvResumeTracker),
      sleep(new MvSleepTimer(this)), tags(new MvTagReader(this)), marks(new MvBookmarks),
      speeds(new MvSpeedStore)
{
    playbackStatus->setVolume(sessionSettings.volume);
    playbackStatus->setSpeed(sessionSettings.speed);
    connect(sleep, &MvSleepTimer::fired, this, &MvPlaybackSession::stop);
    sleep->follow(playbackStatus);
    connect(sleep, &MvSleepTimer::fadeLevelChanged, this, &MvPlaybackSession::applyFade);
    connect(tags, &MvTagReader::tagsRead, this, [this](const MvMediaTags &read) {
        if (read.path != playingPath)
            return;
        const QString given = givenTitle(read.path);
        playbackStatus->setTitle(given.isEmpty() ? read.title : given);
        emit tagsRead(read);
    });
    // A dark screen shows no time: the engine need not tell it often.
    connect(LcdSleepTimer::instance(), &LcdSleepTimer::darkChanged, this, [this](bool dark) {
        if (playerControl)
            playerControl->setUnseen(dark);
    });
    resume->records().onWriteFailure([this](const QString &reason) { placesNotKept(reason); });
    resume->folderPlaces().onWriteFailure([this](const QString &reason) { placesNotKept(reason); });
    const MvPlayModes modes = MvPlayModes::load();
    queue.setShuffle(modes.shuffle);
    queue.setRepeat(modes.repeat);
}

void MvPlaybackSession::placesNotKept(const QString &reason)
{
    if (std::exchange(placesFailureSaid, true))
        return;
    std::fprintf(stderr, "movara: Cannot keep places: %s\n", reason.toLocal8Bit().constData());
    emit notice(Notice::PlacesNotKept, reason, 0);
}

bool MvPlaybackSession::canHandOver(const QString &path)
{
    const QString refused = MvPlaylist::refusal(path);
    if (!refused.isEmpty())
        traceLine("mediumCannotPlay : %s : %s\n", rawFileName(path).constData(),
                  refused.toLatin1().constData());
    return refused.isEmpty();
}

MvPlaybackSession::~MvPlaybackSession()
{
    shutDown();
}

void MvPlaybackSession::shutDown()
{
    if (resume) {
        resume->stopped();
        delete resume;
        resume = nullptr;
    }
    delete playerControl;
    playerControl = nullptr;
    // Its copies of covers go with it, however the program ends.
    delete tags;
    tags = nullptr;
    delete speeds;
    speeds = nullptr;
}

void MvPlaybackSession::playFolder(const QStringList &media, int index)
{
    const QString path = index >= 0 && index < media.size() ? media.at(index) : QString();
    queue.setFolder(media, index);
    // A pick that vanished goes to the engine, which says it cannot play it.
    struct stat info;
    if (::stat(rawFileName(path).constData(), &info) == 0 && !MvPlaylist::canHandOver(path))
        playQueued(index, true);
    else
        play(path);
}

void MvPlaybackSession::playFromStart(const QStringList &media)
{
    if (media.isEmpty()) {
        emit notice(Notice::NothingTicked, QString(), 0);
        return;
    }
    queue.setFolder(media, 0);
    playQueued(queue.current(), true);
}

void MvPlaybackSession::play(const QString &path)
{
    currentFailed = false;
    upcoming.reset();
    traceLine("fileChanged : %s\n", rawFileName(path).constData());
    // A pick from the browser moves forward.
    if (!active)
        movingBack = false;
    if (resume)
        resume->started(path);
    playingAlone = false;
    playingPath = path;
    const int place = queue.current();
    playbackStatus->setPlace(place < 0 ? 0 : place + 1, queue.size());
    playbackStatus->setTitle(givenTitle(path));
    playbackStatus->setPosition(-1);
    playbackStatus->setLength(-1);
    playbackStatus->setChapters({});
    chapterJumpTo = -1;
    if (speeds)
        sessionSettings.speed = speeds->speedOf(folderOf(path));
    playbackStatus->setSpeed(sessionSettings.speed);
    playbackStatus->setMedium(path);
    // Up before the layout changes: the last medium's picture never shows again.
    emit mediumChanged(path);
    setActive(true);

    if (quitRequested) {
        // The engine is on its way out; play this file once it has gone.
        pendingFile = path;
        if (tags)
            tags->request(path);
        return;
    }

    ensureEngine();
    playerControl->playFile(path);
    // An engine that went on to this medium by itself was told no settings.
    if (playerControl->ownCurrentMedium() == path &&
        playerControl->speed() != sessionSettings.speed)
        applySpeed();
    // After the engine has its command: tags never hold up a start.
    if (tags)
        tags->request(path);

    // No engine could be started: back to the browser, the next pick tries again.
    if (!playerControl->ownEngineRunning())
        setActive(false);
    emit stateChanged();
}

void MvPlaybackSession::ensureEngine()
{
    if (playerControl)
        return;
    const int id = windowId ? windowId() : 0;
    traceLine("parent : WID %d\n", id);
    playerControl = new MvPlayerControl(this, sentVolume(), id);
    // Goes with the control, once its engine is gone.
    new MvPhoneDevices(playerControl, playerControl);
    playerControl->setUnseen(LcdSleepTimer::instance()->isDark());
    connect(playerControl, &MvPlayerControl::settingsWanted, this,
            &MvPlaybackSession::applySettings, Qt::DirectConnection);
    connect(playerControl, &MvPlayerControl::processExited, this, &MvPlaybackSession::engineExited);
    connect(playerControl, &MvPlayerControl::endedCurrentMedia, this,
            &MvPlaybackSession::currentMediaEnd);
    connect(playerControl, &MvPlayerControl::videoOutputStarted, this,
            &MvPlaybackSession::pictureStarted);
    connect(playerControl, &MvPlayerControl::lengthChanged, this, [this](float length) {
        // A new medium's length is unknown until the engine gives it; a
        // reply while the next pick waits its turn is the one before's.
        if (length >= 0 && playerControl->ownCurrentMedium() == playingPath)
            gotLength(length);
    });
    // A video's status has a time but no elapsed text.
    connect(playerControl, &MvPlayerControl::elapsedSecondsChanged, this, [this](int seconds) {
        if (resume && playerControl->ownCurrentMedium() == resume->current())
            resume->elapsed(seconds);
        readPosition();
    });
    connect(playerControl, &MvPlayerControl::signalTimeElapse, this,
            &MvPlaybackSession::readPosition);
    connect(playerControl, &MvPlayerControl::pauseChanged, playbackStatus,
            [this](bool paused) { playbackStatus->setPaused(paused); });
    connect(playerControl, &MvPlayerControl::mediumCannotPlay, this, [this](const QString &path) {
        currentFailed = true;
        emit cannotPlay(path);
    });
    connect(playerControl, &MvPlayerControl::playbackStateChanged, this,
            [this](MvPlayerControl::PlaybackState state) {
                if (state == MvPlayerControl::PlaybackState::Playing && !upcoming)
                    queueUpcoming();
                emit stateChanged();
            });
    connect(playerControl, &MvPlayerControl::chaptersRead, this,
            [this](const QVector<MvChapter> &chapters) {
                if (playerControl->ownCurrentMedium() == playingPath)
                    playbackStatus->setChapters(chapters);
            });
    emit engineCreated();
}

void MvPlaybackSession::setActive(bool on)
{
    if (on == active)
        return;
    active = on;
    emit activeChanged(on);
    emit stateChanged();
}

void MvPlaybackSession::engineExited()
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
    setActive(false);
}

void MvPlaybackSession::currentMediaEnd()
{
    // A medium that ends after the user asked to quit does not move on.
    if (quitRequested || !playerControl)
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
        stop();
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

void MvPlaybackSession::queueUpcoming()
{
    if (!playerControl || !active || quitRequested)
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

void MvPlaybackSession::act(MvAction action)
{
    if (!active || !playerControl)
        return;
    // Whoever presses a key in the sleep timer's last minute is awake.
    if (sleep && sleep->extend())
        emit notice(Notice::SleepExtended, QString(), sleep->secondsLeft());
    // Just after a resume, back means the medium's start.
    if ((action == MvAction::SeekBack || action == MvAction::Previous) && resume &&
        resume->takeStartOver()) {
        playerControl->seek(0, EngineSeekMode::Absolute);
        emit seekedTo(0);
        return;
    }
    if (resume && (action == MvAction::SeekBack || action == MvAction::SeekForward))
        resume->userSeeked();
    switch (action) {
    case MvAction::Stop:
        stop();
        break;
    case MvAction::PlayPause:
        playerControl->togglePause();
        break;
    case MvAction::VolumeUp:
    case MvAction::VolumeDown:
        setVolume(sessionSettings.volume +
                  (action == MvAction::VolumeUp ? volumeStep : -volumeStep));
        break;
    case MvAction::SeekBack:
    case MvAction::SeekForward: {
        const int by = action == MvAction::SeekForward ? seekStep : -seekStep;
        playerControl->seek(by, EngineSeekMode::Relative);
        emit seekedBy(by);
        break;
    }
    case MvAction::FullScreen:
        playerControl->toggleFullScreen();
        break;
    case MvAction::Bookmark:
        addBookmark();
        break;
    case MvAction::Previous:
        movingBack = true;
        playQueued(queue.previous(), false);
        break;
    case MvAction::Next:
        movingBack = false;
        playQueued(queue.next(), false);
        break;
    case MvAction::ChapterBack:
    case MvAction::ChapterNext:
        stepChapter(action == MvAction::ChapterNext);
        break;
    case MvAction::Speed:
        stepSpeed();
        break;
    default:
        break;
    }
    emit stateChanged();
}

void MvPlaybackSession::playQueued(int index, bool stopAtEnd)
{
    // Entries that cannot be handed to the engine are passed over here, once
    // each at most, with one notice for the lot.
    QString firstBad;
    int bad = 0;
    bool allMissing = true;
    for (int tries = 0; index >= 0 && tries < queue.size(); ++tries) {
        const QString path = queue.path(index);
        if (canHandOver(path)) {
            if (!queue.isPlaylist())
                emit folderEntryPlays(path);
            play(path);
            break;
        }
        struct stat info;
        const bool missing = ::stat(rawFileName(path).constData(), &info) != 0;
        // A vanished file of a folder is left out silently, as the browser does.
        if ((queue.isPlaylist() || !missing) && bad++ == 0)
            firstBad = path;
        allMissing = allMissing && missing;
        queue.noteResult(false);
        if (queue.exhausted()) {
            index = -1;
            break;
        }
        index = movingBack ? queue.previous() : stopAtEnd ? queue.next(false) : queue.next();
    }
    // An entry that names no file here is not found rather than unplayable.
    if (bad > 0)
        emit notice(allMissing ? Notice::NotFound : Notice::CannotPlay,
                    displayFileName(QFileInfo(firstBad).fileName()), bad - 1);
    if (index < 0 && stopAtEnd)
        stop();
}

void MvPlaybackSession::stop()
{
    if (resume && active)
        resume->stopped();
    if (playerControl && playerControl->ownEngineRunning()) {
        playerControl->quitPlayer();
        quitRequested = playerControl->ownEngineRunning();
    }
    if (!quitRequested)
        setActive(false);
    emit stateChanged();
}

void MvPlaybackSession::playPlaylist(const QString &path)
{
    auto list = std::make_shared<MvPlaylist>();
    const bool read = list->load(path);
    if (!read || list->count() == 0 || list->skipped() > 0) {
        emit notice(Notice::CannotPlay,
                    read && list->skipped() > 0 ? list->firstSkipped() : QFileInfo(path).fileName(),
                    list->skipped() - 1);
    } else if (list->cut() > 0) {
        // Entries past the limit are playable: left out, not unplayable.
        emit notice(Notice::OnlyFirst, QString::number(list->count()), 0);
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
    playQueued(first, true);
}

void MvPlaybackSession::setModes(bool shuffle, MvPlayQueue::Repeat repeat)
{
    queue.setShuffle(shuffle);
    queue.setRepeat(repeat);
    emit modesChanged();
    if (playerControl && playerControl->playbackState() != MvPlayerControl::PlaybackState::Starting)
        queueUpcoming();
    MvPlayModes modes;
    modes.shuffle = shuffle;
    modes.repeat = repeat;
    // Unwritable user area: the modes last for this run only.
    QString reason;
    if (!modes.save(MvPlayModes::defaultPath(), &reason))
        placesNotKept(reason);
}

void MvPlaybackSession::gotLength(float length)
{
    playbackStatus->setLength(length);
    const int at = resume ? resume->lengthKnown(length, playbackStatus->chapters()) : -1;
    if (at < 0 || !playerControl)
        return;
    playerControl->seek(at, EngineSeekMode::Absolute);
    emit seekedTo(at);
    emit notice(Notice::ResumingAt, QString(), at);
}

void MvPlaybackSession::seekTo(int seconds)
{
    if (!active || !playerControl)
        return;
    resume->userSeeked();
    playerControl->seek(seconds, EngineSeekMode::Absolute);
    emit seekedTo(seconds);
}

void MvPlaybackSession::setVolume(int percent)
{
    sessionSettings.volume = qBound(0, percent, 100);
    if (playerControl)
        playerControl->setVolume(sentVolume());
    playbackStatus->setVolume(sessionSettings.volume);
    emit volumeChanged(sessionSettings.volume);
    emit stateChanged();
}

void MvPlaybackSession::applySettings()
{
    if (!playerControl)
        return;
    playerControl->setVolume(sentVolume());
    applySpeed();
}

void MvPlaybackSession::readPosition()
{
    // Readings while a new pick waits its turn are the medium's before.
    if (playerControl && playerControl->ownCurrentMedium() == playingPath)
        playbackStatus->setPosition(playerControl->ownElapsedSeconds());
}

void MvPlaybackSession::setResumeEnabled(bool on)
{
    if (resume)
        resume->setEnabled(on);
}

bool MvPlaybackSession::isResumeEnabled() const
{
    return resume && resume->isEnabled();
}

bool MvPlaybackSession::continueLast()
{
    if (!isResumeEnabled())
        return false;
    resume->folderPlaces().refresh();
    const MvFolderPlaces::Place place = resume->folderPlaces().newest();
    if (place.isValid()) {
        playInFolder(place.medium);
        return true;
    }
    // Places kept before folders had theirs.
    const QString path = resume->lastMedium();
    if (path.isEmpty())
        return false;
    playAlone(path);
    return true;
}

void MvPlaybackSession::playAlone(const QString &path)
{
    play(path);
    playingAlone = active;
}

void MvPlaybackSession::openGiven(const QString &path)
{
    if (MvPlaylist::isPlaylistPath(path)) {
        playPlaylist(path);
        return;
    }
    if (!canHandOver(path)) {
        emit notice(Notice::CannotPlay, displayFileName(QFileInfo(path).fileName()), 0);
        return;
    }
    playAlone(path);
}

void MvPlaybackSession::setSleepTimer(int minutes)
{
    if (sleep)
        sleep->setMinutes(minutes);
    // Stopping at the medium's end takes back what the engine was to play next.
    if (playerControl && playerControl->playbackState() != MvPlayerControl::PlaybackState::Starting)
        queueUpcoming();
}

QString MvPlaybackSession::givenTitle(const QString &path) const
{
    return !playingAlone && queue.isPlaylist() && queue.path(queue.current()) == path
               ? queue.title(queue.current())
               : QString();
}

bool MvPlaybackSession::isQuitting() const
{
    return quitRequested;
}

int MvPlaybackSession::sentVolume() const
{
    return qRound(sessionSettings.volume * (sleep ? sleep->fadeLevel() : 1.0));
}

void MvPlaybackSession::applyFade()
{
    if (!playerControl)
        return;
    const int volume = sentVolume();
    // An engine on its way out keeps its faded sound; the next one starts at this.
    if (!active || quitRequested || !playerControl->ownEngineRunning())
        playerControl->volume = volume;
    else if (volume != playerControl->volume)
        playerControl->setVolume(volume);
}

MvFolderPlaces::Place MvPlaybackSession::placeIn(const QString &folder) const
{
    if (!isResumeEnabled())
        return MvFolderPlaces::Place();
    resume->folderPlaces().refresh();
    return resume->folderPlaces().placeIn(folder);
}

void MvPlaybackSession::playInFolder(const QString &path)
{
    const QString folder = MvFolderPlaces::folderOf(path);
    const QString prefix = folder == QLatin1String("/") ? QString() : folder;
    QList<MediaEntry> entries;
    QStringList media;
    if (listMediaFolder(folder, &entries)) {
        for (const MediaEntry &entry : entries) {
            const QString full = prefix + QLatin1Char('/') + entry.name;
            if (!entry.dir && !MvPlaylist::isPlaylistPath(full))
                media.append(full);
        }
    }
    const int index = int(media.indexOf(path));
    if (index < 0)
        playAlone(path);
    else
        playFolder(media, index);
}

QList<MvBookmarks::Bookmark> MvPlaybackSession::bookmarks() const
{
    return marks->list();
}

void MvPlaybackSession::addBookmark()
{
    const double at = playbackStatus->position();
    if (playingPath.isEmpty() || at < 0)
        return;
    MvBookmarks::Bookmark mark;
    mark.medium = playingPath;
    mark.position = int(at);
    mark.chapter = playbackStatus->chapter();
    mark.madeAt = QDateTime::currentSecsSinceEpoch();
    const bool kept = marks->add(mark);
    emit notice(kept ? Notice::Bookmarked : Notice::BookmarksNotKept, QString(), mark.position);
}

void MvPlaybackSession::playBookmark(const MvBookmarks::Bookmark &mark)
{
    if (active && !quitRequested && mark.medium == playingPath) {
        seekTo(mark.position);
        return;
    }
    if (!MvPlaylist::canHandOver(mark.medium)) {
        emit notice(Notice::NotFound, displayFileName(QFileInfo(mark.medium).fileName()), 0);
        return;
    }
    playInFolder(mark.medium);
    if (resume && playingPath == mark.medium)
        resume->jumpTo(mark.position);
}

void MvPlaybackSession::removeBookmark(const MvBookmarks::Bookmark &mark)
{
    if (!marks->remove(mark))
        emit notice(Notice::BookmarksNotKept, QString(), 0);
}

void MvPlaybackSession::applySpeed()
{
    // A new engine plays at 1: it is told only another speed.
    if (playerControl &&
        (sessionSettings.speed != 1 || playerControl->speed() != sessionSettings.speed))
        playerControl->setSpeed(sessionSettings.speed);
}

QVector<double> MvPlaybackSession::speedSteps()
{
    return {1.0, 1.25, 1.5, 1.75, 2.0, 0.75};
}

void MvPlaybackSession::stepSpeed()
{
    // The next step up, from a speed set elsewhere too; after the fastest, the slowest.
    const QVector<double> steps = speedSteps();
    double next = 0;
    for (const double step : steps)
        if (step > sessionSettings.speed + 0.001 && (next == 0 || step < next))
            next = step;
    setSpeed(next > 0 ? next : *std::min_element(steps.cbegin(), steps.cend()));
}

void MvPlaybackSession::setSpeed(double factor)
{
    if (!active || !(factor > 0))
        return;
    sessionSettings.speed =
        qRound(qBound(MvSpeedStore::slowest, factor, MvSpeedStore::fastest) * 100) / 100.0;
    applySpeed();
    playbackStatus->setSpeed(sessionSettings.speed);
    QString reason;
    if (speeds && !speeds->setSpeed(folderOf(playingPath), sessionSettings.speed, &reason))
        placesNotKept(reason);
    emit stateChanged();
}

double MvPlaybackSession::chapterPlace() const
{
    const double reading = playbackStatus->position();
    return chapterJumpTo >= 0 && reading == readingAtChapterJump ? chapterJumpTo : reading;
}

void MvPlaybackSession::stepChapter(bool forward)
{
    // Chapters come in the order of their starts.
    const QVector<MvChapter> chapters = playbackStatus->chapters();
    const double at = chapterPlace();
    if (chapters.isEmpty() || at < 0)
        return;
    int current = -1;
    while (current + 1 < chapters.size() &&
           chapters.at(current + 1).start <= at + chapterLandingSlack)
        ++current;
    int target = current + 1;
    if (!forward && current >= 0)
        target = current > 0 && at - chapters.at(current).start < chapterBackSeconds ? current - 1
                                                                                     : current;
    else if (!forward)
        return;
    goToChapter(target);
}

void MvPlaybackSession::goToChapter(int index)
{
    const QVector<MvChapter> chapters = playbackStatus->chapters();
    if (!active || !playerControl || index < 0 || index >= chapters.size())
        return;
    const MvChapter &chapter = chapters.at(index);
    if (resume)
        resume->userSeeked();
    readingAtChapterJump = playbackStatus->position();
    chapterJumpTo = chapter.start;
    playerControl->seekToTime(chapter.start);
    emit seekedTo(int(chapter.start));
    emit notice(Notice::Chapter, chapter.title, index + 1);
}
