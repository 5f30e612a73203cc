#include "mpvcommandline.h"

#include "enginecommands.h"
#include "enginevolume.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

// MPlayer's options that take a value.
constexpr std::string_view valuedOptions[] = {
    "-ao",  "-vo",       "-wid",      "-vf",  "-af",  "-sws",    "-mixer", "-subrotate", "-ss",
    "-aid", "-osdlevel", "-msglevel", "-vid", "-sid", "-volume", "-cache", "-playlist"};

// MPlayer's -sws numbers as mpv names them.
constexpr std::string_view scalers[] = {"fast-bilinear", "bilinear", "bicubic",  "x",
                                        "point",         "area",     "bicublin", "gauss",
                                        "sinc",          "lanczos",  "spline"};

constexpr std::string_view audioDrivers[] = {"pipewire", "pulse", "alsa", "jack", "sdl", "null"};
constexpr std::string_view videoDrivers[] = {"gpu", "xv", "x11", "sdl", "drm", "null"};

bool takesValue(std::string_view option)
{
    for (std::string_view valued : valuedOptions) {
        if (option == valued)
            return true;
    }
    return false;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end = text.find(separator); end != std::string::npos;
         end = text.find(separator, start)) {
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool isInteger(const std::string &text)
{
    char *end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

// The drivers of an MPlayer list ("alsa:device=hw,sdl,") that mpv has, in
// order, without their suboptions; fallback when none is left.
std::string driverList(const std::string &list, const std::string_view *known, size_t count,
                       const char *fallback)
{
    std::string out;
    for (const std::string &entry : split(list, ',')) {
        const std::string name = entry.substr(0, entry.find(':'));
        const std::string mapped = name == "gl" ? "gpu" : name;
        for (size_t i = 0; i < count; ++i) {
            if (known[i] == mapped) {
                out += (out.empty() ? "" : ",") + mapped;
                break;
            }
        }
    }
    return out.empty() ? fallback : out;
}

std::string scaleSide(const std::string &value)
{
    if (value == "-2" || value == "-3")
        return "-2"; // the other side's aspect, even
    if (value == "0" || value == "-1")
        return "";
    return isInteger(value) ? value : "";
}

} // namespace

std::string mpvVideoFilters(const std::string &chain)
{
    std::string graph;
    auto add = [&graph](const std::string &filter) {
        graph += (graph.empty() ? "" : ",") + filter;
    };
    for (const std::string &filter : split(chain, ',')) {
        const size_t equals = filter.find('=');
        const std::string name = filter.substr(0, equals);
        const std::vector<std::string> values = equals == std::string::npos
                                                    ? std::vector<std::string>{}
                                                    : split(filter.substr(equals + 1), ':');
        if (name == "rotate") {
            const long direction = values.empty() || !isInteger(values[0])
                                       ? 0
                                       : std::strtol(values[0].c_str(), nullptr, 10);
            // 4 and up: only a portrait picture turns.
            add("transpose=" + std::to_string(direction & 3) +
                ((direction & 4) ? ":passthrough=landscape" : ""));
        } else if (name == "scale" && values.size() >= 2) {
            const std::string w = scaleSide(values[0]), h = scaleSide(values[1]);
            add("scale=" + (w.empty() ? std::string("iw") : w) + ":" +
                (h.empty() ? std::string("ih") : h));
        } else if (name == "crop" && values.size() >= 2 && isInteger(values[0]) &&
                   isInteger(values[1])) {
            // MPlayer leaves a side that is already smaller as it is.
            std::string crop = "crop='min(iw," + values[0] + ")':'min(ih," + values[1] + ")'";
            if (values.size() >= 4 && isInteger(values[2]) && isInteger(values[3]))
                crop += ":" + values[2] + ":" + values[3];
            add(crop);
        }
    }
    return graph;
}

MpvCommandLine mpvCommandLine(const std::vector<std::string> &engineArguments, int ipcFd)
{
    MpvCommandLine line;
    std::vector<std::string> &args = line.arguments;
    args = {"--no-config", "--idle=yes", "--input-ipc-client=fd://" + std::to_string(ipcFd),
            "--msg-level=all=error",
            // The front-end draws its own time and volume, and takes every key and click.
            "--osd-level=0", "--osc=no", "--input-default-bindings=no", "--input-vo-keyboard=no",
            "--input-cursor=no",
            // A song's cover picture is no video.
            "--audio-display=no", "--ytdl=no",
            // As much sound at the server as MPlayer keeps there: mpv's own 0.1 s
            // runs dry, and is heard as gaps, while the machine is busy.
            "--pulse-buffer=250",
            // One sound output from the first medium on, whatever the next one's
            // format: the front-end has every medium resampled alike, and the
            // silence after the last one keeps the output that played it.
            "--gapless-audio=yes"};
    std::string audio = "null", video = "null";
    for (size_t i = 0; i < engineArguments.size(); ++i) {
        const std::string &arg = engineArguments[i];
        if (arg.empty() || arg[0] != '-') {
            line.media.push_back(arg);
            continue;
        }
        // MPlayer's own volume scale: mpv's is set by --volume.
        if (arg == "-softvol-max") {
            ++i;
            continue;
        }
        if (!takesValue(arg)) {
            if (arg == "-framedrop")
                args.push_back("--framedrop=vo");
            continue;
        }
        if (i + 1 >= engineArguments.size())
            break;
        const std::string &value = engineArguments[++i];
        if (arg == "-ao") {
            audio = driverList(value, audioDrivers, std::size(audioDrivers), "null");
        } else if (arg == "-vo") {
            video = driverList(value, videoDrivers, std::size(videoDrivers), "null");
        } else if (arg == "-wid" && isInteger(value)) {
            args.push_back("--wid=" + value);
        } else if (arg == "-vf") {
            const std::string graph = mpvVideoFilters(value);
            if (!graph.empty())
                args.push_back("--vf=lavfi=[" + graph + "]");
        } else if (arg == "-af") {
            for (const std::string &filter : split(value, ',')) {
                const std::vector<std::string> values =
                    split(filter.substr(filter.find('=') + 1), ':');
                if (filter.rfind("channels=", 0) == 0 && isInteger(values[0]))
                    args.push_back("--audio-channels=" + (values[0] == "2"   ? std::string("stereo")
                                                          : values[0] == "1" ? std::string("mono")
                                                                             : values[0]));
                else if (filter.rfind("resample=", 0) == 0 && isInteger(values[0]))
                    args.push_back("--audio-samplerate=" + values[0]);
            }
        } else if (arg == "-sws" && isInteger(value)) {
            const long scaler = std::strtol(value.c_str(), nullptr, 10);
            if (scaler >= 0 && size_t(scaler) < std::size(scalers))
                args.push_back("--sws-scaler=" + std::string(scalers[scaler]));
        } else if (arg == "-playlist") {
            for (std::string &medium : EngineHandOff::media(value))
                line.media.push_back(std::move(medium));
        } else if (arg == "-volume") {
            // In MPlayer's scale (engineArguments): the samples times volume/100.
            char *end = nullptr;
            const double volume = std::strtod(value.c_str(), &end);
            if (!value.empty() && *end == '\0' && volume >= 0 && volume <= 100)
                args.push_back("--volume=" + EngineVolume::text(100 * std::cbrt(volume / 100)));
        }
    }
    args.push_back("--ao=" + audio);
    args.push_back("--vo=" + video);
    line.audioDriver = audio.substr(0, audio.find(','));
    line.videoDriver = video.substr(0, video.find(','));
    return line;
}
