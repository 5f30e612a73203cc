#include "enginecommandline.h"

#include "enginevolume.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace {

std::string environmentValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Options the desktop's engine does not accept, each with the number of values it takes.
struct DroppedOption
{
    std::string_view name;
    size_t values;
};
constexpr DroppedOption droppedOptions[] = {{"-subrotate", 1}};

} // namespace

EngineEnvironment engineEnvironmentFromProcess()
{
    EngineEnvironment environment;
    environment.display = environmentValue("DISPLAY");
    environment.screenWindow = environmentValue("MOVARA_SCREEN_WID");
    environment.audioDrivers = environmentValue("MOVARA_MPLAYER_AO");
    environment.videoDrivers = environmentValue("MOVARA_MPLAYER_VO");
    environment.mixer = environmentValue("MOVARA_MPLAYER_MIXER");
    const std::string runtimeDir = environmentValue("XDG_RUNTIME_DIR");
    environment.soundServer =
        !environmentValue("PULSE_SERVER").empty() ||
        (!runtimeDir.empty() && access((runtimeDir + "/pulse/native").c_str(), F_OK) == 0);
    environment.soundCard = access("/dev/snd", F_OK) == 0;
    return environment;
}

unsigned long long parseWindowId(const std::string &text)
{
    if (text.empty() || text.size() > 18 || !std::isdigit(static_cast<unsigned char>(text[0])))
        return 0;
    char *end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long long id = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    return end && *end == '\0' ? id : 0;
}

std::vector<std::string> engineArguments(const std::vector<std::string> &frontEndArguments,
                                         const EngineEnvironment &environment)
{
    const bool x11 = !environment.display.empty();
    const unsigned long long window = x11 ? parseWindowId(environment.screenWindow) : 0;
    const bool embedded = window != 0;

    std::vector<std::string> args;
    // Without a sound card the SDL driver still plays in real time (its dummy
    // device); the null driver is only the last resort, as it runs ahead of the clock.
    args.push_back("-ao");
    std::string audio = environment.audioDrivers;
    if (audio.empty()) {
        // Only drivers whose devices are there: the others fill standard error with their failures.
        audio = std::string(environment.soundServer ? "pulse," : "") +
                (environment.soundCard ? "alsa," : "") + "sdl,null";
    }
    args.push_back(audio);
    args.push_back("-vo");
    args.push_back(!environment.videoDrivers.empty() ? environment.videoDrivers
                   : x11                             ? "x11,null"
                                                     : "null");
    if (embedded) {
        // Draw into the phone's screen; its pointer events stay with the front-end.
        args.push_back("-wid");
        args.push_back(std::to_string(window));
        args.push_back("-nomouseinput");
    }
    args.push_back("-nolirc");
    // The front-end draws its own time and volume: the engine's on-screen bar would cover the
    // video.
    args.push_back("-osdlevel");
    args.push_back("0");
    // The end of a medium is told at this level ("EOF code: 1"), as it happens.
    args.push_back("-msglevel");
    args.push_back("global=6");
    // An MP3's time seek counts frames: the time it lands on is the time it says,
    // VBR or not. Seeks past the last frame are kept from it (see SeekTranslator).
    args.push_back("-hr-mp3-seek");
    // The volume scales the samples, whichever output plays them (a sound
    // server's or a mixer's own scale would differ), and 100 is full.
    args.push_back("-softvol");
    args.push_back("-softvol-max");
    args.push_back("100");

    for (size_t i = 0; i < frontEndArguments.size(); ++i) {
        const std::string &arg = frontEndArguments[i];
        bool dropped = false;
        for (const DroppedOption &option : droppedOptions) {
            if (arg == option.name) {
                i += option.values;
                dropped = true;
            }
        }
        // Full screen on a desktop would cover the monitor, not the phone's screen:
        // without the phone's window the video keeps a window of its own size.
        if (arg == "-fs" && x11 && !embedded)
            dropped = true;
        if (!dropped && arg == "-volume" && i + 1 < frontEndArguments.size()) {
            char *end = nullptr;
            const double volume = std::strtod(frontEndArguments[i + 1].c_str(), &end);
            if (end && *end == '\0' && std::isfinite(volume)) {
                args.push_back(arg);
                args.push_back(EngineVolume::text(EngineVolume::mplayerVolume(volume)));
                ++i;
                continue;
            }
        }
        // A board's sound card has its own mixer in place of the phone's.
        if (arg == "-mixer" && !environment.mixer.empty() && i + 1 < frontEndArguments.size()) {
            args.push_back(arg);
            args.push_back(environment.mixer);
            ++i;
            continue;
        }
        if (!dropped)
            args.push_back(arg);
    }
    return args;
}
