#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

// The engine's slave-mode commands as the program writes them, shared by the
// program and its engine adapter; plain C++ for the adapter's sake.

// What a command does to the engine's pause state.
enum class EnginePauseEffect {
    Keeps,   // a paused engine stays paused
    Toggles, // "pause"
    Ends,    // the engine plays on afterwards (a seek, a new medium)
    Quits,
};

enum class EngineCommandId {
    LoadList,
    LoadFile,
    Volume,
    Pause,
    Seek,
    FullScreen,
    Quit,
    TimeLength,
    Mute,
    KeyDown,
    ShowMenu,
    HideMenu,
    TimePosition,
};

struct EngineCommand
{
    EngineCommandId id;
    // The line's first word.
    std::string_view name;
    // The whole line; "%1" and "%2" are its arguments, in that order.
    std::string_view text;
    EnginePauseEffect pause;
    // What the engine's answer starts with, if the program reads one.
    std::string_view reply;
};

// In the order of EngineCommandId.
inline constexpr EngineCommand engineCommands[] = {
    {EngineCommandId::LoadList, "loadlist", "loadlist %1\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::LoadFile, "loadfile", "loadfile %1\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::Volume, "volume", "volume %1 100\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::Pause, "pause", "pause\n", EnginePauseEffect::Toggles, {}},
    {EngineCommandId::Seek, "seek", "seek %1 %2\n", EnginePauseEffect::Ends, {}},
    {EngineCommandId::FullScreen, "vo_fullscreen", "vo_fullscreen\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::Quit, "quit", "quit\n", EnginePauseEffect::Quits, {}},
    {EngineCommandId::TimeLength, "get_time_length", "get_time_length\n", EnginePauseEffect::Keeps,
     "ANS_LENGTH="},
    {EngineCommandId::Mute, "mute", "mute\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::KeyDown,
     "key_down_event",
     "key_down_event %1\n",
     EnginePauseEffect::Keeps,
     {}},
    {EngineCommandId::ShowMenu, "set_menu", "set_menu main\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::HideMenu, "menu", "menu hide\n", EnginePauseEffect::Keeps, {}},
    {EngineCommandId::TimePosition, "get_time_pos", "get_time_pos\n", EnginePauseEffect::Keeps, {}},
};

constexpr const EngineCommand &engineCommand(EngineCommandId id)
{
    return engineCommands[static_cast<std::size_t>(id)];
}

// The command a line's first word names, or null.
constexpr const EngineCommand *findEngineCommand(std::string_view name)
{
    for (const EngineCommand &command : engineCommands)
        if (command.name == name)
            return &command;
    return nullptr;
}

namespace enginecommands_check {
constexpr bool inIdOrder()
{
    for (std::size_t i = 0; i < std::size(engineCommands); ++i)
        if (static_cast<std::size_t>(engineCommands[i].id) != i)
            return false;
    return true;
}
static_assert(inIdOrder(), "engineCommands must follow EngineCommandId");
} // namespace enginecommands_check
