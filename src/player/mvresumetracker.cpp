#include "player/mvresumetracker.h"

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

MvResumeTracker::MvResumeTracker(const QString &storePath) : store(storePath)
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
    // Another instance may have stopped it since.
    store.refresh();
    resumeAt = isEnabled() ? store.positionOf(path) : -1;
    seekPending = false;
    resumedSince.invalidate();
}

int MvResumeTracker::lengthKnown(float seconds)
{
    if (medium.isEmpty() || !(seconds >= 0 && seconds < 1e7f))
        return -1;
    length = int(seconds);
    const int target = resumeAt;
    resumeAt = -1;
    // A record past what the engine now says the medium holds is stale.
    if (target < 0 || !MvResumeStore::worthKeeping(target, length)) {
        // The place may have come first: it counts from now on.
        if (at >= 0 && isEnabled())
            store.progress(medium, at, length);
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
    if (isEnabled() && length > 0)
        store.progress(medium, at, length);
}

void MvResumeTracker::stopped()
{
    if (medium.isEmpty())
        return;
    // Nothing learnt of this play: what was kept stays.
    if (isEnabled() && at >= 0 && length > 0)
        store.stopped(medium, at, length);
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
    if (played && !onResume)
        store.forget(medium);
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
    }
    return startOver;
}
