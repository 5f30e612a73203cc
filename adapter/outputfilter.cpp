#include "outputfilter.h"

#include "enginecommands.h"
#include "id3chapters.h"
#include "mpegaudiolength.h"

#include <cstdio>
#include <cstdlib>

const char *const OutputFilter::audioHeader = EngineOutput::audioFormat.data();

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string_view withoutEnd(std::string_view segment)
{
    if (!segment.empty() && (segment.back() == '\n' || segment.back() == '\r'))
        segment.remove_suffix(1);
    return segment;
}

// "A:   2.9 (02.8) of 3.0 (03.0) ...": the time, and the length after " of ".
// False for a piece that is no audio status.
bool statusTimes(std::string_view piece, double &elapsed, double &length)
{
    if (!startsWith(piece, EngineOutput::audioStatus))
        return false;
    const std::string text(piece.substr(0, 64));
    const char *from = text.c_str() + EngineOutput::audioStatus.size();
    char *end = nullptr;
    elapsed = std::strtod(from, &end);
    if (end == from)
        return false;
    const size_t of = text.find(EngineOutput::statusLengthMark);
    length = of == std::string::npos
                 ? 0
                 : std::strtod(text.c_str() + of + EngineOutput::statusLengthMark.size(), nullptr);
    return true;
}

} // namespace

std::string stripTerminalEscapes(std::string_view text)
{
    std::string out;
    stripTerminalEscapes(text, out);
    return out;
}

void stripTerminalEscapes(std::string_view text, std::string &out)
{
    out.reserve(out.size() + text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\x1b') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '[') {
            // Control sequence: parameter and intermediate bytes, then one final byte.
            size_t j = i + 2;
            while (j < text.size() && static_cast<unsigned char>(text[j]) >= 0x20 &&
                   static_cast<unsigned char>(text[j]) <= 0x3f)
                ++j;
            while (j < text.size() && static_cast<unsigned char>(text[j]) >= 0x20 &&
                   static_cast<unsigned char>(text[j]) <= 0x2f)
                ++j;
            const bool finalByte = j < text.size() && static_cast<unsigned char>(text[j]) >= 0x40 &&
                                   static_cast<unsigned char>(text[j]) <= 0x7e;
            i = finalByte ? j : j - 1;
        } else if (i + 1 < text.size() && text[i + 1] != '\n' && text[i + 1] != '\r') {
            ++i; // two-byte escape
        }
    }
}

std::string OutputFilter::feed(std::string_view chunk)
{
    std::string out;
    feed(chunk, out);
    return out;
}

bool OutputFilter::feed(std::string_view chunk, std::string &out)
{
    bool lineSeen = false;
    size_t start = 0;
    if (!pending.empty()) {
        // The piece the last chunk ended in the middle of.
        const size_t end = chunk.find_first_of("\n\r");
        if (end == std::string_view::npos) {
            pending.append(chunk);
            keepNewestPending();
            return true;
        }
        pending.append(chunk.substr(0, end + 1));
        lineSeen = takePiece(pending, out);
        pending.clear();
        start = end + 1;
    }
    for (size_t end = chunk.find_first_of("\n\r", start); end != std::string_view::npos;
         end = chunk.find_first_of("\n\r", start)) {
        lineSeen = takePiece(chunk.substr(start, end + 1 - start), out) || lineSeen;
        start = end + 1;
    }
    pending.assign(chunk.substr(start));
    keepNewestPending();
    passOnStatus(out);
    return lineSeen || !pending.empty();
}

// Pending text has no line end to cut at: its oldest bytes go.
void OutputFilter::keepNewestPending()
{
    if (pending.size() > maxPending)
        pending.erase(0, pending.size() - maxPending);
}

std::string OutputFilter::release()
{
    return joinHeld();
}

std::string OutputFilter::finish()
{
    std::string out;
    releaseLength(out);
    out += joinHeld();
    stripTerminalEscapes(pending, out);
    pending.clear();
    return out;
}

// Returns true for a line, false for a status piece or a bare carriage return.
bool OutputFilter::takePiece(std::string_view piece, std::string &out)
{
    if (piece.find('\x1b') != std::string_view::npos) {
        scratch.clear();
        stripTerminalEscapes(piece, scratch);
        piece = scratch;
    }
    if (piece.back() == '\r') {
        // A bare carriage return only moved the terminal's cursor.
        if (piece.size() > 1) {
            if (statusShown)
                status.assign(piece);
            double elapsed = 0, length = 0;
            const bool times = statusTimes(piece, elapsed, length);
            if (times && elapsed != elapsedSeconds && elapsedSeconds >= 0)
                ++advanced;
            if (times)
                elapsedSeconds = elapsed;
            // The engine's own length of a VBR MP3 is a guess from its first
            // frames: the counted one goes first.
            if (lengthCounted && mediumLength > 0)
                length = mediumLength;
            left = times && length > 0 ? length - elapsed : NAN;
        }
        return false;
    }
    passOnStatus(out);
    takeLine(piece, out);
    return true;
}

void OutputFilter::setMedium(std::string path)
{
    medium = std::move(path);
    lengthCounted = false;
    ownAudioDemuxer = false;
    elapsedSeconds = -1;
    left = NAN;
}

void OutputFilter::takeLine(std::string_view line, std::string &out)
{
    const std::string_view text = withoutEnd(line);
    // The engine's verbose level, there for its end-of-file line, also lists its config lookups.
    if (startsWith(text, "get_path("))
        return;
    if (startsWith(text, EngineOutput::playing)) {
        // A reply still being counted is the last medium's: it goes first, as
        // the engine gave it.
        releaseLength(out);
        ownAudioDemuxer = false;
        elapsedSeconds = -1;
        left = NAN;
        open = true;
    } else if (startsWith(text, EngineOutput::ended) || startsWith(text, EngineOutput::exiting)) {
        open = false;
    }
    if (startsWith(text, engineCommand(EngineCommandId::TimeLength).reply) && ownAudioDemuxer &&
        !medium.empty()) {
        if (!lengthCounted && counter) {
            if (!counter->result(medium, MpegAudioCount::HeaderFirst, mediumLength)) {
                // Counted off the relay's path; the reply waits for it, while
                // the engine's status goes on.
                counter->request(medium, MpegAudioCount::HeaderFirst);
                if (heldLength.empty()) {
                    heldLength = std::string(line);
                    heldFor = medium;
                }
                return;
            }
            lengthCounted = true;
        } else if (!lengthCounted) {
            mediumLength = mpegAudioLength(medium);
            lengthCounted = true;
        }
        passOn(correctedLengthReply(mediumLength, line), out);
        return;
    }
    // The engine's own MP3 reader lists no chapters: the tag's go in their place.
    if (ownAudioDemuxer && !medium.empty() && startsWith(text, EngineOutput::chapterCount) &&
        std::string(text) + '\n' == engineChapterCountLine(0)) {
        const std::string chapters = id3ChapterLines(medium);
        if (!chapters.empty()) {
            passOn(chapters, out);
            return;
        }
    }
    if (text == EngineOutput::ownAudioFormat) {
        ownAudioDemuxer = true;
        passOn(std::string(audioHeader) + '\n', out);
        return;
    }
    if (endsWith(text, EngineOutput::formatDetected)) {
        // A header of a container that may or may not carry video.
        out += joinHeld();
        held.emplace_back(line);
        return;
    }
    passOn(line, out);
}

void OutputFilter::takeCount(std::string &out)
{
    double seconds = 0;
    if (heldLength.empty() || !counter ||
        !counter->result(heldFor, MpegAudioCount::HeaderFirst, seconds))
        return;
    std::string line = std::move(heldLength);
    heldLength.clear();
    if (heldFor == medium) {
        mediumLength = seconds;
        lengthCounted = true;
    }
    passOn(correctedLengthReply(seconds, line), out);
}

void OutputFilter::releaseLength(std::string &out)
{
    if (heldLength.empty())
        return;
    const std::string line = std::move(heldLength);
    heldLength.clear();
    passOn(line, out);
}

void OutputFilter::passOnStatus(std::string &out)
{
    if (status.empty())
        return;
    passOn(status, out);
    status.clear();
}

void OutputFilter::passOn(std::string_view piece, std::string &out)
{
    if (held.empty()) {
        out += piece;
        return;
    }
    const std::string_view text = withoutEnd(piece);
    const bool isLine = piece.back() == '\n';
    const bool video = isLine && startsWith(text, EngineOutput::video);
    const bool audioOnly =
        isLine && (text == EngineOutput::noVideo || startsWith(text, EngineOutput::audioOut) ||
                   text == EngineOutput::starting);
    const bool givenUp = !isLine || startsWith(text, EngineOutput::playing) ||
                         startsWith(text, EngineOutput::exiting);
    held.emplace_back(piece);
    if (audioOnly)
        held.front() = std::string(audioHeader) + '\n';
    if (video || audioOnly || givenUp)
        out += joinHeld();
}

std::string OutputFilter::joinHeld()
{
    std::string out;
    for (const std::string &piece : held)
        out += piece;
    held.clear();
    return out;
}
