#include "player/mvstepback.h"

#include <QtGlobal>

#include <cmath>

namespace {
constexpr double minute = 60;
constexpr double hour = 3600;
constexpr double day = 86400;

// From `low` at `from` seconds away to `high` at `to`, evenly on a scale of
// time that counts each doubling alike.
double rise(double away, double from, double to, double low, double high)
{
    return low + (high - low) * std::log(away / from) / std::log(to / from);
}
} // namespace

int MvStepBack::seconds(qint64 secondsAway)
{
    if (secondsAway < 0 || secondsAway >= day)
        return longest;
    if (secondsAway < minute)
        return shortest;
    const double away = double(secondsAway);
    return int(std::lround(away < hour ? rise(away, minute, hour, shortest, afterAnHour)
                                       : rise(away, hour, day, afterAnHour, longest)));
}

int MvStepBack::target(int place, qint64 secondsAway, const QVector<MvChapter> &chapters)
{
    int floor = 0;
    for (const MvChapter &chapter : chapters)
        if (chapter.start <= place && chapter.start > floor)
            floor = int(std::ceil(chapter.start));
    return qMax(floor, place - seconds(secondsAway));
}
