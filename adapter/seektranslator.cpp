#include "seektranslator.h"

#include "enginecommands.h"
#include "mpegaudiolength.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string_view firstWord(std::string_view line, size_t &end)
{
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        end = line.size();
        return {};
    }
    end = std::min(line.find_first_of(" \t\r\n", start), line.size());
    return line.substr(start, end - start);
}

// The command a line names, or null.
const EngineCommand *commandOf(std::string_view line, size_t &end)
{
    return findEngineCommand(firstWord(line, end));
}

bool is(const EngineCommand *command, EngineCommandId id)
{
    return command && command->id == id;
}

} // namespace

bool SeekTranslator::seekTarget(std::string_view line, double elapsed, double &target)
{
    size_t at = 0;
    if (!is(commandOf(line, at), EngineCommandId::Seek))
        return false;
    const std::string rest(line.substr(at));
    const char *text = rest.c_str();
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || std::isnan(value))
        return false;
    text = end;
    const long type = std::strtol(text, &end, 10);
    if (end != text && *end != '\0' && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n')
        return false;
    const std::optional<EngineSeekMode> mode = engineSeekMode(double(type));
    if (mode == EngineSeekMode::Absolute)
        target = value;
    else if (mode == EngineSeekMode::Relative)
        target = std::max(elapsed, 0.0) + value;
    else
        return false; // a percentage, or no seek the engine knows
    return true;
}

double SeekTranslator::playableLength(const std::string &mediumPath)
{
    if (mediumPath != countedPath) {
        countedPath = mediumPath;
        countedLength = -1;
        counting = counter && !mediumPath.empty();
        if (counting)
            counter->request(mediumPath, MpegAudioCount::EveryFrame);
        else if (!mediumPath.empty())
            countedLength = mpegAudioLength(mediumPath, MpegAudioCount::EveryFrame);
    }
    if (counting && counter->result(mediumPath, MpegAudioCount::EveryFrame, countedLength))
        counting = false;
    return counting ? std::nan("") : countedLength;
}

std::string SeekTranslator::takeCount(const std::string &mediumPath, double elapsed)
{
    if (held.empty() || std::isnan(playableLength(mediumPath)))
        return std::string();
    const std::string lines = std::move(held);
    held.clear();
    return rewrite(lines, mediumPath, elapsed);
}

std::string SeekTranslator::rewrite(std::string_view lines, const std::string &mediumPath,
                                    double elapsed)
{
    // The engine has shown where the last seek landed, or has had time enough to.
    if (mediumPath != countedPath || std::abs(elapsed - lastTarget) < 1 ||
        std::chrono::steady_clock::now() - lastSent > std::chrono::seconds(1))
        lastTarget = -1;
    std::string out;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        end = end == std::string_view::npos ? lines.size() : end + 1;
        const std::string_view line = lines.substr(start, end - start);
        size_t wordEnd = 0;
        const EngineCommand *command = commandOf(line, wordEnd);
        if (is(command, EngineCommandId::LoadList) || is(command, EngineCommandId::LoadFile)) {
            // Whatever follows is for a medium the engine has yet to open; seeks
            // held for this one are of no use.
            held.clear();
            out.append(lines.substr(start));
            return out;
        }
        if (is(command, EngineCommandId::Quit) || is(command, EngineCommandId::Stop))
            held.clear();
        // Behind a held seek, seeks wait too, in order; other commands go on.
        const bool seek = is(command, EngineCommandId::Seek);
        if (seek && !held.empty()) {
            held.append(line);
            start = end;
            continue;
        }
        double target = 0;
        const double from = lastTarget >= 0 ? lastTarget : elapsed;
        double length = seek && seekTarget(line, from, target) ? playableLength(mediumPath) : -1;
        if (std::isnan(length)) {
            // Still counting: a target short of what is counted so far goes now.
            const double sure = counter->progress(mediumPath, MpegAudioCount::EveryFrame);
            if (target > sure - endMargin) {
                held.append(line);
                start = end;
                continue;
            }
            length = sure;
        }
        if (length > 0) {
            target = std::clamp(target, 0.0, std::max(0.0, length - endMargin));
            lastTarget = target;
            lastSent = std::chrono::steady_clock::now();
            char text[48];
            std::snprintf(text, sizeof text, "%.2f", target);
            const std::string_view mode = engineSeekModeText(EngineSeekMode::Absolute);
            out += std::string(engineCommand(EngineCommandId::Seek).name) + ' ' + text + ' ' +
                   std::string(mode) + '\n';
        } else {
            out.append(line);
        }
        start = end;
    }
    return out;
}
