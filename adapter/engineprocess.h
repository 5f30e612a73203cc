#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The engine as a child process, for the relays: started so that it dies
// with the adapter (the kernel kills it when its parent goes, even by
// SIGKILL), passed the quit signals the adapter is sent, killed when it does
// not heed a quit, and reaped. The signals are caught process-wide: one
// engine to an adapter.
class EngineProcess
{
public:
    using Clock = std::chrono::steady_clock;

    // label names the engine in messages ("the engine", "mpv").
    EngineProcess(std::string path, std::string label);
    EngineProcess(const EngineProcess &) = delete;
    EngineProcess &operator=(const EngineProcess &) = delete;

    // Forks and runs path with arguments; inChild sets up the child's
    // descriptors before the exec. False, with a message on standard error,
    // when it cannot, and false without one when a quit signal came first.
    bool start(std::vector<std::string> &arguments, const std::function<void()> &inChild);

    // The last SIGTERM, SIGINT, SIGHUP or SIGQUIT the adapter was sent, or 0.
    static int quitSignal();

    // Readable when a signal came: poll it, then call wake().
    int wakeFd() const { return wakeRead; }
    // Reaps the engine if it has exited, and arms the kill when a quit signal
    // was passed on. True when the engine was found exited by this call.
    bool wake();

    // The engine has been told to quit: it is killed if it has not in time.
    void expectExit();
    // Stops the engine (SIGSTOP) and continues it (SIGCONT). A quit signal
    // passed on continues it, too.
    void stop();
    void resume();
    bool stopped() const { return isStopped; }
    // Kills the engine when its time to quit is over.
    void killWhenDue(Clock::time_point now);

    bool exited() const { return hasExited; }
    int status() const { return waitStatus; }
    // Whether the engine's output has had its time to drain since the engine exited.
    bool drainOver(Clock::time_point now) const { return hasExited && now >= drainDeadline; }

    // Narrows a poll timeout (-1: none) to this process's deadlines.
    void limitTimeout(int &timeout) const;
    static void limitTimeout(int &timeout, Clock::time_point deadline);

    // Writes all of data, waiting while a non-blocking descriptor is full.
    // Returns false when the reader has gone.
    static bool writeAll(int fd, std::string_view data);
    static void closeFd(int &fd);

private:
    std::string path;
    std::string label;
    pid_t pid = -1;
    int wakeRead = -1;
    bool hasExited = false;
    int waitStatus = 0;
    bool quitSeen = false;
    bool killArmed = false;
    bool isStopped = false;
    Clock::time_point killDeadline;
    Clock::time_point drainDeadline;
};
