#include "mpvrelay.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long mpv has to quit, once told to, before it is killed.
constexpr milliseconds quitLimit{3000};
// How long mpv's socket may stay open after mpv itself has exited.
constexpr milliseconds drainLimit{500};
// How often the position is asked while a medium plays: MPlayer's status
// comes at this pace through the adapter, too.
constexpr milliseconds statusPace{100};
// More IPC than this waiting for mpv means mpv has stopped reading.
constexpr size_t maxOutgoing = 1024 * 1024;

volatile sig_atomic_t signalledEngine = 0;
volatile sig_atomic_t quitRequested = 0;
int wakeRead = -1;
int wakeWrite = -1;

const int handledSignals[] = {SIGCHLD, SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void onSignal(int signal)
{
    const int savedErrno = errno;
    if (signal != SIGCHLD) {
        quitRequested = signal;
        if (signalledEngine > 0)
            kill(static_cast<pid_t>(signalledEngine), signal);
    }
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

bool writeAll(int fd, std::string_view data)
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

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left) + (left >= 0 ? 1 : 0));
}

void closeFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

MpvRelay::MpvRelay(std::string mpvPath, const std::vector<std::string> &engineArguments)
    : mpvPath(std::move(mpvPath)), commandLine(mpvCommandLine(engineArguments, ipcFd)),
      translator(commandLine.audioDriver, commandLine.videoDriver)
{
}

MpvRelay::~MpvRelay()
{
    closeFd(ipc);
}

int MpvRelay::quitSignal()
{
    return quitRequested;
}

bool MpvRelay::start()
{
    if (access(mpvPath.c_str(), X_OK) != 0) {
        std::fprintf(stderr,
                     "mplayer: mpv is not there to run (%s: %s): install it (apt install mpv)\n",
                     mpvPath.c_str(), std::strerror(errno));
        return false;
    }

    int wake[2], pair[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::fprintf(stderr, "mplayer: cannot create the IPC socket: %s\n", std::strerror(errno));
        return false;
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];

    // Held back until mpv's pid is known, so that a quit asked for meanwhile
    // reaches mpv, or keeps it from being started at all.
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
        close(pair[0]);
        close(pair[1]);
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(mpvPath.c_str()));
    for (std::string &arg : commandLine.arguments)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "mplayer: cannot start mpv: %s\n", std::strerror(errno));
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }
    if (pid == 0) {
        for (int signal : handledSignals)
            std::signal(signal, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (pair[1] == ipcFd)
            fcntl(ipcFd, F_SETFD, 0);
        else
            dup2(pair[1], ipcFd);
        // No terminal to read keys from (its quit-on-signal needs terminal input
        // left on); whatever mpv says is for standard error.
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execv(mpvPath.c_str(), argv.data());
        std::fprintf(stderr, "mplayer: cannot run mpv %s: %s\n", mpvPath.c_str(),
                     std::strerror(errno));
        _exit(127);
    }
    enginePid = pid;
    signalledEngine = pid;
    close(pair[1]);
    ipc = pair[0];
    fcntl(ipc, F_SETFL, fcntl(ipc, F_GETFL) | O_NONBLOCK);
    sigprocmask(SIG_UNBLOCK, &handled, nullptr);
    queue(translator.start(commandLine.media));
    return true;
}

void MpvRelay::queue(const std::string &lines)
{
    if (ipc < 0 || lines.empty())
        return;
    if (outgoing.size() + lines.size() > maxOutgoing)
        return; // mpv has stopped reading: its silence shows, and a quit still kills it
    outgoing += lines;
}

int MpvRelay::run()
{
    bool inputOpen = true;
    bool exited = false;
    bool quitSeen = false;
    bool killArmed = false;
    int status = 0;
    Clock::time_point killDeadline, drainDeadline;
    Clock::time_point nextStatus = Clock::now();
    char buffer[65536];
    std::string out, err;

    while (ipc >= 0 || !exited) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {wakeRead, POLLIN, 0};
        const nfds_t ipcIndex = ipc >= 0 ? count : 99;
        if (ipc >= 0)
            fds[count++] = {ipc, short(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0};
        const nfds_t inputIndex = inputOpen ? count : 99;
        if (inputOpen)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        int timeout = -1;
        auto limitTo = [&timeout](Clock::time_point deadline) {
            const int ms = remainingMs(deadline);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        if (killArmed)
            limitTo(killDeadline);
        if (exited)
            limitTo(drainDeadline);
        if (!exited && translator.statusDue())
            limitTo(nextStatus);

        if (poll(fds, count, timeout) < 0 && errno != EINTR) {
            std::perror("mplayer: poll");
            break;
        }

        if (fds[0].revents & POLLIN) {
            while (read(wakeRead, buffer, sizeof buffer) > 0) {
            }
            int waitStatus = 0;
            if (!exited && waitpid(enginePid, &waitStatus, WNOHANG) == enginePid) {
                exited = true;
                status = waitStatus;
                signalledEngine = 0;
                killArmed = false;
                drainDeadline = Clock::now() + drainLimit;
            }
            // mpv was passed the quit; it is killed if it does not heed it.
            if (quitRequested && !exited && !quitSeen) {
                quitSeen = true;
                killArmed = true;
                killDeadline = Clock::now() + quitLimit;
            }
        }

        if (ipcIndex < count && (fds[ipcIndex].revents & POLLOUT) && !outgoing.empty()) {
            const ssize_t n = write(ipc, outgoing.data(), outgoing.size());
            if (n > 0)
                outgoing.erase(0, size_t(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                outgoing.clear();
        }

        if (ipcIndex < count && (fds[ipcIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = read(ipc, buffer, sizeof buffer);
            if (n > 0) {
                out.clear();
                err.clear();
                queue(translator.events(std::string_view(buffer, size_t(n)), out, err));
                writeAll(STDOUT_FILENO, out);
                writeAll(STDERR_FILENO, err);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                closeFd(ipc);
                outgoing.clear();
            }
        }

        if (inputIndex < count && fds[inputIndex].revents) {
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                queue(translator.commands(std::string_view(buffer, size_t(n))));
            } else if (n == 0 || errno != EINTR) {
                // The front-end has gone: mpv quits, and is killed if it does not.
                inputOpen = false;
                queue(translator.finishCommands() + translator.command("quit"));
                if (!exited) {
                    killArmed = true;
                    killDeadline = Clock::now() + quitLimit;
                }
            }
        }

        const Clock::time_point now = Clock::now();
        if (!exited && translator.statusDue() && now >= nextStatus) {
            queue(translator.statusRequest());
            nextStatus = now + statusPace;
        }
        if (killArmed && now >= killDeadline) {
            kill(enginePid, SIGKILL);
            killArmed = false;
        }
        if (exited && ipc >= 0 && now >= drainDeadline)
            closeFd(ipc);
    }
    return status;
}
