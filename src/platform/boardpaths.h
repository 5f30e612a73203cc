#pragma once

#include <string>

// On a board without the phone's file system, each of the phone's folders
// and files may be put elsewhere by an environment variable:
//   MOVARA_VIDEO_ROOT, MOVARA_AUDIO_ROOT, MOVARA_PLAYLIST_ROOT, MOVARA_CARD_ROOT
//   (the four media roots), MOVARA_SYSTEM_CONFIG (brightness and display sleep
//   time) and MOVARA_SETTINGS_DIR (the program's own records).
// Returns the path where the phone's path is on this machine: the path itself
// unless it is one of those, or inside one, and its variable is set.
std::string boardPath(const std::string &phonePath);

// Whether the program runs on a board (MOVARA_BOARD=1): the phone's own
// device requests are not sent there.
bool onBoard();
