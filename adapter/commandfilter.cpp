#include "commandfilter.h"

#include "enginecommands.h"
#include "enginevolume.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

CommandFilter::CommandFilter() : rate(EngineStatusRate::shown) {}

std::string CommandFilter::feed(std::string_view chunk)
{
    std::string out;
    pending.append(chunk);
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        const std::string_view line = std::string_view(pending).substr(start, end + 1 - start);
        start = end + 1;
        if (isQueued(line) || !notePauseAndRate(line))
            continue;
        noteLoadList(line);
        out += rewrite(line);
    }
    pending.erase(0, start);
    return out;
}

bool CommandFilter::takeLoadList(std::string &path)
{
    if (!loadListSeen)
        return false;
    path = loadList;
    loadListSeen = false;
    return true;
}

void CommandFilter::noteLoadList(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t");
    const std::string_view name = engineCommand(EngineCommandId::LoadList).name;
    if (first == std::string_view::npos || line.substr(first, name.size()) != name ||
        line.substr(first + name.size(), 1) != " ")
        return;
    const size_t from = line.find_first_not_of(" \t", first + name.size() + 1);
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (from == std::string_view::npos || last < from)
        return;
    loadList.assign(line.substr(from, last + 1 - from));
    loadListSeen = true;
}

void CommandFilter::setMediumOpen(bool open)
{
    mediumOpen = open;
    if (!open)
        pauseOn = false;
}

bool CommandFilter::notePauseAndRate(std::string_view line)
{
    size_t at = line.find_first_not_of(" \t\r\n");
    if (at == std::string_view::npos)
        return true;
    auto nextWord = [&line, &at] {
        const size_t end = std::min(line.find_first_of(" \t\r\n", at), line.size());
        const std::string_view word = line.substr(at, end - at);
        at = std::min(line.find_first_not_of(" \t", end), line.size());
        return word;
    };
    std::string_view word = nextWord();
    std::string_view prefix;
    if (word.substr(0, EnginePausePrefix::pausing.size()) == EnginePausePrefix::pausing) {
        prefix = word;
        word = nextWord();
    }
    const EngineCommand *command = findEngineCommand(word);
    if (!command)
        return true;
    if (command->id == EngineCommandId::StatusRate) {
        if (const std::optional<int> asked = EngineStatusRate::parse(line.substr(at)))
            rate = *asked;
        return false;
    }
    // A quitting engine must be free to.
    if (command->pause == EnginePauseEffect::Quits)
        setMediumOpen(false);
    switch (enginePauseChange(command->pause, prefix)) {
    case EnginePauseChange::Pause:
        pauseOn = pauseOn || mediumOpen;
        break;
    case EnginePauseChange::Toggle:
        pauseOn = !pauseOn && mediumOpen;
        break;
    case EnginePauseChange::Resume:
        pauseOn = false;
        break;
    case EnginePauseChange::None:
        break;
    }
    return true;
}

bool CommandFilter::isQueued(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos || last < first + 10)
        return false;
    const std::string_view text = line.substr(first, last + 1 - first);
    const size_t space = text.find(' ');
    if (space == std::string_view::npos)
        return false;
    const EngineCommand *command = findEngineCommand(text.substr(0, space));
    if (!command ||
        (command->id != EngineCommandId::LoadList && command->id != EngineCommandId::LoadFile))
        return false;
    EngineLoadMode mode = EngineLoadMode::Replace;
    engineLoadName(text.substr(space + 1), mode);
    return mode == EngineLoadMode::Append;
}

std::string CommandFilter::finish()
{
    std::string out;
    if (!pending.empty() && (isQueued(pending) || !notePauseAndRate(pending)))
        pending.clear();
    if (!pending.empty())
        out = rewrite(pending) + '\n';
    pending.clear();
    return out;
}

std::string CommandFilter::rewrite(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::string(line);
    const size_t wordEnd = line.find_first_of(" \t\r\n", first);
    const std::string_view word = line.substr(first, wordEnd - first);
    if (word.substr(0, 7) == "pausing")
        return std::string(line);
    // A command that changes the pause state on purpose goes through unchanged.
    const EngineCommand *command = findEngineCommand(word);
    if (command && command->pause != EnginePauseEffect::Keeps)
        return std::string(line);
    std::string out = "pausing_keep_force " + std::string(line.substr(first));
    // An absolute volume in the engine's own scale.
    if (word == engineCommand(EngineCommandId::Volume).name)
        out = "pausing_keep_force " + mplayerVolumeCommand(line.substr(first));
    return out;
}

std::string CommandFilter::mplayerVolumeCommand(std::string_view line)
{
    char name[16];
    double volume = 0;
    int absolute = 0;
    char rest = 0;
    const std::string copy(line);
    if (std::sscanf(copy.c_str(), "%15s %lf %d %c", name, &volume, &absolute, &rest) != 3 ||
        absolute == 0 || !std::isfinite(volume))
        return copy;
    const bool lineEnd = !copy.empty() && copy.back() == '\n';
    return std::string(name) + ' ' + EngineVolume::text(EngineVolume::mplayerVolume(volume)) + ' ' +
           std::to_string(absolute) + (lineEnd ? "\n" : "");
}
