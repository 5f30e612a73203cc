#pragma once

#include "player/mvchapter.h"

#include <QVector>

// How far before its place a medium resumes, by how long it was left: a
// listener who stopped a moment ago has lost a word or two, one back the next
// day has lost the thread.
class MvStepBack
{
public:
    // After a stop under a minute old, after an hour, after a day or more.
    static constexpr int shortest = 2;
    static constexpr int afterAnHour = 10;
    static constexpr int longest = 30;

    // Seconds to go back after `secondsAway`, rising between those marks;
    // an unknown time away (negative) counts as a day.
    static int seconds(qint64 secondsAway);
    // Where a medium left at `place` resumes: that far back, never before 0
    // nor before the start of the chapter `place` lies in.
    static int target(int place, qint64 secondsAway, const QVector<MvChapter> &chapters = {});
};
