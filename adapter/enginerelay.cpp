#include "enginerelay.h"

#include "commandfilter.h"
#include "enginecommands.h"
#include "enginenap.h"
#include "mpegaudiocounter.h"
#include "outputfilter.h"
#include "seektranslator.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = EngineProcess::Clock;
using std::chrono::milliseconds;

// How long a header line may wait for the engine to show whether there is video.
constexpr milliseconds holdLimit{2000};
// While the engine writes nothing but its status (every 23 to 40 ms while a
// medium plays), its output is read at the pace of the status rate the
// front-end asked for (EngineStatusRate::readPace): the pieces that came in
// between are passed on as one, the latest.
// After a command, the engine's output is read as it comes for this long, so
// that its reply is not kept waiting.
constexpr milliseconds replyWindow{300};
// A pause may take MPlayer this long to act on (0.4 s seen): a time that
// still moves on later says the engine plays.
constexpr milliseconds pauseSettle{1000};

} // namespace

EngineRelay::EngineRelay(std::string enginePath, std::vector<std::string> arguments)
    : enginePath(std::move(enginePath)), arguments(std::move(arguments)),
      process(this->enginePath, "the engine")
{
}

EngineRelay::~EngineRelay()
{
    EngineProcess::closeFd(engineInput);
    EngineProcess::closeFd(engineOutput);
}

bool EngineRelay::start()
{
    if (access(enginePath.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "mplayer: cannot run the engine %s: %s\n", enginePath.c_str(),
                     std::strerror(errno));
        return false;
    }

    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "mplayer: cannot create pipes: %s\n", std::strerror(errno));
        return false;
    }
    const bool started = process.start(arguments, [&input, &output] {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
    });
    close(input[0]);
    close(output[1]);
    if (!started) {
        close(input[1]);
        close(output[0]);
        return false;
    }
    engineInput = input[1];
    engineOutput = output[0];
    return true;
}

int EngineRelay::quitSignal()
{
    return EngineProcess::quitSignal();
}

void EngineRelay::sendToEngine(const std::string &commands)
{
    if (commands.empty())
        return;
    // Stopped while paused and unseen, it goes on for whatever it is told.
    process.resume();
    if (engineInput >= 0 && !EngineProcess::writeAll(engineInput, commands))
        EngineProcess::closeFd(engineInput); // the engine has gone; its exit is on its way
}

int EngineRelay::run()
{
    CommandFilter commands;
    OutputFilter output;
    EngineNap nap;
    unsigned long advancesSeen = 0;
    bool inputOpen = true;
    Clock::time_point holdDeadline;
    Clock::time_point nextRead, eagerUntil; // the engine's output is not read before nextRead
    Clock::time_point lastCommand;
    char buffer[65536];
    std::string relayed;
    std::string list;
    // Lengths of MPEG audio are counted on a thread: a walk over a big file
    // on slow storage would otherwise hold the relay for seconds, and the
    // front-end would take the silence for the medium's end.
    MpegAudioCounter counter;
    output.setCounter(&counter);
    SeekTranslator seeks;
    seeks.setCounter(&counter);
    // The front-end names its first medium last, or the playlist file that holds its name.
    const size_t given = arguments.size();
    if (given >= 2 && arguments[given - 2] == "-playlist")
        output.setMedium(EngineHandOff::firstMedium(arguments.back()));
    else if (given >= 1)
        output.setMedium(arguments.back());

    while (engineOutput >= 0 || !process.exited()) {
        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {process.wakeFd(), POLLIN, 0};
        const nfds_t counterIndex = count;
        fds[count++] = {counter.wakeFd(), POLLIN, 0};
        const bool paced = !process.exited() && Clock::now() < nextRead;
        const nfds_t outputIndex = engineOutput >= 0 && !paced ? count : 99;
        if (outputIndex < 99)
            fds[count++] = {engineOutput, POLLIN, 0};
        const nfds_t inputIndex = inputOpen ? count : 99;
        if (inputOpen)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        int timeout = -1;
        if (output.holding())
            EngineProcess::limitTimeout(timeout, holdDeadline);
        process.limitTimeout(timeout);
        if (paced && engineOutput >= 0)
            EngineProcess::limitTimeout(timeout, nextRead);
        const std::optional<Clock::time_point> stopFrom = nap.stopFrom();
        if (stopFrom && !process.stopped() && !process.exited())
            EngineProcess::limitTimeout(timeout, *stopFrom);

        if (poll(fds, count, timeout) < 0 && errno != EINTR) {
            std::perror("mplayer: poll");
            break;
        }

        if ((fds[0].revents & POLLIN) && process.wake())
            EngineProcess::closeFd(engineInput);

        if (fds[counterIndex].revents & POLLIN) {
            counter.clearWake();
            relayed.clear();
            output.takeCount(relayed);
            EngineProcess::writeAll(STDOUT_FILENO, relayed);
            sendToEngine(seeks.takeCount(output.currentMedium(), output.elapsed()));
        }

        if (outputIndex < count && fds[outputIndex].revents) {
            const ssize_t n = read(engineOutput, buffer, sizeof buffer);
            if (n > 0) {
                const bool wasHolding = output.holding();
                relayed.clear();
                const bool moreThanStatus = output.feed(std::string_view(buffer, n), relayed);
                EngineProcess::writeAll(STDOUT_FILENO, relayed);
                const Clock::time_point now = Clock::now();
                nap.stir(now);
                commands.setMediumOpen(output.mediumOpen());
                if (output.advances() != advancesSeen && now >= lastCommand + pauseSettle)
                    commands.setPlaying();
                advancesSeen = output.advances();
                if (!wasHolding && output.holding())
                    holdDeadline = now + holdLimit;
                // A full buffer is a flood (the null audio driver's, at a file's end):
                // waiting would only stall the engine.
                const bool flood = size_t(n) == sizeof buffer;
                // Taken for paused, the engine is heard as it speaks: a stop needs its quiet.
                if (!moreThanStatus && !flood && !output.holding() && now >= eagerUntil &&
                    !commands.paused())
                    nextRead = now + EngineStatusRate::readPace(commands.statusRate(),
                                                                output.secondsLeft());
            } else if (n == 0 || errno != EINTR) {
                EngineProcess::closeFd(engineOutput);
            }
        }

        if (inputIndex < count && fds[inputIndex].revents) {
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                sendToEngine(seeks.rewrite(commands.feed(std::string_view(buffer, n)),
                                           output.currentMedium(), output.elapsed()));
                if (commands.takeLoadList(list))
                    output.setMedium(EngineHandOff::firstMedium(list));
                output.setStatusShown(commands.statusRate() > 0);
                nap.setStatusRate(commands.statusRate());
                lastCommand = nextRead = Clock::now();
                eagerUntil = nextRead + replyWindow;
                nap.stir(nextRead);
            } else if (n == 0 || errno != EINTR) {
                // The front-end has gone: the engine quits, and is killed if it does not.
                inputOpen = false;
                sendToEngine(commands.finish() + "quit\n");
                EngineProcess::closeFd(engineInput);
                process.expectExit();
            }
        }

        const Clock::time_point now = Clock::now();
        if (output.holding() && now >= holdDeadline)
            EngineProcess::writeAll(STDOUT_FILENO, output.release());
        nap.setPaused(commands.paused());
        if (const std::optional<Clock::time_point> from = nap.stopFrom(); !from)
            process.resume();
        else if (now >= *from && inputOpen)
            process.stop();
        process.killWhenDue(now);
        if (engineOutput >= 0 && process.drainOver(now))
            EngineProcess::closeFd(engineOutput);
    }
    EngineProcess::writeAll(STDOUT_FILENO, output.finish());
    return process.status();
}
