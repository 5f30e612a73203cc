#pragma once

#include "mpegaudiocounter.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

// Turns the engine's raw standard output into the lines the front-end reads:
// each piece ends in "\n" or "\r" as the engine ended it, terminal escapes are
// removed, and the header of a file without video is told as
// "Audio file file format detected.".
//
// Pieces ended by a carriage return are the engine's status, each one
// overwriting the last on a terminal: of those that follow one another in a
// chunk, only the last is passed on. Every line, and the status piece before
// it, is passed on.
//
// The engine's own MPEG audio reader lists no chapters ("ID_CHAPTERS=0"):
// those of the medium's ID3v2 tag are told in its place.
//
// A demuxer line such as "libavformat file format detected." does not say
// whether the file has video; it is held back, with the lines after it, until
// the engine shows which it is.
class OutputFilter
{
public:
    // Takes a chunk as read from the engine; returns what is ready to pass on.
    std::string feed(std::string_view chunk);

    // The same, appending to out. Returns false when the chunk held nothing
    // but status pieces, so that nothing but status is on its way.
    bool feed(std::string_view chunk, std::string &out);

    // What the latest status left of the medium, in seconds; NaN when it
    // told no length, or a status without times came since.
    double secondsLeft() const { return left; }

    // Whether status pieces are passed on (they are until told otherwise).
    void setStatusShown(bool shown) { statusShown = shown; }
    // Status pieces taken so far, shown or not, whose time moved on from the
    // piece before: the engine plays (a pausing one may repeat its last).
    unsigned long advances() const { return advanced; }
    // Whether the engine has opened a medium that has not ended since.
    bool mediumOpen() const { return open; }

    // The time of the latest status of the current medium, negative before its first.
    double elapsed() const { return elapsedSeconds; }

    // The medium given last.
    const std::string &currentMedium() const { return medium; }

    // True while a header line waits for the engine to show whether there is video.
    bool holding() const { return !held.empty(); }

    // Passes on what is held back, unchanged.
    std::string release();

    // At the end of the engine's output: everything that is left, unchanged.
    std::string finish();

    // The medium the engine has been given last. The engine guesses the
    // length of an MPEG audio file that it reads itself from its first frames
    // and keeps the guess: its "ANS_LENGTH=" replies for one get the length
    // counted from the file's frames instead.
    void setMedium(std::string path);

    // Counts lengths off the relay's path: a length reply then waits for its
    // count, while the rest goes on (without one, the count is made at once).
    void setCounter(MpegAudioCounter *lengthCounter) { counter = lengthCounter; }
    // Passes on a length reply whose count is done; call when the counter wakes.
    void takeCount(std::string &out);
    bool lengthHeld() const { return !heldLength.empty(); }

    static const char *const audioHeader;

    // The most kept of a piece the engine has not ended yet, as the front-end
    // keeps at most this much unread: the newest bytes stay.
    static constexpr size_t maxPending = 64 * 1024;

protected:
    bool takePiece(std::string_view piece, std::string &out);
    void takeLine(std::string_view line, std::string &out);
    void passOn(std::string_view piece, std::string &out);
    void passOnStatus(std::string &out);
    void releaseLength(std::string &out);
    std::string joinHeld();
    void keepNewestPending();

    std::string pending;
    std::vector<std::string> held;
    std::string status; // the chunk's latest status piece, not yet passed on
    std::string scratch;
    std::string medium;
    double mediumLength = 0; // seconds, negative when not MPEG audio
    bool lengthCounted = false;
    bool ownAudioDemuxer = false; // the engine's "Audio only" header came for the medium
    double left = NAN;
    bool statusShown = true;
    unsigned long advanced = 0;
    bool open = false;
    double elapsedSeconds = -1;
    MpegAudioCounter *counter = nullptr;
    std::string heldLength; // a length reply waiting for its count, and its medium
    std::string heldFor;
};

// Removes ANSI terminal control sequences (ESC [ ... final byte, ESC x) from text.
std::string stripTerminalEscapes(std::string_view text);

// The same, appending the result to out.
void stripTerminalEscapes(std::string_view text, std::string &out);
