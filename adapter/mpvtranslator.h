#pragma once

#include "jsonvalue.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum class EnginePauseChange;

// Speaks mpv's JSON IPC for the front-end, which speaks MPlayer's slave mode:
// its command lines become IPC commands, each with a request id, and mpv's
// events and replies become the lines MPlayer would print ("Playing ...",
// the header with its chapters, "AO: ", "VO: ", "ANS_LENGTH=", status pieces,
// "EOF code: 1").
// A medium mpv cannot open is told on standard error, in MPlayer's words
// and mpv's reason. A medium queued with "loadlist FILE 1" replaces whatever
// was queued before it, and mpv goes on to it without a gap. After the last
// medium mpv plays silence of its own, unseen by the front-end, and that
// medium's end is told once the sound server has played out what it held of
// it, as MPlayer tells it: a quit then drops none of it. No I/O but the
// reading of a playlist file.
class MpvTranslator
{
public:
    MpvTranslator(std::string audioDriver, std::string videoDriver);

    // What mpv is told first: the properties followed, and the command line's media.
    std::string start(const std::vector<std::string> &media);

    // Takes a chunk of the front-end's commands; returns the IPC lines for the complete ones.
    std::string commands(std::string_view chunk);
    // At the end of the front-end's input: the last line even without its newline.
    std::string finishCommands();
    // One command line, with or without its line end.
    std::string command(std::string_view line);

    // Takes a chunk of mpv's IPC output: appends what the front-end reads to
    // out and what goes to standard error to err; returns IPC lines to send.
    std::string events(std::string_view chunk, std::string &out, std::string &err);

    // While a medium plays: the request for the position, whose reply makes
    // the next status piece. Empty when one is still unanswered.
    std::string statusRequest();
    // The end of the last medium is awaited by its position, whatever the rate.
    bool statusDue() const
    {
        return ((headerSent && rate > 0) || (playingOut && endPending)) && !paused;
    }
    // The status pieces a second the front-end asked for ("status_rate N").
    int statusRate() const { return rate; }
    // A medium is paused and mpv owes no answer: it may be stopped.
    bool restingPaused() const { return active && paused && awaited.empty(); }

    // An IPC line too long to be anything mpv says is dropped.
    static constexpr size_t maxLine = 4 * 1024 * 1024;

protected:
    enum class Reply { Length, Position, Status, Tracks, Load, Queue, Duration, Chapters, PlayOut };

    std::string request(const std::string &arguments, Reply reply = Reply::Position,
                        bool tracked = false);
    std::string load(const std::string &path, bool append, bool queued = false);
    std::string playOut();
    std::string pauseRequest(EnginePauseChange change);
    void event(const JsonValue &message, std::string &out, std::string &err, std::string &send);
    void reply(Reply kind, const std::string &path, const JsonValue &message, std::string &out);
    void header(const JsonValue &tracks, std::string &out);
    void chapters(const JsonValue &list, std::string &out) const;
    void releaseHeader(std::string &out);
    std::string statusPiece(double position) const;

    std::string audioDriver, videoDriver;
    std::string pendingCommands, pendingEvents;
    bool droppingEvent = false;
    long long nextId = 1;
    std::map<long long, std::pair<Reply, std::string>> awaited;
    std::map<long long, std::string> entries; // playlist entry id -> path
    std::string lastLoaded, current;
    bool active = false; // a medium is loading or playing
    bool headerSent = false;
    std::string heldHeader; // a video's, until mpv's first picture is on its way
    bool restarted = false; // playback of the current medium has begun
    bool paused = false;
    bool hasAudio = false, hasVideo = false;
    double fps = 0, length = 0;
    double countedLength = 0; // from an MPEG audio file's frames; negative for other media
    double lastStatus = -1;
    int stillStatus = 0; // status replies in a row with the same position
    int rate;
    bool statusAsked = false;
    // A medium was queued after the current one ("loadlist FILE 1"); the
    // current one's end is then told together with the next one's start,
    // so that the front-end reads both at once.
    bool nextQueued = false;
    std::set<long long> queuedEntries;
    bool endPending = false;
    // The silence after the last medium: its playlist entries, and whether
    // it plays now.
    std::set<long long> playOutEntries;
    bool playingOut = false;
    // A medium has played to its end, to be told after the silence.
    bool ended = false;
};
