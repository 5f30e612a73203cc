#include "player/mvsleeptimer.h"

#include "player/mvplaybackstatus.h"

namespace {
// Played past a chapter's end by no more than this, it ran out rather than
// being left by a seek.
constexpr double crossingSeconds = 2;
} // namespace

MvSleepTimer::MvSleepTimer(QObject *parent) : QObject(parent)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MOVARA_SLEEP_SECOND_MS", &ok);
    secondMs = ok && ms >= 1 && ms <= 1000 ? ms : 1000;
    timer.setSingleShot(true);
    // A coarse timer may go off 5 % early: 45 s of a quarter of an hour.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &MvSleepTimer::fire);
    tick.setSingleShot(true);
    connect(&tick, &QTimer::timeout, this, &MvSleepTimer::check);
}

void MvSleepTimer::follow(const MvPlaybackStatus *playback)
{
    status = playback;
    connect(status, &MvPlaybackStatus::positionChanged, this, [this] {
        if (stopsAtEnd())
            check();
    });
}

void MvSleepTimer::setMinutes(int minutes)
{
    timer.stop();
    since.invalidate();
    // Nothing beyond a day: the timer's milliseconds must fit.
    setting = minutes == EndOfFile || minutes == EndOfChapter || (minutes > 0 && minutes <= 24 * 60)
                  ? minutes
                  : 0;
    watchedEnd = -1;
    if (setting > 0) {
        durationMs = qint64(setting) * 60 * secondMs;
        timer.start(int(durationMs));
        since.start();
    }
    check();
    emit changed();
}

int MvSleepTimer::secondsLeft() const
{
    if (setting <= 0 || !since.isValid())
        return -1;
    const qint64 leftMs = durationMs - since.elapsed();
    return leftMs <= 0 ? 0 : int((leftMs + secondMs - 1) / secondMs);
}

bool MvSleepTimer::mediumEnded()
{
    if (!stopsAtEnd())
        return false;
    fire();
    return true;
}

bool MvSleepTimer::extend()
{
    if (setting <= 0 || !since.isValid() ||
        durationMs - since.elapsed() > qint64(extendSeconds) * secondMs)
        return false;
    durationMs += qint64(setting) * 60 * secondMs;
    timer.start(int(durationMs - since.elapsed()));
    check();
    emit changed();
    return true;
}

void MvSleepTimer::fire()
{
    setting = 0;
    timer.stop();
    tick.stop();
    since.invalidate();
    // Silent as it stops, whenever the last tick came; the sound comes back
    // for the next play.
    setLevel(0);
    emit fired();
    setLevel(1);
    emit changed();
}

double MvSleepTimer::chapterEnd(double position, double length, const QVector<MvChapter> &chapters)
{
    for (int i = int(chapters.size()) - 1; i >= 0; --i) {
        const MvChapter &chapter = chapters.at(i);
        if (position < chapter.start)
            continue;
        if (chapter.end > chapter.start)
            return position < chapter.end ? chapter.end : -1;
        return i + 1 < chapters.size() ? chapters.at(i + 1).start : length;
    }
    return -1;
}

double MvSleepTimer::secondsToEnd(int setting, double position, double length,
                                  const QVector<MvChapter> &chapters, double speed)
{
    if (position < 0 || setting >= 0)
        return -1;
    const double end = setting == EndOfChapter ? chapterEnd(position, length, chapters) : length;
    if (end < 0)
        return -1;
    return qMax(0.0, end - position) / (speed > 0 ? speed : 1);
}

double MvSleepTimer::leftNow() const
{
    if (setting > 0)
        return since.isValid() ? qMax(0.0, double(durationMs - since.elapsed()) / secondMs) : -1;
    if (setting < 0 && status)
        return secondsToEnd(setting, status->position(), status->length(), status->chapters(),
                            status->speed());
    return -1;
}

bool MvSleepTimer::chapterPlayedPast()
{
    const double at = status ? status->position() : -1;
    const bool past = watchedEnd >= 0 && at >= watchedEnd && at - watchedEnd < crossingSeconds;
    if (!past && status)
        watchedEnd = chapterEnd(at, status->length(), status->chapters());
    return past;
}

void MvSleepTimer::check()
{
    if (setting == EndOfChapter && chapterPlayedPast()) {
        fire();
        return;
    }
    const double left = leftNow();
    setLevel(left < 0 ? 1 : qBound(0.0, left / fadeSeconds, 1.0));
    tick.stop();
    if (left < 0)
        return;
    // A set time wakes itself for the fade; the ends of files and chapters
    // are looked at as the place changes, and more often near them.
    const int tickMs = qMax(1, secondMs / 4);
    if (left <= fadeSeconds + 1)
        tick.start(tickMs);
    else if (setting > 0)
        tick.start(qMax(tickMs, int((left - fadeSeconds) * secondMs)));
}

void MvSleepTimer::setLevel(double next)
{
    if (next == level)
        return;
    level = next;
    emit fadeLevelChanged(level);
}
