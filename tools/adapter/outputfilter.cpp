#include "outputfilter.h"

const char *const OutputFilter::audioHeader = "Audio file file format detected.";

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

} // namespace

std::string stripTerminalEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
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
    return out;
}

std::string OutputFilter::feed(std::string_view chunk)
{
    std::string out;
    pending.append(chunk);
    size_t start = 0;
    for (size_t i = 0; i < pending.size(); ++i) {
        if (pending[i] == '\n' || pending[i] == '\r') {
            takeSegment(pending.substr(start, i + 1 - start), out);
            start = i + 1;
        }
    }
    pending.erase(0, start);
    return out;
}

std::string OutputFilter::release()
{
    return joinHeld();
}

std::string OutputFilter::finish()
{
    std::string out = joinHeld();
    if (!pending.empty())
        out += stripTerminalEscapes(pending);
    pending.clear();
    return out;
}

void OutputFilter::takeSegment(std::string segment, std::string &out)
{
    segment = stripTerminalEscapes(segment);
    // A bare carriage return only moved the terminal's cursor.
    if (segment == "\r")
        return;

    const bool isLine = segment.back() == '\n';
    const std::string_view text = withoutEnd(segment);

    if (isLine && text == "Audio only file format detected.") {
        passOn(std::string(audioHeader) + '\n', out);
        return;
    }
    if (isLine && endsWith(text, " file format detected.")) {
        // A header of a container that may or may not carry video.
        out += joinHeld();
        held.push_back(std::move(segment));
        return;
    }
    passOn(std::move(segment), out);
}

void OutputFilter::passOn(std::string segment, std::string &out)
{
    if (held.empty()) {
        out += segment;
        return;
    }
    const std::string_view text = withoutEnd(segment);
    const bool isLine = segment.back() == '\n';
    const bool video = isLine && startsWith(text, "VIDEO:");
    const bool audioOnly = isLine && (text == "Video: no video" || startsWith(text, "AO: ") ||
                                      text == "Starting playback...");
    const bool givenUp = !isLine || startsWith(text, "Playing ") || startsWith(text, "Exiting...");
    held.push_back(std::move(segment));
    if (audioOnly)
        held.front() = std::string(audioHeader) + '\n';
    if (video || audioOnly || givenUp)
        out += joinHeld();
}

std::string OutputFilter::joinHeld()
{
    std::string out;
    for (const std::string &segment : held)
        out += segment;
    held.clear();
    return out;
}
