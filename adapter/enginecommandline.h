#pragma once

#include <string>
#include <vector>

// What of the environment decides how the engine is run.
struct EngineEnvironment
{
    std::string display;      // DISPLAY: empty without an X server
    std::string screenWindow; // MOVARA_SCREEN_WID: the phone screen's X window, if any
    std::string audioDrivers; // MOVARA_MPLAYER_AO: replaces the audio driver list
    std::string videoDrivers; // MOVARA_MPLAYER_VO: replaces the video driver list
    std::string mixer;        // MOVARA_MPLAYER_MIXER: replaces the mixer the front-end names
    bool soundServer = false; // a PulseAudio (or compatible) socket is there
    bool soundCard = false;   // ALSA devices are there
};

EngineEnvironment engineEnvironmentFromProcess();

// The engine's argument list (without the program name) for the front-end's
// arguments: the options the desktop's engine rejects are dropped, and audio
// and video drivers that work on this machine come first, so that they hold
// for every file of the playlist.
std::vector<std::string> engineArguments(const std::vector<std::string> &frontEndArguments,
                                         const EngineEnvironment &environment);

// The X window id that text holds, decimal or 0x-hexadecimal, or 0 when it holds none.
unsigned long long parseWindowId(const std::string &text);
