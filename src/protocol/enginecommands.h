#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The engine's slave-mode protocol, shared by the program and its engine
// adapter: the commands as the program writes them, the words of the engine's
// output the program reads, and the hand-off file that names the medium to
// play. Plain C++ for the adapter's sake.

// What a command does to the engine's pause state.
enum class EnginePauseEffect {
    Keeps,   // a paused engine stays paused
    Toggles, // "pause"
    Ends,    // the engine plays on afterwards (a seek, a new medium)
    Quits,
};

enum class EngineCommandId {
    LoadList,
    LoadFile,
    Volume,
    Pause,
    Seek,
    FullScreen,
    Quit,
    TimeLength,
    Mute,
    KeyDown,
    ShowMenu,
    HideMenu,
    TimePosition,
    Stop,
    SpeedSet,
    StatusRate,
};

struct EngineCommand
{
    EngineCommandId id;
    // The line's first word.
    std::string_view name;
    // The whole line; "%1" and "%2" are its arguments, in that order.
    std::string_view text;
    EnginePauseEffect pause;
    // What the engine's answer starts with, if the program reads one.
    std::string_view reply;
};

// In the order of EngineCommandId.
inline constexpr EngineCommand engineCommands[] = {
    {EngineCommandId::LoadList, "loadlist", "loadlist %1\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::LoadFile, "loadfile", "loadfile %1\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::Volume, "volume", "volume %1 100\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::Pause, "pause", "pause\n", EnginePauseEffect::Toggles, {}},
    {EngineCommandId::Seek, "seek", "seek %1 %2\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::FullScreen, "vo_fullscreen", "vo_fullscreen\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::Quit, "quit", "quit\n", EnginePauseEffect::Quits, {}},
    {EngineCommandId::TimeLength, "get_time_length", "get_time_length\n", EnginePauseEffect::Keeps,
     "ANS_LENGTH="},
    {EngineCommandId::Mute, "mute", "mute\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::KeyDown,
     "key_down_event",
     "key_down_event %1\n",
     EnginePauseEffect::Keeps,
     {}},
    {EngineCommandId::ShowMenu, "set_menu", "set_menu main\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::HideMenu, "menu", "menu hide\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::TimePosition, "get_time_pos", "get_time_pos\n", EnginePauseEffect::Keeps,
     "ANS_TIME_POSITION="},
    // Not sent by the program; the engine ends the medium and waits idle.
    {EngineCommandId::Stop, "stop", "stop\n", EnginePauseEffect::Keeps, {}},
    // The playing speed, a factor (1 is normal); the pitch stays.
    {EngineCommandId::SpeedSet, "speed_set", "speed_set %1\n", EnginePauseEffect::Keeps, {}},
    // How many status lines a second the program reads (see EngineStatusRate);
    // for the adapter, which goes no further with it. The phone's engine drops
    // it unknown, silently and without touching its pause.
    {EngineCommandId::StatusRate, "status_rate", "status_rate %1\n", EnginePauseEffect::Keeps, {}},
};

constexpr const EngineCommand &engineCommand(EngineCommandId id)
{
    return engineCommands[static_cast<std::size_t>(id)];
}

// The command a line's first word names, or null.
constexpr const EngineCommand *findEngineCommand(std::string_view name)
{
    for (const EngineCommand &command : engineCommands)
        if (command.name == name)
            return &command;
    return nullptr;
}

// How a load takes its medium: the load's optional second argument. The
// program writes it only to append, as "loadlist NAME 1".
enum class EngineLoadMode { Replace, Append };
inline constexpr std::string_view engineAppendSuffix = " 1";
inline constexpr std::string_view engineReplaceSuffix = " 0";

// The name a load's argument holds, with the mode it ends in split off.
constexpr std::string_view engineLoadName(std::string_view argument, EngineLoadMode &mode)
{
    mode = EngineLoadMode::Replace;
    const std::size_t size = engineAppendSuffix.size();
    if (argument.size() <= size)
        return argument;
    const std::string_view suffix = argument.substr(argument.size() - size);
    if (suffix == engineAppendSuffix)
        mode = EngineLoadMode::Append;
    else if (suffix != engineReplaceSuffix)
        return argument;
    return argument.substr(0, argument.size() - size);
}

// How a seek's value is read: the seek's second argument.
enum class EngineSeekMode {
    Relative = 0, // seconds from where the medium is
    Percent = 1,  // percent of the medium's length
    Absolute = 2, // seconds from the medium's start
};

// The seek's second argument as the program writes it. A relative seek goes
// without one, as "seek -15 ": the engine takes a missing mode for relative.
constexpr std::string_view engineSeekModeText(EngineSeekMode mode)
{
    switch (mode) {
    case EngineSeekMode::Relative:
        return {};
    case EngineSeekMode::Percent:
        return "1";
    case EngineSeekMode::Absolute:
        return "2";
    }
    return {};
}

// The mode a seek's second argument names, or none for one the engine does not know.
constexpr std::optional<EngineSeekMode> engineSeekMode(double type)
{
    if (type == 0)
        return EngineSeekMode::Relative;
    if (type == 1)
        return EngineSeekMode::Percent;
    if (type == 2)
        return EngineSeekMode::Absolute;
    return std::nullopt;
}

// The prefixes a command may carry to govern the pause state instead of its
// own effect ("pausing_keep_force seek 5 0").
namespace EnginePausePrefix {
inline constexpr std::string_view pausing = "pausing"; // paused afterwards; every prefix starts so
inline constexpr std::string_view toggle = "pausing_toggle";
inline constexpr std::string_view keepForce = "pausing_keep_force"; // as it was, always
} // namespace EnginePausePrefix

// What a command does to the pause state, the prefix it carries included.
// `prefix` is the line's first word when it is one of the above, else empty.
enum class EnginePauseChange { None, Pause, Resume, Toggle };
constexpr EnginePauseChange enginePauseChange(EnginePauseEffect effect, std::string_view prefix)
{
    if (prefix == EnginePausePrefix::pausing)
        return EnginePauseChange::Pause;
    if (prefix == EnginePausePrefix::toggle)
        return EnginePauseChange::Toggle;
    if (!prefix.empty())
        return EnginePauseChange::None;
    switch (effect) {
    case EnginePauseEffect::Toggles:
        return EnginePauseChange::Toggle;
    case EnginePauseEffect::Ends:
        return EnginePauseChange::Resume;
    case EnginePauseEffect::Keeps:
    case EnginePauseEffect::Quits:
        break;
    }
    return EnginePauseChange::None;
}

// The lines and words of the engine's output that the program reads. Lines
// are given without their line end.
namespace EngineOutput {
// The medium the engine opens: "Playing NAME.".
inline constexpr std::string_view playing = "Playing ";
inline constexpr std::string_view playingEnd = ".";
// Headers: the container, then the streams.
inline constexpr std::string_view formatDetected = " file format detected.";
inline constexpr std::string_view audioFormat = "Audio file file format detected.";
inline constexpr std::string_view ownAudioFormat = "Audio only file format detected.";
inline constexpr std::string_view video = "VIDEO:";
inline constexpr std::string_view noVideo = "Video: no video";
inline constexpr std::string_view audioOut = "AO: ";
inline constexpr std::string_view videoOut = "VO: ";
inline constexpr std::string_view starting = "Starting playback...";
// Status pieces, each ended by "\r": "A:   2.9 (02.8) of 3.0 (03.0) ...".
inline constexpr std::string_view audioStatus = "A:";
inline constexpr std::string_view statusLengthMark = " of ";
// The medium has played to its end.
inline constexpr std::string_view ended = "EOF code: 1";
inline constexpr std::string_view exiting = "Exiting...";
// Refusals: the medium cannot be played.
inline constexpr std::string_view fileNotFound = "File not found: '";
inline constexpr std::string_view unknownFormat = "Failed to recognize file format";
inline constexpr std::string_view noStream = "No stream found";
// Identification lines ("-identify"), in the medium's header. For each chapter,
// numbered from 0: "ID_CHAPTER_ID=0", "ID_CHAPTER_0_START=2000" and
// "ID_CHAPTER_0_END=4000" in milliseconds, "ID_CHAPTER_0_NAME=Title" in UTF-8
// when it has one. Then "ID_CHAPTERS=3", for every medium (0 without chapters).
inline constexpr std::string_view identification = "ID_";
inline constexpr std::string_view chapter = "ID_CHAPTER_";
inline constexpr std::string_view chapterId = "ID_CHAPTER_ID=";
inline constexpr std::string_view chapterStart = "_START=";
inline constexpr std::string_view chapterEnd = "_END=";
inline constexpr std::string_view chapterName = "_NAME=";
inline constexpr std::string_view chapterCount = "ID_CHAPTERS=";
// A refusal that gives the engine's reason after its words: "WORDS (reason)".
inline constexpr std::string_view reasonOpen = " (";
inline constexpr std::string_view reasonClose = ")";
} // namespace EngineOutput

// The identification lines of one chapter, as above, each ended by "\n".
// Line ends and other control characters in the title become spaces.
inline std::string engineChapterLines(std::size_t index, long long startMs, long long endMs,
                                      std::string_view title)
{
    const std::string number = std::to_string(index);
    const std::string key = std::string(EngineOutput::chapter) + number;
    std::string lines = std::string(EngineOutput::chapterId) + number + '\n';
    lines += key + std::string(EngineOutput::chapterStart) + std::to_string(startMs) + '\n';
    lines += key + std::string(EngineOutput::chapterEnd) + std::to_string(endMs) + '\n';
    if (!title.empty()) {
        lines += key + std::string(EngineOutput::chapterName);
        for (const char c : title)
            lines += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
        lines += '\n';
    }
    return lines;
}

inline std::string engineChapterCountLine(std::size_t count)
{
    return std::string(EngineOutput::chapterCount) + std::to_string(count) + '\n';
}

// "status_rate N": at most N status lines a second reach the program, the
// newest each time; with 0 none, and it asks "get_time_pos" for the time. A
// medium's end, a refusal and an answer are passed on at once all the same.
namespace EngineStatusRate {
inline constexpr int shown = 10; // the time is on screen: the rate until told otherwise
// At this rate or below nothing on screen reads the time: a paused engine
// may be stopped until its next command.
inline constexpr int unseen = 1;
inline constexpr int most = 25; // a higher rate asked for counts as this

// The rate an argument asks for, or none for one that is no whole number.
constexpr std::optional<int> parse(std::string_view argument)
{
    while (!argument.empty() && (argument.back() == '\n' || argument.back() == '\r' ||
                                 argument.back() == ' ' || argument.back() == '\t'))
        argument.remove_suffix(1);
    if (argument.empty() || argument.size() > 9)
        return std::nullopt;
    int rate = 0;
    for (const char c : argument) {
        if (c < '0' || c > '9')
            return std::nullopt;
        rate = rate * 10 + (c - '0');
    }
    return rate < most ? rate : most;
}

// How long the engine's output may stay unread after it held only status, at
// `rate` lines a second with `secondsLeft` of the medium (NaN: unknown). Zero
// within a pace of the end, whose line must not wait; the shown rate's pace
// where the end cannot be foreseen (no length, or a guessed one long past).
inline std::chrono::milliseconds readPace(int rate, double secondsLeft)
{
    using std::chrono::milliseconds;
    const milliseconds shownPace{1000 / shown};
    // With no status to pass on, the output is still read for the end.
    const milliseconds pace{1000 / (rate > 0 ? rate : 1)};
    if (std::isnan(secondsLeft) || secondsLeft <= -0.5)
        return std::min(pace, shownPace);
    if (secondsLeft < double(pace.count()) / 1000 + 0.4)
        return milliseconds(0);
    return pace;
}
} // namespace EngineStatusRate

// The engine's answer to "get_time_length" for a length of `seconds`, line end included.
inline std::string engineLengthReply(double seconds)
{
    char line[64];
    std::snprintf(line, sizeof line, "%.*s%.2f\n",
                  int(engineCommand(EngineCommandId::TimeLength).reply.size()),
                  engineCommand(EngineCommandId::TimeLength).reply.data(), seconds);
    return line;
}

// The hand-off file: the program writes the medium to play into it and has
// the engine load it as a playlist. One path a line, each ended by "\n";
// white space at a line's ends is not part of it, blank lines and lines
// starting with "#" name nothing.
namespace EngineHandOff {
inline constexpr std::string_view whiteSpace = " \t\r\v\f";

// The file's content naming `path` (an empty path names nothing: what was
// queued is taken back), or nothing for a path it cannot carry (a line end in
// it, white space at its ends, a "#" first byte).
inline std::optional<std::string> content(std::string_view path)
{
    if (path.find_first_of("\n\r") != path.npos ||
        (!path.empty() &&
         (path.front() == '#' || whiteSpace.find(path.front()) != whiteSpace.npos ||
          whiteSpace.find(path.back()) != whiteSpace.npos)))
        return std::nullopt;
    return std::string(path) + '\n';
}

// The media a hand-off or playlist file names, in order.
inline std::vector<std::string> media(const std::string &file)
{
    std::vector<std::string> out;
    FILE *stream = std::fopen(file.c_str(), "re");
    if (!stream)
        return out;
    std::string line;
    for (int c = std::fgetc(stream);; c = std::fgetc(stream)) {
        if (c != EOF && c != '\n') {
            line += char(c);
            continue;
        }
        const std::size_t first = line.find_first_not_of(whiteSpace);
        if (first != std::string::npos && line[first] != '#')
            out.push_back(line.substr(first, line.find_last_not_of(whiteSpace) + 1 - first));
        line.clear();
        if (c == EOF)
            break;
    }
    std::fclose(stream);
    return out;
}
// The first medium the file names, or empty.
inline std::string firstMedium(const std::string &file)
{
    std::vector<std::string> all = media(file);
    return all.empty() ? std::string() : std::move(all.front());
}
} // namespace EngineHandOff

namespace enginecommands_check {
constexpr bool inIdOrder()
{
    for (std::size_t i = 0; i < std::size(engineCommands); ++i)
        if (static_cast<std::size_t>(engineCommands[i].id) != i)
            return false;
    return true;
}
static_assert(inIdOrder(), "engineCommands must follow EngineCommandId");
} // namespace enginecommands_check
