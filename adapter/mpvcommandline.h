#pragma once

#include <string>
#include <vector>

// How mpv is run in the engine's place: its options, worked out from the
// engine argument list the adapter would give MPlayer, so that both engines
// get the same drivers, window and picture.
struct MpvCommandLine
{
    std::vector<std::string> arguments; // without the program name
    std::vector<std::string> media;     // the files named on the command line, in order
    std::string audioDriver;            // the first driver of each list, for the header lines
    std::string videoDriver;
};

// ipcFd is the descriptor mpv finds its IPC socket on.
MpvCommandLine mpvCommandLine(const std::vector<std::string> &engineArguments, int ipcFd);

// MPlayer's video filter chain ("rotate=10,scale=-2:320,crop=240:320") as an
// lavfi graph for mpv; filters without a counterpart are left out. Empty
// when nothing is left.
std::string mpvVideoFilters(const std::string &chain);
