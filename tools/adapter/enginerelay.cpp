#include "enginerelay.h"

#include "commandfilter.h"
#include "outputfilter.h"
#include "seektranslator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a header line may wait for the engine to show whether there is video.
constexpr milliseconds holdLimit{2000};
// How long the engine has to quit after the front-end has gone before it is killed.
constexpr milliseconds quitLimit{3000};
// How long the engine's output may stay open after the engine itself has exited.
constexpr milliseconds drainLimit{500};
// While the engine writes nothing but its status (every 23 to 40 ms while a
// medium plays), its output is read at most this often: the pieces that came
// in between are passed on as one, the latest, and the front-end's silence
// watchdog still sees output several times a second.
constexpr milliseconds statusPace{100};
// After a command, the engine's output is read as it comes for this long, so
// that its reply is not kept waiting.
constexpr milliseconds replyWindow{300};

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

// Writes all of data, waiting while a non-blocking descriptor is full.
// Returns false when the reader has gone.
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

// The medium a playlist file names: its first line, as the front-end writes it.
std::string playlistMedium(const std::string &list)
{
    std::string line;
    if (FILE *file = std::fopen(list.c_str(), "re")) {
        char buffer[4096];
        if (std::fgets(buffer, sizeof buffer, file))
            line = buffer;
        std::fclose(file);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

EngineRelay::EngineRelay(std::string enginePath, std::vector<std::string> arguments)
    : enginePath(std::move(enginePath)), arguments(std::move(arguments))
{
}

EngineRelay::~EngineRelay()
{
    closeFd(engineInput);
    closeFd(engineOutput);
}

bool EngineRelay::start()
{
    if (access(enginePath.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "mplayer: cannot run the engine %s: %s\n", enginePath.c_str(),
                     std::strerror(errno));
        return false;
    }

    int wake[2], input[2], output[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(input, O_CLOEXEC) != 0 ||
        pipe2(output, O_CLOEXEC) != 0) {
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
        for (int fd : {input[0], input[1], output[0], output[1]})
            close(fd);
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(enginePath.c_str()));
    for (std::string &arg : arguments)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "mplayer: cannot start the engine: %s\n", std::strerror(errno));
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        return false;
    }
    if (pid == 0) {
        // A signal before the exec must end the child, not run the relay's handler.
        for (int signal : handledSignals)
            std::signal(signal, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        // The engine must not outlive the relay, however the relay ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        execv(enginePath.c_str(), argv.data());
        std::fprintf(stderr, "mplayer: cannot run the engine %s: %s\n", enginePath.c_str(),
                     std::strerror(errno));
        _exit(127);
    }
    enginePid = pid;
    signalledEngine = pid;
    close(input[0]);
    close(output[1]);
    engineInput = input[1];
    engineOutput = output[0];
    sigprocmask(SIG_UNBLOCK, &handled, nullptr);
    return true;
}

int EngineRelay::quitSignal()
{
    return quitRequested;
}

void EngineRelay::sendToEngine(const std::string &commands)
{
    if (engineInput >= 0 && !commands.empty() && !writeAll(engineInput, commands))
        closeFd(engineInput); // the engine has gone; its exit is on its way
}

int EngineRelay::run()
{
    CommandFilter commands;
    OutputFilter output;
    bool inputOpen = true;
    bool exited = false;
    int status = 0;
    Clock::time_point holdDeadline, killDeadline, drainDeadline;
    Clock::time_point nextRead, eagerUntil; // the engine's output is not read before nextRead
    bool killArmed = false;
    bool quitSeen = false;
    char buffer[65536];
    std::string relayed;
    std::string list;
    SeekTranslator seeks;
    // The front-end names its first medium last, or the playlist file that holds its name.
    const size_t given = arguments.size();
    if (given >= 2 && arguments[given - 2] == "-playlist")
        output.setMedium(playlistMedium(arguments.back()));
    else if (given >= 1)
        output.setMedium(arguments.back());

    while (engineOutput >= 0 || !exited) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {wakeRead, POLLIN, 0};
        const bool paced = !exited && Clock::now() < nextRead;
        const nfds_t outputIndex = engineOutput >= 0 && !paced ? count : 99;
        if (outputIndex < 99)
            fds[count++] = {engineOutput, POLLIN, 0};
        const nfds_t inputIndex = inputOpen ? count : 99;
        if (inputOpen)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        int timeout = -1;
        auto limitTo = [&timeout](Clock::time_point deadline) {
            const int ms = remainingMs(deadline);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        if (output.holding())
            limitTo(holdDeadline);
        if (killArmed)
            limitTo(killDeadline);
        if (exited)
            limitTo(drainDeadline);
        if (paced && engineOutput >= 0)
            limitTo(nextRead);

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
                closeFd(engineInput);
            }
            // The engine was passed the quit; it is killed if it does not heed it.
            if (quitRequested && !exited && !quitSeen) {
                quitSeen = true;
                killArmed = true;
                killDeadline = Clock::now() + quitLimit;
            }
        }

        if (outputIndex < count && fds[outputIndex].revents) {
            const ssize_t n = read(engineOutput, buffer, sizeof buffer);
            if (n > 0) {
                const bool wasHolding = output.holding();
                relayed.clear();
                const bool moreThanStatus = output.feed(std::string_view(buffer, n), relayed);
                writeAll(STDOUT_FILENO, relayed);
                const Clock::time_point now = Clock::now();
                if (!wasHolding && output.holding())
                    holdDeadline = now + holdLimit;
                // A full buffer is a flood (the null audio driver's, at a file's end):
                // waiting would only stall the engine.
                const bool flood = size_t(n) == sizeof buffer;
                if (!moreThanStatus && !flood && !output.holding() && now >= eagerUntil &&
                    !output.nearEnd())
                    nextRead = now + statusPace;
            } else if (n == 0 || errno != EINTR) {
                closeFd(engineOutput);
            }
        }

        if (inputIndex < count && fds[inputIndex].revents) {
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                sendToEngine(seeks.rewrite(commands.feed(std::string_view(buffer, n)),
                                           output.currentMedium(), output.elapsed()));
                if (commands.takeLoadList(list))
                    output.setMedium(playlistMedium(list));
                nextRead = Clock::now();
                eagerUntil = nextRead + replyWindow;
            } else if (n == 0 || errno != EINTR) {
                // The front-end has gone: the engine quits, and is killed if it does not.
                inputOpen = false;
                sendToEngine(commands.finish() + "quit\n");
                closeFd(engineInput);
                if (!exited) {
                    killArmed = true;
                    killDeadline = Clock::now() + quitLimit;
                }
            }
        }

        const Clock::time_point now = Clock::now();
        if (output.holding() && now >= holdDeadline)
            writeAll(STDOUT_FILENO, output.release());
        if (killArmed && now >= killDeadline) {
            kill(enginePid, SIGKILL);
            killArmed = false;
        }
        if (exited && engineOutput >= 0 && now >= drainDeadline)
            closeFd(engineOutput);
    }
    writeAll(STDOUT_FILENO, output.finish());
    return status;
}
