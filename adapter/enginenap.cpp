#include "enginenap.h"

#include "enginecommands.h"

void EngineNap::setStatusRate(int rate)
{
    unseen = rate <= EngineStatusRate::unseen;
}

std::optional<EngineNap::Clock::time_point> EngineNap::stopFrom() const
{
    if (!paused || !unseen)
        return std::nullopt;
    return lastStir + quiet;
}
