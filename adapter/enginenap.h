#pragma once

#include <chrono>
#include <optional>

// When the engine may be stopped: it is paused, nothing on the front-end's
// screen reads its time (a status rate of EngineStatusRate::unseen or less),
// and it has been quiet for a moment, with nothing asked of it. A paused
// engine waits for nothing, yet MPlayer polls its input 50 times a second;
// stopped, it costs nothing until the relay continues it for a command.
class EngineNap
{
public:
    using Clock = std::chrono::steady_clock;

    // Output or a command this recently keeps the engine going: an answer or a
    // last word may be on its way.
    static constexpr std::chrono::milliseconds quiet{300};

    void setPaused(bool on) { paused = on; }
    void setStatusRate(int rate);
    // The engine said something, or was given a command.
    void stir(Clock::time_point now) { lastStir = now; }

    // From when the engine may be stopped; none while it may not.
    std::optional<Clock::time_point> stopFrom() const;

private:
    bool paused = false;
    bool unseen = false;
    Clock::time_point lastStir;
};
