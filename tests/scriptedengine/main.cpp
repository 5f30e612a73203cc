// A stand-in for the media engine in tests: plays a script of output and
// records its argv, working directory and every line it reads on stdin.
//
// Environment:
//   MOVARA_SCRIPT      script file (no script: just wait for commands)
//   MOVARA_ENGINE_LOG  log file, appended to, one entry per line:
//                      "<monotonic ms> <pid> <kind> <text>"
//                      kinds: start, arg, cwd, deathsig, in, out, err, exit, signal
//
// Script directives, one per line ("#" starts a comment line). TEXT takes
// the escapes \n \r \t \e \\ and \xHH.
//   line TEXT              TEXT and "\n" in one write to stdout
//   raw TEXT               TEXT as it is, in one write (several lines, "\r" ends)
//   err TEXT               TEXT and "\n" to stderr
//   sleep MS               wait, reading and answering commands meanwhile
//   busy MS                work the processor, reading nothing meanwhile
//   expect TEXT            wait until the stdin line TEXT arrives
//   on TEXT => DIRECTIVE   whenever the stdin line TEXT arrives, run DIRECTIVE
//   A ;; B                 A, then B (in an "on" rule too)
//   exit CODE              exit with CODE
//   kill SIGNAL            die by SIGNAL (a number)
//   ignore SIGNAL          ignore SIGNAL (a number) from now on
//   flood BYTES            BYTES of 'x' with no line end, 64 KiB per write
//   errflood BYTES         BYTES of 79-character lines on stderr
//   status COUNT MS        COUNT audio status outputs ended by "\r", MS apart
//   replay FILE PACE_US    FILE's bytes, one write per line (ended by \n or \r),
//                          PACE_US microseconds apart
// After the script the engine waits for commands; "quit" (unless an "on"
// rule answers it) and the end of stdin make it exit with 0.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string logPath;
std::string stdinBuffer;
bool stdinClosed = false;
std::vector<std::pair<std::string, std::string>> rules;

long long nowMicros()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

std::string escaped(const std::string &text, size_t limit = 400)
{
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const char c = text[i];
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    if (text.size() > limit)
        out += "...";
    return out;
}

std::string entryText(const char *kind, const std::string &text)
{
    const long long us = nowMicros();
    char head[96];
    std::snprintf(head, sizeof head, "%lld.%03lld %d %s ", us / 1000, us % 1000, int(getpid()),
                  kind);
    return head + escaped(text) + "\n";
}

// One write per call keeps entries of several engines whole.
void appendToLog(const std::string &entries)
{
    if (logPath.empty())
        return;
    const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t ignored = write(fd, entries.data(), entries.size());
    (void)ignored;
    close(fd);
}

void logEntry(const char *kind, const std::string &text)
{
    appendToLog(entryText(kind, text));
}

std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'e':
            out += '\033';
            break;
        case 'x':
            if (i + 2 < text.size()) {
                out += char(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            }
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void emitOut(int fd, const std::string &bytes)
{
    writeAll(fd, bytes.data(), bytes.size());
    logEntry(fd == 1 ? "out" : "err", bytes);
}

void run(const std::string &directive);

void handleCommand(const std::string &line)
{
    logEntry("in", line);
    for (const auto &rule : rules) {
        if (rule.first == line) {
            run(rule.second);
            return;
        }
    }
    if (line == "quit") {
        logEntry("exit", "0");
        std::exit(0);
    }
}

// Waits up to timeoutMs (-1: for ever) for stdin and handles every
// complete line; returns when the time is up or a line equal to *until came.
bool pumpStdin(long long timeoutMs, const std::string *until = nullptr)
{
    const long long deadline = timeoutMs < 0 ? -1 : nowMicros() + timeoutMs * 1000;
    for (;;) {
        size_t end;
        while ((end = stdinBuffer.find('\n')) != std::string::npos) {
            const std::string line = stdinBuffer.substr(0, end);
            stdinBuffer.erase(0, end + 1);
            handleCommand(line);
            if (until && line == *until)
                return true;
        }
        if (stdinClosed) {
            if (deadline < 0) {
                logEntry("exit", "0 (end of input)");
                std::exit(0);
            }
            const long long left = deadline - nowMicros();
            if (left > 0)
                usleep(useconds_t(left));
            return false;
        }
        int wait = -1;
        if (deadline >= 0) {
            const long long left = deadline - nowMicros();
            if (left <= 0)
                return false;
            wait = int((left + 999) / 1000);
        }
        pollfd pfd{0, POLLIN, 0};
        const int ready = poll(&pfd, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0) {
            char chunk[4096];
            const ssize_t n = read(0, chunk, sizeof chunk);
            if (n > 0)
                stdinBuffer.append(chunk, size_t(n));
            else if (n == 0 || errno != EINTR)
                stdinClosed = true;
        }
    }
}

// As MPlayer prints it: the minutes only from the first on ("(00.1)", "(01:00.1)").
std::string statusText(int index)
{
    const double seconds = index * 0.1;
    const int minutes = int(seconds) / 60;
    char clock[32];
    if (minutes > 0)
        std::snprintf(clock, sizeof clock, "%02d:%04.1f", minutes, seconds - minutes * 60);
    else
        std::snprintf(clock, sizeof clock, "%04.1f", seconds);
    char text[128];
    std::snprintf(text, sizeof text, "A:%6.1f (%s) of 180.0 (03:00.0)  0.5%% \r", seconds, clock);
    return text;
}

void replay(const std::string &path, long long paceMicros)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return;
    std::string data;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        data.append(chunk, n);
    std::fclose(file);
    logEntry("out", "replay begins");
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find_first_of("\r\n", start);
        end = end == std::string::npos ? data.size() : end + 1;
        writeAll(1, data.data() + start, end - start);
        start = end;
        if (paceMicros > 0)
            usleep(useconds_t(paceMicros));
    }
    logEntry("out", "replay ends");
}

void run(const std::string &directive)
{
    const size_t space = directive.find(' ');
    const std::string word = directive.substr(0, space);
    const std::string rest =
        space == std::string::npos ? std::string() : directive.substr(space + 1);

    // "A ;; B" runs A, then B; an "on" rule keeps the whole sequence.
    const size_t sequence = directive.find(" ;; ");
    if (word != "on" && sequence != std::string::npos) {
        run(directive.substr(0, sequence));
        run(directive.substr(sequence + 4));
        return;
    }

    if (word == "line") {
        emitOut(1, unescape(rest) + "\n");
    } else if (word == "raw") {
        emitOut(1, unescape(rest));
    } else if (word == "err") {
        emitOut(2, unescape(rest) + "\n");
    } else if (word == "sleep") {
        pumpStdin(std::atoll(rest.c_str()));
    } else if (word == "busy") {
        const long long until = nowMicros() + std::atoll(rest.c_str()) * 1000;
        while (nowMicros() < until) {
        }
    } else if (word == "expect") {
        const std::string wanted = unescape(rest);
        while (!pumpStdin(-1, &wanted)) {
        }
    } else if (word == "on") {
        const size_t arrow = rest.find(" => ");
        if (arrow != std::string::npos)
            rules.emplace_back(unescape(rest.substr(0, arrow)), rest.substr(arrow + 4));
    } else if (word == "exit") {
        logEntry("exit", rest);
        std::exit(std::atoi(rest.c_str()));
    } else if (word == "kill") {
        logEntry("signal", rest);
        const int sig = std::atoi(rest.c_str());
        std::signal(sig, SIG_DFL);
        raise(sig);
    } else if (word == "ignore") {
        std::signal(std::atoi(rest.c_str()), SIG_IGN);
    } else if (word == "flood") {
        long long left = std::atoll(rest.c_str());
        const std::string block(65536, 'x');
        logEntry("out", "flood of " + rest + " bytes begins");
        while (left > 0) {
            const size_t n = size_t(left < 65536 ? left : 65536);
            if (!writeAll(1, block.data(), n))
                break;
            left -= n;
        }
        logEntry("out", "flood ends");
    } else if (word == "errflood") {
        long long left = std::atoll(rest.c_str());
        std::string block;
        while (block.size() < 65536 - 80)
            block += std::string(79, 'e') + "\n";
        logEntry("err", "flood of " + rest + " bytes begins");
        while (left > 0) {
            const size_t n = size_t(left < (long long)block.size() ? left : block.size());
            if (!writeAll(2, block.data(), n))
                break;
            left -= n;
        }
        logEntry("err", "flood ends");
    } else if (word == "status") {
        int count = 0;
        long long interval = 0;
        std::sscanf(rest.c_str(), "%d %lld", &count, &interval);
        for (int i = 0; i < count; ++i) {
            emitOut(1, statusText(i));
            if (interval > 0)
                pumpStdin(interval);
        }
    } else if (word == "replay") {
        char path[4096] = {0};
        long long pace = 0;
        std::sscanf(rest.c_str(), "%4095s %lld", path, &pace);
        replay(path, pace);
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (const char *log = std::getenv("MOVARA_ENGINE_LOG"))
        logPath = log;

    // The start block goes out in one write, "deathsig" last: readers take
    // an engine's start as whole once that entry is there.
    std::string start = entryText("start", std::to_string(argc));
    for (int i = 0; i < argc; ++i)
        start += entryText("arg", std::to_string(i) + " " + argv[i]);
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        start += entryText("cwd", cwd);
    int deathSignal = 0;
    prctl(PR_GET_PDEATHSIG, &deathSignal);
    start += entryText("deathsig", std::to_string(deathSignal));
    appendToLog(start);

    if (const char *scriptPath = std::getenv("MOVARA_SCRIPT")) {
        if (FILE *script = std::fopen(scriptPath, "r")) {
            std::vector<std::string> directives;
            char *line = nullptr;
            size_t capacity = 0;
            ssize_t length;
            while ((length = getline(&line, &capacity, script)) != -1) {
                std::string directive(line, size_t(length));
                while (!directive.empty() && (directive.back() == '\n'))
                    directive.pop_back();
                if (!directive.empty() && directive[0] != '#')
                    directives.push_back(directive);
            }
            std::free(line);
            std::fclose(script);
            for (const auto &directive : directives)
                run(directive);
        }
    }
    for (;;)
        pumpStdin(-1);
}
