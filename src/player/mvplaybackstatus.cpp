#include "player/mvplaybackstatus.h"

#include <QMetaObject>

#include <cmath>

MvPlaybackStatus::MvPlaybackStatus(QObject *parent) : QObject(parent) {}

void MvPlaybackStatus::noteChange()
{
    if (changePending)
        return;
    changePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            changePending = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

void MvPlaybackStatus::setMedium(const QString &medium)
{
    path = medium;
    emit mediumChanged(path);
    noteChange();
}

void MvPlaybackStatus::setTitle(const QString &title)
{
    if (title == shownTitle)
        return;
    shownTitle = title;
    emit titleChanged(title);
    noteChange();
}

void MvPlaybackStatus::setPosition(double seconds)
{
    if (seconds < 0)
        seconds = -1;
    const bool tell = (seconds < 0) != (at < 0) || std::floor(seconds) != std::floor(at);
    at = seconds;
    updateChapter();
    if (tell)
        emit positionChanged(at);
}

void MvPlaybackStatus::setLength(double seconds)
{
    if (seconds < 0)
        seconds = -1;
    if (seconds == total)
        return;
    total = seconds;
    emit lengthChanged(total);
    noteChange();
}

void MvPlaybackStatus::setPaused(bool on)
{
    if (on == paused)
        return;
    paused = on;
    emit pausedChanged(on);
    noteChange();
}

void MvPlaybackStatus::setVolume(int percent)
{
    if (percent == level)
        return;
    level = percent;
    emit volumeChanged(percent);
    noteChange();
}

void MvPlaybackStatus::setSpeed(double speed)
{
    if (speed == rate)
        return;
    rate = speed;
    emit speedChanged(speed);
    noteChange();
}

void MvPlaybackStatus::setChapters(const QVector<MvChapter> &chapters)
{
    if (chapters == marks)
        return;
    marks = chapters;
    // The current one first: whoever hears either reads a chapter of this list.
    updateChapter();
    emit chaptersChanged();
    noteChange();
}

void MvPlaybackStatus::setPlace(int place, int count)
{
    if (place == listPlace && count == listCount)
        return;
    listPlace = place;
    listCount = count;
    emit placeChanged(place, count);
    noteChange();
}

void MvPlaybackStatus::updateChapter()
{
    int index = -1;
    if (at >= 0) {
        for (int i = 0; i < marks.size(); ++i) {
            const MvChapter &mark = marks.at(i);
            if (at >= mark.start && (mark.end <= mark.start || at < mark.end))
                index = i;
        }
    }
    if (index == currentChapter)
        return;
    currentChapter = index;
    emit chapterChanged(index);
    noteChange();
}
