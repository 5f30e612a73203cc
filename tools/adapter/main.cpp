// The media engine as the front-end expects it, on top of the desktop's
// MPlayer: started as "./mplayer" with the front-end's option list, it runs
// the real engine with options that work on this machine and relays its
// standard streams.
#include "enginecommandline.h"
#include "enginerelay.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const defaultEngine = "/usr/bin/mplayer";

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
    const char *override = std::getenv("MOVARA_MPLAYER");
    const std::string enginePath = override && *override ? override : defaultEngine;
    if (isThisProgram(enginePath.c_str())) {
        std::fprintf(stderr, "mplayer: the engine %s is this adapter itself\n", enginePath.c_str());
        return 127;
    }

    // Without a sound card, SDL's dummy device still plays in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    const std::vector<std::string> frontEndArguments(argv + 1, argv + argc);
    EngineRelay relay(enginePath,
                      engineArguments(frontEndArguments, engineEnvironmentFromProcess()));
    if (!relay.start())
        return EngineRelay::quitSignal() ? endBy(EngineRelay::quitSignal()) : 127;
    const int status = relay.run();
    // End the way the engine ended, so that the front-end sees the crash too.
    if (WIFSIGNALED(status))
        return endBy(WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
