#pragma once

#include "engineprocess.h"

#include <string>
#include <vector>

// Runs the media engine as a child process and stands in for it: the
// front-end's commands go to the engine's standard input, the engine's
// standard output comes back filtered, its standard error goes straight to
// ours. The engine dies with the relay (the kernel kills it when its parent
// goes, even by SIGKILL); the relay ends with the engine; when the front-end
// closes the relay's standard input, the engine is told to quit.
class EngineRelay
{
public:
    EngineRelay(std::string enginePath, std::vector<std::string> arguments);
    ~EngineRelay();
    EngineRelay(const EngineRelay &) = delete;
    EngineRelay &operator=(const EngineRelay &) = delete;

    // Starts the engine; false, with a message on standard error, when it cannot,
    // and false without one when a quit signal came first (see quitSignal()).
    bool start();

    // The last SIGTERM, SIGINT, SIGHUP or SIGQUIT the relay was sent, or 0.
    static int quitSignal();

    // Relays until the engine has exited and its output is passed on; returns
    // the engine's wait status.
    int run();

protected:
    void sendToEngine(const std::string &commands);

    std::string enginePath;
    std::vector<std::string> arguments;
    EngineProcess process;
    int engineInput = -1;
    int engineOutput = -1;
};
