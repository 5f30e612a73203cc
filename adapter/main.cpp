// The media engine as the front-end expects it, on top of the desktop's
// MPlayer: started as "./mplayer" with the front-end's option list, it runs
// the real engine with options that work on this machine and relays its
// standard streams.
#include "enginecommandline.h"
#include "enginerelay.h"
#include "mpvrelay.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const defaultEngine = "/usr/bin/mplayer";
const char *const defaultMpv = "/usr/bin/mpv";

std::string environmentValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool isThisProgram(const char *path)
{
    char engine[PATH_MAX], self[PATH_MAX];
    return realpath(path, engine) && realpath("/proc/self/exe", self) &&
           std::string(engine) == self;
}

// Ends this process the way the signal would have, had it not been caught.
int endBy(int signal)
{
    std::signal(signal, SIG_DFL);
    raise(signal);
    return 128 + signal;
}

} // namespace

int main(int argc, char **argv)
{
    // MOVARA_ENGINE picks the engine behind the same slave-mode contract.
    const std::string engine = environmentValue("MOVARA_ENGINE");
    if (!engine.empty() && engine != "mplayer" && engine != "mpv") {
        std::fprintf(stderr, "mplayer: unknown engine \"%s\" (MOVARA_ENGINE: mplayer or mpv)\n",
                     engine.c_str());
        return 127;
    }
    const bool mpv = engine == "mpv";
    const std::string override = environmentValue(mpv ? "MOVARA_MPV" : "MOVARA_MPLAYER");
    const std::string enginePath = !override.empty() ? override : mpv ? defaultMpv : defaultEngine;
    if (isThisProgram(enginePath.c_str())) {
        std::fprintf(stderr, "mplayer: the engine %s is this adapter itself\n", enginePath.c_str());
        return 127;
    }

    // Without a sound card, SDL's dummy device still plays in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    const std::vector<std::string> frontEndArguments(argv + 1, argv + argc);
    const std::vector<std::string> arguments =
        engineArguments(frontEndArguments, engineEnvironmentFromProcess());
    int status = 0;
    if (mpv) {
        MpvRelay relay(enginePath, arguments);
        if (!relay.start())
            return MpvRelay::quitSignal() ? endBy(MpvRelay::quitSignal()) : 127;
        status = relay.run();
    } else {
        EngineRelay relay(enginePath, arguments);
        if (!relay.start())
            return EngineRelay::quitSignal() ? endBy(EngineRelay::quitSignal()) : 127;
        status = relay.run();
    }
    // End the way the engine ended, so that the front-end sees the crash too.
    if (WIFSIGNALED(status))
        return endBy(WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
