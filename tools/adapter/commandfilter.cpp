#include "commandfilter.h"

#include "player/enginecommands.h"

std::string CommandFilter::feed(std::string_view chunk)
{
    std::string out;
    pending.append(chunk);
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        const std::string_view line = std::string_view(pending).substr(start, end + 1 - start);
        start = end + 1;
        if (isQueued(line))
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

bool CommandFilter::isQueued(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos || last < first + 10)
        return false;
    const std::string_view text = line.substr(first, last + 1 - first);
    return (text.substr(0, 9) == "loadlist " || text.substr(0, 9) == "loadfile ") &&
           text.substr(text.size() - 2) == " 1";
}

std::string CommandFilter::finish()
{
    std::string out;
    if (!pending.empty() && isQueued(pending))
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
    return "pausing_keep_force " + std::string(line.substr(first));
}
