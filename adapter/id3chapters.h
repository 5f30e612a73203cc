#pragma once

#include <string>
#include <vector>

// The chapters of an MP3's ID3v2 tag (versions 2.3 and 2.4): its CHAP frames,
// each titled by the TIT2 frame inside it. The engine's own MP3 reader, which
// counts its way to a seek's time, does not list them; the library's reader
// that does cannot be chosen for one medium of a running engine.
struct Id3Chapter
{
    long long startMs = 0;
    long long endMs = 0;
    std::string title; // UTF-8; empty without a TIT2 frame
};

// Ordered by their start. Empty for a file without an ID3v2 tag at its start,
// without chapters, or whose tag cannot be read.
std::vector<Id3Chapter> id3Chapters(const std::string &path);

// The engine's identification lines for them, the count last; empty when
// there are none.
std::string id3ChapterLines(const std::string &path);
