#include "mpvrelay.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = EngineProcess::Clock;
using std::chrono::milliseconds;

// How often the position is asked while a medium plays: at the status rate
// the front-end asked for, as MPlayer's status comes through the adapter.
milliseconds statusPace(int rate)
{
    return milliseconds(1000 / std::max(1, rate));
}
// More IPC than this waiting for mpv means mpv has stopped reading.
constexpr size_t maxOutgoing = 1024 * 1024;

} // namespace

MpvRelay::MpvRelay(std::string mpvPath, const std::vector<std::string> &engineArguments)
    : mpvPath(std::move(mpvPath)), commandLine(mpvCommandLine(engineArguments, ipcFd)),
      translator(commandLine.audioDriver, commandLine.videoDriver), process(this->mpvPath, "mpv")
{
}

MpvRelay::~MpvRelay()
{
    EngineProcess::closeFd(ipc);
}

int MpvRelay::quitSignal()
{
    return EngineProcess::quitSignal();
}

bool MpvRelay::start()
{
    if (access(mpvPath.c_str(), X_OK) != 0) {
        std::fprintf(stderr,
                     "mplayer: mpv is not there to run (%s: %s): install it (apt install mpv)\n",
                     mpvPath.c_str(), std::strerror(errno));
        return false;
    }

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::fprintf(stderr, "mplayer: cannot create the IPC socket: %s\n", std::strerror(errno));
        return false;
    }
    const bool started = process.start(commandLine.arguments, [&pair] {
        if (pair[1] == ipcFd)
            fcntl(ipcFd, F_SETFD, 0);
        else
            dup2(pair[1], ipcFd);
        // No terminal to read keys from (its quit-on-signal needs terminal input
        // left on); whatever mpv says is for standard error.
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(STDERR_FILENO, STDOUT_FILENO);
    });
    close(pair[1]);
    if (!started) {
        close(pair[0]);
        return false;
    }
    ipc = pair[0];
    fcntl(ipc, F_SETFL, fcntl(ipc, F_GETFL) | O_NONBLOCK);
    queue(translator.start(commandLine.media));
    return true;
}

void MpvRelay::queue(const std::string &lines)
{
    if (ipc < 0 || lines.empty())
        return;
    // Stopped while paused and unseen, it goes on for whatever it is told.
    process.resume();
    nap.stir(EngineProcess::Clock::now());
    if (outgoing.size() + lines.size() > maxOutgoing)
        return; // mpv has stopped reading: its silence shows, and a quit still kills it
    outgoing += lines;
}

int MpvRelay::run()
{
    bool inputOpen = true;
    Clock::time_point nextStatus = Clock::now();
    char buffer[65536];
    std::string out, err;

    while (ipc >= 0 || !process.exited()) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {process.wakeFd(), POLLIN, 0};
        const nfds_t ipcIndex = ipc >= 0 ? count : 99;
        if (ipc >= 0)
            fds[count++] = {ipc, short(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0};
        const nfds_t inputIndex = inputOpen ? count : 99;
        if (inputOpen)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        int timeout = -1;
        process.limitTimeout(timeout);
        if (!process.exited() && translator.statusDue())
            EngineProcess::limitTimeout(timeout, nextStatus);
        const std::optional<Clock::time_point> stopFrom = nap.stopFrom();
        if (stopFrom && !process.stopped() && !process.exited())
            EngineProcess::limitTimeout(timeout, *stopFrom);

        if (poll(fds, count, timeout) < 0 && errno != EINTR) {
            std::perror("mplayer: poll");
            break;
        }

        if (fds[0].revents & POLLIN)
            process.wake();

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
                nap.stir(Clock::now());
                out.clear();
                err.clear();
                queue(translator.events(std::string_view(buffer, size_t(n)), out, err));
                EngineProcess::writeAll(STDOUT_FILENO, out);
                EngineProcess::writeAll(STDERR_FILENO, err);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                EngineProcess::closeFd(ipc);
                outgoing.clear();
            }
        }

        if (inputIndex < count && fds[inputIndex].revents) {
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                const int rate = translator.statusRate();
                queue(translator.commands(std::string_view(buffer, size_t(n))));
                // A new rate is kept at once: lit again, the time shows now.
                if (translator.statusRate() != rate) {
                    nextStatus = Clock::now();
                    nap.setStatusRate(translator.statusRate());
                }
            } else if (n == 0 || errno != EINTR) {
                // The front-end has gone: mpv quits, and is killed if it does not.
                inputOpen = false;
                queue(translator.finishCommands() + translator.command("quit"));
                process.expectExit();
            }
        }

        const Clock::time_point now = Clock::now();
        if (!process.exited() && translator.statusDue() && now >= nextStatus) {
            queue(translator.statusRequest());
            nextStatus = now + statusPace(translator.statusRate());
        }
        nap.setPaused(translator.restingPaused());
        if (const std::optional<Clock::time_point> from = nap.stopFrom(); !from)
            process.resume();
        else if (now >= *from && inputOpen && outgoing.empty())
            process.stop();
        process.killWhenDue(now);
        if (ipc >= 0 && process.drainOver(now))
            EngineProcess::closeFd(ipc);
    }
    return process.status();
}
