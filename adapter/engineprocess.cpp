#include "engineprocess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

// How long the engine has to quit, once told to, before it is killed.
constexpr milliseconds quitLimit{3000};
// How long the engine's output may stay open after the engine itself has exited.
constexpr milliseconds drainLimit{500};

volatile sig_atomic_t signalledEngine = 0;
volatile sig_atomic_t quitRequested = 0;
int wakeWrite = -1;

const int handledSignals[] = {SIGCHLD, SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void onSignal(int signal)
{
    const int savedErrno = errno;
    if (signal != SIGCHLD) {
        quitRequested = signal;
        if (signalledEngine > 0) {
            kill(static_cast<pid_t>(signalledEngine), signal);
            kill(static_cast<pid_t>(signalledEngine), SIGCONT); // a stopped one would not heed it
        }
    }
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

} // namespace

EngineProcess::EngineProcess(std::string path, std::string label)
    : path(std::move(path)), label(std::move(label))
{
}

bool EngineProcess::start(std::vector<std::string> &arguments, const std::function<void()> &inChild)
{
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "mplayer: cannot create pipes: %s\n", std::strerror(errno));
        return false;
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];

    // Held back until the engine's pid is known, so that a quit asked for
    // meanwhile reaches the engine, or keeps it from being started at all.
    sigset_t handled, previous, pending;
    sigemptyset(&handled);
    for (int signal : handledSignals)
        sigaddset(&handled, signal);
    sigprocmask(SIG_BLOCK, &handled, &previous);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    for (int signal : handledSignals)
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sigpending(&pending);
    bool quitPending = false;
    for (int signal : handledSignals)
        quitPending = quitPending || (signal != SIGCHLD && sigismember(&pending, signal));
    if (quitPending) {
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }

    std::vector<char *> argv;
    argv.push_back(path.data());
    for (std::string &arg : arguments)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "mplayer: cannot start %s: %s\n", label.c_str(), std::strerror(errno));
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }
    if (child == 0) {
        // A signal before the exec must end the child, not run the adapter's handler.
        for (int signal : handledSignals)
            std::signal(signal, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        // The engine must not outlive the adapter, however the adapter ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        inChild();
        execv(path.c_str(), argv.data());
        std::fprintf(stderr, "mplayer: cannot run %s %s: %s\n", label.c_str(), path.c_str(),
                     std::strerror(errno));
        _exit(127);
    }
    pid = child;
    signalledEngine = child;
    sigprocmask(SIG_UNBLOCK, &handled, nullptr);
    return true;
}

int EngineProcess::quitSignal()
{
    return quitRequested;
}

bool EngineProcess::wake()
{
    char buffer[256];
    while (read(wakeRead, buffer, sizeof buffer) > 0) {
    }
    bool exitedNow = false;
    int statusNow = 0;
    if (!hasExited && waitpid(pid, &statusNow, WNOHANG) == pid) {
        hasExited = exitedNow = true;
        waitStatus = statusNow;
        signalledEngine = 0;
        killArmed = false;
        drainDeadline = Clock::now() + drainLimit;
    }
    // The engine was passed the quit; it is killed if it does not heed it.
    if (quitRequested && !hasExited && !quitSeen) {
        quitSeen = true;
        expectExit();
    }
    return exitedNow;
}

void EngineProcess::stop()
{
    // One told to quit must be free to.
    if (isStopped || hasExited || pid <= 0 || killArmed || quitRequested)
        return;
    kill(pid, SIGSTOP);
    isStopped = true;
}

void EngineProcess::resume()
{
    if (!isStopped)
        return;
    isStopped = false;
    if (!hasExited)
        kill(pid, SIGCONT);
}

void EngineProcess::expectExit()
{
    resume();
    if (hasExited)
        return;
    killArmed = true;
    killDeadline = Clock::now() + quitLimit;
}

void EngineProcess::killWhenDue(Clock::time_point now)
{
    if (killArmed && now >= killDeadline) {
        kill(pid, SIGKILL);
        killArmed = false;
    }
}

void EngineProcess::limitTimeout(int &timeout) const
{
    if (killArmed)
        limitTimeout(timeout, killDeadline);
    if (hasExited)
        limitTimeout(timeout, drainDeadline);
}

void EngineProcess::limitTimeout(int &timeout, Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    const int ms = static_cast<int>(std::max<long long>(0, left) + (left >= 0 ? 1 : 0));
    timeout = timeout < 0 ? ms : std::min(timeout, ms);
}

bool EngineProcess::writeAll(int fd, std::string_view data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd pfd{fd, POLLOUT, 0};
            poll(&pfd, 1, -1);
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

void EngineProcess::closeFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}
