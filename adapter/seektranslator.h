#pragma once

#include "mpegaudiocounter.h"

#include <chrono>
#include <string>
#include <string_view>

// Time seeks in an MPEG audio file. Run with -hr-mp3-seek, the engine counts
// its way to a time frame by frame, so that it lands where it says in a VBR
// file too (it otherwise takes the first frame's bitrate for every frame's).
// That count runs on forever past the last frame when the file ends in
// anything but a frame (an ID3v1 tag, a cut-off frame), so each time seek
// goes to the engine as an absolute one, from the latest time the engine
// showed, kept short of the last frame: a seek past the end plays the last
// moment and ends the medium. Other media's seeks pass unchanged.
class SeekTranslator
{
public:
    // Complete command lines for the medium at mediumPath, whose latest
    // status showed elapsed seconds (negative before the first). A relative
    // seek that comes before the engine has shown where the last one landed
    // goes on from that one's target, as the keys were pressed.
    std::string rewrite(std::string_view lines, const std::string &mediumPath, double elapsed);

    // One seek line: the target in seconds (relative ones from elapsed), or
    // false for a line that is no time seek.
    static bool seekTarget(std::string_view line, double elapsed, double &target);

    // How far short of the last frame's end a seek stops.
    static constexpr double endMargin = 0.5;

    // Counts off the relay's path (without one, a seek waits for its count
    // in rewrite()). A seek whose target lies beyond what is counted so far
    // waits, with the seeks after it, until the count is done; other commands
    // go on meanwhile. A new medium or a quit drops the seeks held.
    void setCounter(MpegAudioCounter *lengthCounter) { counter = lengthCounter; }
    // The commands held for a count that is now done; call when the counter wakes.
    std::string takeCount(const std::string &mediumPath, double elapsed);
    bool waiting() const { return !held.empty(); }

protected:
    // The length, or NaN while it is being counted.
    double playableLength(const std::string &mediumPath);

    std::string countedPath;
    double countedLength = -1;
    double lastTarget = -1; // of the last seek the engine has not yet shown, or negative
    std::chrono::steady_clock::time_point lastSent;
    MpegAudioCounter *counter = nullptr;
    bool counting = false;
    std::string held; // seeks waiting for the count
};
