#pragma once

#include <string>

// The playing time of an MPEG audio file (MP3 and its kin), counted from its
// frames: the engine guesses a VBR file's length from its first frames and
// keeps the guess. Uses the frame count of a Xing or VBRI header where there
// is one, else walks every frame; EveryFrame walks them all the same, for the
// length of what is really there (a cut-off download keeps its header's
// count). Returns seconds, or a negative number when the file is not MPEG
// audio from its start (after an ID3v2 tag).
enum class MpegAudioCount { HeaderFirst, EveryFrame };
double mpegAudioLength(const std::string &path, MpegAudioCount count = MpegAudioCount::HeaderFirst);
