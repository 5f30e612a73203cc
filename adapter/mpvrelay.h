#pragma once

#include "enginenap.h"
#include "engineprocess.h"
#include "mpvcommandline.h"
#include "mpvtranslator.h"

#include <string>
#include <vector>

// Runs mpv in the engine's place and stands in for MPlayer: the front-end's
// commands and mpv's replies and events go through an MpvTranslator over the
// IPC socket pair; mpv's own messages go to standard error. The process
// rules are those of EngineRelay: mpv dies with the relay, the relay ends
// with mpv and with its exit status, a closed standard input quits mpv, and
// a quit signal is passed on, with mpv killed if it does not heed it.
class MpvRelay
{
public:
    // engineArguments: the argument list the adapter would give MPlayer.
    MpvRelay(std::string mpvPath, const std::vector<std::string> &engineArguments);
    ~MpvRelay();
    MpvRelay(const MpvRelay &) = delete;
    MpvRelay &operator=(const MpvRelay &) = delete;

    // Starts mpv; false, with a message on standard error, when it cannot,
    // and false without one when a quit signal came first (see quitSignal()).
    bool start();

    // The last SIGTERM, SIGINT, SIGHUP or SIGQUIT the relay was sent, or 0.
    static int quitSignal();

    // Relays until mpv has exited and its last words are passed on; returns its wait status.
    int run();

    // The descriptor mpv finds its IPC socket on.
    static constexpr int ipcFd = 3;

protected:
    void queue(const std::string &ipc);

    std::string mpvPath;
    MpvCommandLine commandLine;
    MpvTranslator translator;
    EngineProcess process;
    EngineNap nap;
    int ipc = -1;
    std::string outgoing; // IPC lines not yet taken by mpv
};
