#pragma once

#include <string>
#include <string_view>

// Turns the front-end's command lines into the engine's. A command sent while
// the engine is paused resumes playback unless it is prefixed
// "pausing_keep_force"; that prefix leaves a playing engine playing, too, so
// every command that is not meant to change the pause state gets it. The
// prefix needs no knowledge of the engine's state, which the front-end's pause
// toggles cannot tell reliably (the engine ignores "pause" while idle).
// A medium queued after the current one ("loadlist FILE 1") is dropped: the
// engine cannot go from one to the next without reopening its output, and
// has no way to take back what it was given, so the front-end hands it each
// medium at its turn. "status_rate N" is the relay's and goes no further.
class CommandFilter
{
public:
    CommandFilter();

    // Takes a chunk as read from the front-end; returns the complete lines, rewritten.
    std::string feed(std::string_view chunk);

    // At the end of the front-end's input: the last line even without its newline.
    std::string finish();

    // The playlist file named by the latest "loadlist" since the last call, if any.
    bool takeLoadList(std::string &path);

    // The status lines a second the front-end asked for last.
    int statusRate() const { return rate; }

    // Whether the commands passed on have left the engine paused: a pause
    // toggles it while a medium is open (the engine ignores one while idle),
    // a seek or a load ends it. The engine's output has the last word.
    bool paused() const { return pauseOn; }
    // The engine has opened a medium, or it has ended: no pause is left then.
    void setMediumOpen(bool open);
    // The engine prints its status: it plays.
    void setPlaying() { pauseOn = false; }

    // One command line, with or without its line end.
    static std::string rewrite(std::string_view line);

    // "volume V 1" with V, the front-end's volume, in MPlayer's scale; other lines as they are.
    static std::string mplayerVolumeCommand(std::string_view line);

protected:
    void noteLoadList(std::string_view line);
    // Notes what the line does to the pause and the status rate; false for a
    // line that goes no further.
    bool notePauseAndRate(std::string_view line);
    static bool isQueued(std::string_view line);

    std::string pending;
    std::string loadList;
    bool loadListSeen = false;
    int rate;
    bool mediumOpen = false;
    bool pauseOn = false;
};
