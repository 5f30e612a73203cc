#include "player/mvresumetracker.h"

#include "player/mvstepback.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QList>

#include <cstdlib>

namespace {
QList<MvResumeTracker *> &liveTrackers()
{
    static QList<MvResumeTracker *> live;
    return live;
}

void keepPlacesAtExit()
{
    for (MvResumeTracker *tracker : liveTrackers())
        tracker->stopped();
}
} // namespace

MvResumeTracker::MvResumeTracker(const QString &storePath)
    : store(storePath), places(QFileInfo(store.filePath()).dir().filePath(QStringLiteral("places")))
{
    QList<MvResumeTracker *> &live = liveTrackers();
    // Registered after the list is made, so run before it goes.
    static const bool keptAtExit = std::atexit(keepPlacesAtExit) == 0;
    Q_UNUSED(keptAtExit)
    live.append(this);
}

MvResumeTracker::~MvResumeTracker()
{
    liveTrackers().removeOne(this);
}

void MvResumeTracker::setEnabled(bool on)
{
    if (!on)
        medium.clear();
    store.setEnabled(on);
}

void MvResumeTracker::started(const QString &path)
{
    stopped();
    medium = path;
    at = -1;
    length = -1;
    floor = -1;
    jumpAt = -1;
    away = -1;
    folderPlace = false;
    // Another instance may have stopped it since.
    store.refresh();
    places.refresh();
    resumeAt = isEnabled() ? store.positionOf(path) : -1;
    const MvFolderPlaces::Place place =
        isEnabled() ? places.placeIn(MvFolderPlaces::folderOf(path)) : MvFolderPlaces::Place();
    if (resumeAt < 0 && place.medium == path) {
        resumeAt = place.position;
        folderPlace = true;
    }
    // Another medium of the folder stopped later: this one was left at least that long ago.
    if (place.isValid())
        away = qMax<qint64>(0, QDateTime::currentSecsSinceEpoch() - place.stoppedAt);
    seekPending = false;
    resumedSince.invalidate();
}

void MvResumeTracker::jumpTo(int seconds)
{
    if (medium.isEmpty() || seconds < 0)
        return;
    jumpAt = seconds;
    resumeAt = -1;
}

int MvResumeTracker::lengthKnown(float seconds, const QVector<MvChapter> &chapters)
{
    if (medium.isEmpty() || !(seconds >= 0 && seconds < 1e7f))
        return -1;
    length = int(seconds);
    const int place = resumeAt;
    resumeAt = -1;
    int target = -1;
    if (jumpAt >= 0 && jumpAt < length) {
        target = jumpAt;
    } else if (jumpAt < 0 && place > 0 &&
               (folderPlace ? place < length : MvResumeStore::worthKeeping(place, length))) {
        // A record past what the engine now says the medium holds is stale.
        floor = place;
        target = MvStepBack::target(place, away, chapters);
    }
    jumpAt = -1;
    if (target <= 0) {
        // The place may have come first: it counts from now on.
        if (at >= 0 && isEnabled()) {
            store.progress(medium, kept(), length);
            places.progress(medium, kept(), length);
        }
        return -1;
    }
    at = target;
    seekPending = true;
    resumedSince.start();
    return target;
}

void MvResumeTracker::elapsed(int seconds)
{
    // Status output comes many times a second; the place changes once.
    if (medium.isEmpty() || seconds < 0 || seconds == at)
        return;
    if (seekPending) {
        if (std::abs(seconds - at) > 5)
            return;
        seekPending = false;
    }
    at = seconds;
    if (at >= floor)
        floor = -1;
    if (isEnabled() && length > 0) {
        store.progress(medium, kept(), length);
        places.progress(medium, kept(), length);
    }
}

void MvResumeTracker::stopped()
{
    if (medium.isEmpty())
        return;
    // Nothing learnt of this play: what was kept stays.
    if (isEnabled() && at >= 0 && length > 0) {
        store.stopped(medium, kept(), length);
        places.stopped(medium, kept(), length);
    }
    medium.clear();
    resumedSince.invalidate();
}

void MvResumeTracker::ended()
{
    if (medium.isEmpty())
        return;
    // Ended on the resume seek (an engine that misjudges a VBR file's length
    // seeks past its guess): the place stays for another try. So it does
    // when the medium never played (it could not start).
    const bool onResume = resumedSince.isValid() && resumedSince.elapsed() < startOverMs;
    const bool played = at >= 0 || length >= 0;
    if (played && !onResume) {
        store.forget(medium);
        places.ended(medium);
    }
    medium.clear();
    resumedSince.invalidate();
}

bool MvResumeTracker::takeStartOver()
{
    const bool startOver = resumedSince.isValid() && resumedSince.elapsed() < startOverMs;
    resumedSince.invalidate();
    if (startOver) {
        seekPending = false;
        at = 0;
        floor = -1;
    }
    return startOver;
}
