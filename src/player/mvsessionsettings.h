#pragma once

// What holds across media and engines: the session sends all of it to each
// new engine and with each new medium.
struct MvSessionSettings
{
    // Percent, 0 to 100.
    int volume = 50;
    // Playback rate, 1 for the medium's own.
    double speed = 1.0;
};
