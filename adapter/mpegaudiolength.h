#pragma once

#include <atomic>
#include <string>
#include <string_view>

// The playing time of an MPEG audio file (MP3 and its kin), counted from its
// frames: the engine guesses a VBR file's length from its first frames and
// keeps the guess. Uses the frame count of a Xing or VBRI header where there
// is one, else walks every frame; EveryFrame walks them all the same, for the
// length of what is really there (a cut-off download keeps its header's
// count). Returns seconds, or a negative number when the file is not MPEG
// audio from its start (after an ID3v2 tag).
//
// A walk over a whole file takes seconds on slow storage: it may be watched
// from another thread (the seconds counted so far) and stopped (the result is
// then negative).
enum class MpegAudioCount { HeaderFirst, EveryFrame };
struct MpegAudioWatch
{
    const std::atomic<bool> *stop = nullptr;
    std::atomic<double> *progress = nullptr;
    bool *walkedAll = nullptr; // set when every frame was walked (no header count used)
};
double mpegAudioLength(const std::string &path, MpegAudioCount count = MpegAudioCount::HeaderFirst,
                       const MpegAudioWatch &watch = {});

// The answer to a length request for a medium whose frames were counted:
// `counted` seconds when the count found any, else the engine's own reply.
std::string correctedLengthReply(double counted, std::string_view engineReply);
