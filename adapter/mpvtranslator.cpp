#include "mpvtranslator.h"

#include "enginecommands.h"
#include "enginevolume.h"

#include "mpegaudiolength.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace {

// Observed property ids.
enum : int { pauseProperty = 1, audioDriverProperty, videoDriverProperty, durationProperty };

// What mpv plays after the last medium: silence, so that the sound server
// plays out what it holds of the medium while mpv still holds on to it. The
// medium's end is told once mpv counts this much of the silence heard: mpv
// is given 0.25 s at the server, and counts what a sink plays ahead of the
// listener short by up to as much again.
const char playOutSource[] = "av://lavfi:anullsrc=r=44100:cl=stereo:d=1";
constexpr double playedOut = 0.5;

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t at = 0;
    while ((at = line.find_first_not_of(" \t\r\n", at)) != std::string_view::npos) {
        const size_t end = line.find_first_of(" \t\r\n", at);
        out.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

bool isNumber(std::string_view text, double &value)
{
    const std::string copy(text);
    char *end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && *end == '\0' && std::isfinite(value);
}

std::string line(std::string_view word, std::string_view end = {})
{
    return std::string(word).append(end);
}

std::string endLine()
{
    return line(EngineOutput::ended, "\n");
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// "05.2", "01:15.4", " 1:01:15.4", as MPlayer prints a time.
std::string clock(double seconds)
{
    if (!(seconds > 0))
        seconds = 0;
    const long tenths = std::lround(seconds * 10);
    const long h = tenths / 36000, m = tenths / 600 % 60;
    const double s = double(tenths % 600) / 10;
    char text[32];
    if (h > 0)
        std::snprintf(text, sizeof text, "%2ld:%02ld:%04.1f", h, m, s);
    else if (m > 0)
        std::snprintf(text, sizeof text, "%02ld:%04.1f", m, s);
    else
        std::snprintf(text, sizeof text, "%04.1f", s);
    return text;
}

} // namespace

MpvTranslator::MpvTranslator(std::string audioDriver, std::string videoDriver)
    : audioDriver(std::move(audioDriver)), videoDriver(std::move(videoDriver)),
      rate(EngineStatusRate::shown)
{
}

std::string MpvTranslator::start(const std::vector<std::string> &media)
{
    std::string out =
        request("\"observe_property\"," + std::to_string(int(pauseProperty)) + ",\"pause\"");
    out += request("\"observe_property\"," + std::to_string(int(audioDriverProperty)) +
                   ",\"current-ao\"");
    out += request("\"observe_property\"," + std::to_string(int(videoDriverProperty)) +
                   ",\"current-vo\"");
    out +=
        request("\"observe_property\"," + std::to_string(int(durationProperty)) + ",\"duration\"");
    for (size_t i = 0; i < media.size(); ++i)
        out += load(media[i], i > 0);
    if (!media.empty())
        out += playOut();
    return out;
}

std::string MpvTranslator::request(const std::string &arguments, Reply reply, bool tracked)
{
    const long long id = nextId++;
    if (tracked)
        awaited[id] = {reply, std::string()};
    return "{\"command\":[" + arguments + "],\"request_id\":" + std::to_string(id) + "}\n";
}

std::string MpvTranslator::load(const std::string &path, bool append, bool queued)
{
    std::string out;
    if (!append) {
        out += pauseRequest(
            enginePauseChange(engineCommand(EngineCommandId::LoadFile).pause, std::string_view()));
        active = true;
    }
    const long long id = nextId;
    out += request("\"loadfile\"," + jsonQuoted(path) + (append ? ",\"append\"" : ",\"replace\""),
                   queued ? Reply::Queue : Reply::Load, true);
    awaited[id].second = path;
    lastLoaded = path;
    return out;
}

std::string MpvTranslator::playOut()
{
    return request("\"loadfile\"," + jsonQuoted(playOutSource) + ",\"append\"", Reply::PlayOut,
                   true);
}

std::string MpvTranslator::commands(std::string_view chunk)
{
    std::string out;
    pendingCommands.append(chunk);
    size_t start = 0;
    for (size_t end = pendingCommands.find('\n'); end != std::string::npos;
         end = pendingCommands.find('\n', start)) {
        out += command(std::string_view(pendingCommands).substr(start, end - start));
        start = end + 1;
    }
    pendingCommands.erase(0, start);
    return out;
}

std::string MpvTranslator::finishCommands()
{
    std::string out = command(pendingCommands);
    pendingCommands.clear();
    return out;
}

std::string MpvTranslator::pauseRequest(EnginePauseChange change)
{
    switch (change) {
    case EnginePauseChange::Pause:
        return request("\"set_property\",\"pause\",true");
    case EnginePauseChange::Resume:
        return request("\"set_property\",\"pause\",false");
    case EnginePauseChange::Toggle:
        return request("\"cycle\",\"pause\"");
    case EnginePauseChange::None:
        break;
    }
    return {};
}

std::string MpvTranslator::command(std::string_view line)
{
    std::vector<std::string_view> word = words(line);
    std::string_view prefix;
    if (!word.empty() &&
        word[0].substr(0, EnginePausePrefix::pausing.size()) == EnginePausePrefix::pausing) {
        prefix = word[0];
        word.erase(word.begin());
    }
    if (word.empty())
        return {};
    const EngineCommand *command = findEngineCommand(word[0]);
    if (!command)
        return {};
    double value = 0, type = 0;
    const bool hasValue = word.size() > 1 && isNumber(word[1], value);
    const bool hasType = word.size() > 2 && isNumber(word[2], type);

    std::string out;
    switch (command->id) {
    case EngineCommandId::LoadList:
    case EngineCommandId::LoadFile: {
        if (word.size() < 2)
            return {};
        // The rest of the line is the name, spaces and all.
        const size_t from = size_t(word[1].data() - line.data());
        std::string argument(line.substr(from));
        while (!argument.empty() &&
               std::string_view(" \t\r\n").find(argument.back()) != std::string_view::npos)
            argument.pop_back();
        EngineLoadMode mode = EngineLoadMode::Replace;
        argument.resize(engineLoadName(argument, mode).size());
        const bool append = mode == EngineLoadMode::Append;
        const std::vector<std::string> media = command->id == EngineCommandId::LoadList
                                                   ? EngineHandOff::media(argument)
                                                   : std::vector<std::string>{argument};
        if (append) {
            // What follows the current medium, in place of what was queued before.
            out += request("\"playlist-clear\"");
            nextQueued = !media.empty();
        } else {
            nextQueued = endPending = ended = false;
        }
        queuedEntries.clear();
        for (size_t i = 0; i < media.size(); ++i)
            out += load(media[i], append || i > 0, append);
        if (append || !media.empty())
            out += playOut();
        return out; // a load ends the pause itself, before the medium opens
    }
    case EngineCommandId::Pause:
        // MPlayer ignores a pause while idle.
        if (!active)
            return {};
        break;
    case EngineCommandId::Seek: {
        if (!hasValue)
            return {};
        const EngineSeekMode mode = hasType
                                        ? engineSeekMode(type).value_or(EngineSeekMode::Absolute)
                                        : EngineSeekMode::Relative;
        const char *how = mode == EngineSeekMode::Relative  ? "relative"
                          : mode == EngineSeekMode::Percent ? "absolute-percent"
                                                            : "absolute";
        out = request("\"seek\"," + number(value) + ",\"" + how + "\"");
        break;
    }
    case EngineCommandId::Volume:
        if (!hasValue)
            return {};
        out = hasType && type != 0
                  ? request("\"set_property\",\"volume\"," + number(EngineVolume::mpvVolume(value)))
                  : request("\"add\",\"volume\"," + number(value));
        break;
    case EngineCommandId::Mute:
        out = hasValue ? request(std::string("\"set_property\",\"mute\",") +
                                 (value != 0 ? "true" : "false"))
                       : request("\"cycle\",\"mute\"");
        break;
    case EngineCommandId::FullScreen:
        out = request("\"cycle\",\"fullscreen\"");
        break;
    case EngineCommandId::TimeLength:
        out = request("\"get_property\",\"duration\"", Reply::Length, true);
        break;
    case EngineCommandId::TimePosition:
        out = request("\"get_property\",\"time-pos\"", Reply::Position, true);
        break;
    case EngineCommandId::Stop:
        out = request("\"stop\"");
        break;
    case EngineCommandId::SpeedSet:
        // mpv keeps the pitch by itself.
        if (!hasValue || value <= 0)
            return {};
        out = request("\"set_property\",\"speed\"," + number(value));
        break;
    case EngineCommandId::Quit:
        out = request(hasValue ? "\"quit\"," + std::to_string(long(value)) : "\"quit\"");
        active = false; // nothing to rest: it goes
        break;
    case EngineCommandId::KeyDown:
    case EngineCommandId::ShowMenu:
    case EngineCommandId::HideMenu:
        return {}; // no counterpart: MPlayer's own OSD
    case EngineCommandId::StatusRate:
        if (word.size() == 2)
            rate = EngineStatusRate::parse(word[1]).value_or(rate);
        return {};
    }
    return out + pauseRequest(enginePauseChange(command->pause, prefix));
}

std::string MpvTranslator::statusRequest()
{
    if (!statusDue() || statusAsked)
        return {};
    statusAsked = true;
    return request("\"get_property\",\"time-pos\"", Reply::Status, true);
}

std::string MpvTranslator::events(std::string_view chunk, std::string &out, std::string &err)
{
    std::string send;
    size_t start = 0;
    for (size_t end = chunk.find('\n'); end != std::string_view::npos;
         end = chunk.find('\n', start)) {
        const std::string_view piece = chunk.substr(start, end - start);
        start = end + 1;
        if (droppingEvent) {
            droppingEvent = false;
            pendingEvents.clear();
            continue;
        }
        std::string_view line = piece;
        if (!pendingEvents.empty()) {
            pendingEvents.append(piece);
            line = pendingEvents;
        }
        // Anything that does not parse is skipped: the next line stands on its own.
        if (const std::optional<JsonValue> message = JsonValue::parse(line))
            event(*message, out, err, send);
        pendingEvents.clear();
    }
    if (!droppingEvent) {
        pendingEvents.append(chunk.substr(start));
        if (pendingEvents.size() > maxLine) {
            droppingEvent = true;
            pendingEvents.clear();
        }
    }
    return send;
}

void MpvTranslator::event(const JsonValue &message, std::string &out, std::string &err,
                          std::string &send)
{
    if (message.type != JsonValue::Type::Object)
        return;
    if (const JsonValue *id = message.member("request_id");
        id && id->type == JsonValue::Type::Number) {
        const auto found = awaited.find((long long)id->number);
        if (found == awaited.end())
            return;
        const auto [kind, path] = found->second;
        awaited.erase(found);
        reply(kind, path, message, out);
        return;
    }

    const std::string_view name = message.text("event");
    const long long entry = (long long)message.numberOf("playlist_entry_id", -1);
    if (name == "property-change") {
        const int property = int(message.numberOf("id", 0));
        if (property == pauseProperty)
            paused = message.flag("data", false);
        else if (property == audioDriverProperty && !message.text("data").empty())
            audioDriver = message.text("data");
        else if (property == videoDriverProperty && !message.text("data").empty())
            videoDriver = message.text("data");
        else if (property == durationProperty)
            length = message.numberOf("data", length);
    } else if (name == "start-file") {
        if (std::exchange(endPending, false))
            out += endLine();
        playingOut = playOutEntries.count(entry) > 0;
        if (playingOut) {
            endPending = std::exchange(ended, false);
            statusAsked = false;
            return;
        }
        if (std::exchange(ended, false))
            out += endLine();
        if (queuedEntries.erase(entry) > 0)
            nextQueued = false;
        const auto known = entries.find(entry);
        current = known != entries.end() ? known->second : lastLoaded;
        active = true;
        headerSent = false;
        heldHeader.clear();
        restarted = false;
        statusAsked = false;
        lastStatus = -1;
        stillStatus = 0;
        length = 0;
        countedLength = 0;
        out += line(EngineOutput::playing) + current + line(EngineOutput::playingEnd, "\n");
    } else if (name == "idle") {
        const bool pending = std::exchange(endPending, false);
        if (std::exchange(ended, false) || pending)
            out += endLine();
        playingOut = false;
    } else if (playingOut && name != "end-file") {
        return; // the silence after the last medium is no medium
    } else if (name == "file-loaded") {
        // Answered in turn: the chapters, which end at the medium's end, before the header.
        for (const auto &[property, kind] : {std::pair{"duration", Reply::Duration},
                                             {"chapter-list", Reply::Chapters},
                                             {"track-list", Reply::Tracks}}) {
            const long long id = nextId;
            send += request(std::string("\"get_property\",\"") + property + "\"", kind, true);
            awaited[id].second = current;
        }
    } else if (name == "playback-restart") {
        restarted = true;
        releaseHeader(out);
        // The first position now, not at the next pace: the medium is heard from here.
        send += statusRequest();
    } else if (name == "end-file") {
        if (playOutEntries.erase(entry) > 0) {
            if (std::exchange(endPending, false))
                out += endLine();
            playingOut = false;
            return;
        }
        const std::string_view reason = message.text("reason");
        if (reason == "stop" || reason == "redirect")
            return; // replaced by the next medium
        if (reason == "eof")
            releaseHeader(out); // too short to have begun
        const bool played = headerSent;
        active = headerSent = false;
        if (reason == "quit")
            return;
        if (played && nextQueued) {
            endPending = true;
            return;
        }
        if (played) {
            // Told once the silence after it has played, or as mpv goes idle.
            ended = true;
            return;
        }
        // Never started: refused, in the words the front-end knows, with mpv's reason.
        const std::string_view why = message.text("file_error", reason);
        std::string refusal;
        if (access(current.c_str(), F_OK) != 0)
            refusal = line(EngineOutput::fileNotFound) + current + "'";
        else if (why == "unrecognized file format")
            refusal = line(EngineOutput::unknownFormat);
        else
            refusal = line(EngineOutput::noStream);
        err += refusal + line(EngineOutput::reasonOpen) + std::string(why) +
               line(EngineOutput::reasonClose, "\n");
    }
}

void MpvTranslator::reply(Reply kind, const std::string &path, const JsonValue &message,
                          std::string &out)
{
    const bool success = message.text("error") == "success";
    const JsonValue *data = message.member("data");
    switch (kind) {
    case Reply::PlayOut:
        if (success && data)
            playOutEntries.insert((long long)data->numberOf("playlist_entry_id", -1));
        break;
    case Reply::Load:
    case Reply::Queue:
        if (success && data) {
            const long long entry = (long long)data->numberOf("playlist_entry_id", -1);
            entries[entry] = path;
            if (kind == Reply::Queue && nextQueued)
                queuedEntries.insert(entry);
        }
        break;
    case Reply::Tracks:
        if (success && data && path == current && active && !headerSent && heldHeader.empty())
            header(*data, out);
        break;
    case Reply::Duration:
        if (success && data && data->type == JsonValue::Type::Number && path == current)
            length = data->number;
        break;
    case Reply::Chapters:
        if (success && data && data->type == JsonValue::Type::Array && path == current && active)
            chapters(*data, out);
        break;
    case Reply::Length:
        if (success && data && data->type == JsonValue::Type::Number) {
            // mpv, too, guesses a VBR MP3's length from its first frames.
            if (headerSent && !hasVideo && countedLength == 0)
                countedLength = mpegAudioLength(current);
            out +=
                correctedLengthReply(hasVideo ? 0 : countedLength, engineLengthReply(data->number));
        }
        break;
    case Reply::Position:
        if (success && data && data->type == JsonValue::Type::Number) {
            char number[32];
            std::snprintf(number, sizeof number, "%.1f\n", data->number);
            out += line(engineCommand(EngineCommandId::TimePosition).reply) + number;
        }
        break;
    case Reply::Status:
        statusAsked = false;
        if (playingOut) {
            if (success && data && data->type == JsonValue::Type::Number && endPending &&
                data->number >= playedOut) {
                endPending = false;
                out += endLine();
            }
            break;
        }
        // A position that stands still for half a second prints nothing more, as a
        // stalled MPlayer does, so that the front-end's silence watchdog still works.
        if (success && data && data->type == JsonValue::Type::Number && statusDue()) {
            stillStatus = data->number == lastStatus ? stillStatus + 1 : 0;
            lastStatus = data->number;
            if (stillStatus < (rate + 1) / 2)
                out += statusPiece(data->number);
        }
        break;
    }
}

void MpvTranslator::header(const JsonValue &tracks, std::string &out)
{
    const JsonValue *video = nullptr, *audio = nullptr;
    for (const JsonValue &track : tracks.items) {
        if (!track.flag("selected", false) || track.flag("albumart", false))
            continue;
        if (track.text("type") == "video" && !video)
            video = &track;
        else if (track.text("type") == "audio" && !audio)
            audio = &track;
    }
    if (!video && !audio)
        return; // mpv ends it with an error
    hasAudio = audio != nullptr;
    hasVideo = video != nullptr;
    // The front-end shows its video window on this header. mpv must have mapped
    // its own window inside by then: it takes the window's being shown for its
    // own, and would leave its own unmapped.
    std::string &lines = video && !restarted ? heldHeader : out;
    char text[256];
    if (video) {
        const int w = int(video->numberOf("demux-w", 0)), h = int(video->numberOf("demux-h", 0));
        fps = video->numberOf("demux-fps", 0);
        lines += "libavformat" + line(EngineOutput::formatDetected, "\n");
        std::snprintf(text, sizeof text, "%s  [%s]  %dx%d  24bpp  %.3f fps\n",
                      line(EngineOutput::video).c_str(),
                      std::string(video->text("codec", "?")).c_str(), w, h, fps);
        lines += text;
    } else {
        lines += line(EngineOutput::audioFormat, "\n");
    }
    if (audio) {
        std::snprintf(text, sizeof text, "[%s] %dHz %dch s16le (2 bytes per sample)\n",
                      audioDriver.c_str(), int(audio->numberOf("demux-samplerate", 44100)),
                      int(audio->numberOf("demux-channel-count", 2)));
        lines += line(EngineOutput::audioOut, text);
    }
    if (video) {
        const int w = int(video->numberOf("demux-w", 0)), h = int(video->numberOf("demux-h", 0));
        std::snprintf(text, sizeof text, "[%s] %dx%d => %dx%d\n", videoDriver.c_str(), w, h, w, h);
        lines += line(EngineOutput::videoOut, text);
    } else {
        lines += line(EngineOutput::noVideo, "\n");
    }
    lines += line(EngineOutput::starting, "\n");
    headerSent = heldHeader.empty();
}

// As the engine lists them: milliseconds, each chapter ending where the next
// begins and the last at the medium's end. mpv's times of an MP3 are early by
// its encoder's delay: the first would start before 0.
void MpvTranslator::chapters(const JsonValue &list, std::string &out) const
{
    const std::vector<JsonValue> &items = list.items;
    for (size_t i = 0; i < items.size(); ++i) {
        const double start = std::max(0.0, items[i].numberOf("time", 0));
        const double end = i + 1 < items.size() ? std::max(start, items[i + 1].numberOf("time", 0))
                                                : std::max(start, length);
        out += engineChapterLines(i, std::llround(start * 1000), std::llround(end * 1000),
                                  items[i].text("title"));
    }
    out += engineChapterCountLine(items.size());
}

void MpvTranslator::releaseHeader(std::string &out)
{
    if (heldHeader.empty())
        return;
    out += heldHeader;
    heldHeader.clear();
    headerSent = true;
}

std::string MpvTranslator::statusPiece(double position) const
{
    char piece[160];
    if (!hasVideo) {
        std::snprintf(piece, sizeof piece, "A:%6.1f (%s) of %.1f (%s)  0.0%% \r", position,
                      clock(position).c_str(), length, clock(length).c_str());
    } else {
        const int frame = int(position * fps);
        if (hasAudio)
            std::snprintf(piece, sizeof piece,
                          "A:%6.1f V:%6.1f A-V:  0.000 ct:  0.000 %3d/%3d ??%% ??%% ??,?%% 0 0 \r",
                          position, position, frame, frame);
        else
            std::snprintf(piece, sizeof piece, "V:%6.1f %4d/%4d ??%% ??%% ??,?%% 0 0 \r", position,
                          frame, frame);
    }
    return piece;
}
