#include "id3chapters.h"

#include "enginecommands.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The most of one CHAP frame read; the most chapters kept.
constexpr size_t maxChapterFrame = 1 << 20;
constexpr size_t maxChapters = 65536;
constexpr size_t frameHeaderSize = 10;

// Reads count bytes at offset into out; false when they are not all there.
using ReadAt = std::function<bool(size_t offset, size_t count, std::string &out)>;

uint32_t bigEndian(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t syncSafe(const unsigned char *p)
{
    return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
           (p[3] & 0x7F);
}

const unsigned char *bytesOf(std::string_view text)
{
    return reinterpret_cast<const unsigned char *>(text.data());
}

// Each 0xFF 0x00 back to 0xFF.
std::string resynchronised(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        out += data[i];
        if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == 0)
            ++i;
    }
    return out;
}

void appendUtf8(std::string &out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A text frame's first string, as UTF-8: its first byte names the encoding.
std::string frameText(std::string_view body)
{
    if (body.empty())
        return {};
    const unsigned char encoding = static_cast<unsigned char>(body[0]);
    body.remove_prefix(1);
    std::string out;
    if (encoding == 0) { // Latin-1
        for (const char c : body.substr(0, body.find('\0')))
            appendUtf8(out, static_cast<unsigned char>(c));
    } else if (encoding == 3) { // UTF-8
        out.assign(body.substr(0, body.find('\0')));
    } else if (encoding == 1 || encoding == 2) { // UTF-16 with a byte order mark, UTF-16BE
        const unsigned char *b = bytesOf(body);
        bool big = encoding == 2;
        size_t i = 0;
        if (encoding == 1 && body.size() >= 2 && (b[0] == 0xFF || b[0] == 0xFE)) {
            big = b[0] == 0xFE;
            i = 2;
        }
        auto unit = [&](size_t at) {
            return big ? b[at] << 8 | b[at + 1] : b[at + 1] << 8 | b[at];
        };
        for (; i + 1 < body.size(); i += 2) {
            uint32_t c = uint32_t(unit(i));
            if (c == 0)
                break;
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < body.size() && unit(i + 2) >= 0xDC00 &&
                unit(i + 2) < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(unit(i + 2)) - 0xDC00);
                i += 2;
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD;
            }
            appendUtf8(out, c);
        }
    }
    return out;
}

struct Frame
{
    std::string id;
    size_t size = 0; // of the body, as stored
    unsigned flags = 0;
};

// The frame header at h, or false for padding or anything that is no frame.
bool frameHeader(const unsigned char *h, int version, Frame &frame)
{
    for (int i = 0; i < 4; ++i)
        if (!((h[i] >= 'A' && h[i] <= 'Z') || (h[i] >= '0' && h[i] <= '9')))
            return false;
    frame.id.assign(reinterpret_cast<const char *>(h), 4);
    frame.size = version == 4 ? syncSafe(h + 4) : bigEndian(h + 4);
    frame.flags = unsigned(h[8]) << 8 | h[9];
    return true;
}

// A frame's content without what its flags add before it, or false for a
// compressed or encrypted one.
bool frameContent(std::string &body, const Frame &frame, int version, bool tagUnsynchronised)
{
    size_t skip = 0;
    if (version == 3) {
        if (frame.flags & 0xC0)
            return false;
        skip = (frame.flags & 0x20) ? 1 : 0; // group
    } else {
        if (frame.flags & 0x0C)
            return false;
        skip = ((frame.flags & 0x40) ? 1 : 0) + ((frame.flags & 0x01) ? 4 : 0);
        if ((frame.flags & 0x02) || tagUnsynchronised)
            body = resynchronised(body);
    }
    if (skip > body.size())
        return false;
    body.erase(0, skip);
    return true;
}

// Calls take for each frame from `from` to `end` that it wants read, with its body.
void walkFrames(const ReadAt &read, size_t from, size_t end, int version, bool tagUnsynchronised,
                const std::function<bool(const Frame &)> &wanted,
                const std::function<void(const Frame &, std::string &)> &take)
{
    std::string bytes;
    while (from + frameHeaderSize <= end && read(from, frameHeaderSize, bytes)) {
        Frame frame;
        if (!frameHeader(bytesOf(bytes), version, frame) ||
            frame.size > end - from - frameHeaderSize)
            return;
        if (wanted(frame) && read(from + frameHeaderSize, frame.size, bytes) &&
            frameContent(bytes, frame, version, tagUnsynchronised))
            take(frame, bytes);
        from += frameHeaderSize + frame.size;
    }
}

// A CHAP frame's content: its element name, times, byte offsets, then frames.
void readChapter(std::string_view body, int version, std::vector<Id3Chapter> &chapters)
{
    const size_t nameEnd = body.find('\0');
    if (nameEnd == std::string_view::npos || body.size() < nameEnd + 1 + 16)
        return;
    const unsigned char *times = bytesOf(body) + nameEnd + 1;
    Id3Chapter chapter;
    chapter.startMs = bigEndian(times);
    chapter.endMs = bigEndian(times + 4);
    const std::string_view inside = body.substr(nameEnd + 1 + 16);
    const ReadAt read = [inside](size_t offset, size_t count, std::string &out) {
        if (offset > inside.size() || count > inside.size() - offset)
            return false;
        out.assign(inside.substr(offset, count));
        return true;
    };
    walkFrames(
        read, 0, inside.size(), version, false,
        [](const Frame &frame) { return frame.id == "TIT2"; },
        [&chapter](const Frame &, std::string &text) {
            if (chapter.title.empty())
                chapter.title = frameText(text);
        });
    chapters.push_back(std::move(chapter));
}

} // namespace

std::vector<Id3Chapter> id3Chapters(const std::string &path)
{
    std::vector<Id3Chapter> chapters;
    // Regular files only: opening a pipe would wait for a writer for good.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return chapters;
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const ReadAt read = [fd](size_t offset, size_t count, std::string &out) {
        out.resize(count);
        size_t done = 0;
        while (done < count) {
            const ssize_t n = pread(fd, out.data() + done, count - done, off_t(offset + done));
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    };
    std::string header;
    // A 2.3 tag unsynchronised as a whole (frame headers included) is rare: left unread.
    if (!regular || !read(0, 10, header) || header.compare(0, 3, "ID3") != 0 ||
        (header[3] != 3 && header[3] != 4) || (header[3] == 3 && (header[5] & 0x80))) {
        close(fd);
        return chapters;
    }
    const int version = header[3];
    const unsigned flags = static_cast<unsigned char>(header[5]);
    const size_t end = std::min(10 + size_t(syncSafe(bytesOf(header) + 6)), size_t(info.st_size));
    size_t from = 10;
    std::string extended;
    if ((flags & 0x40) && read(from, 4, extended)) {
        const uint32_t size =
            version == 3 ? 4 + bigEndian(bytesOf(extended)) : syncSafe(bytesOf(extended));
        from += size;
    }
    walkFrames(
        read, from, end, version, (flags & 0x80) != 0,
        [&chapters](const Frame &frame) {
            return frame.id == "CHAP" && frame.size <= maxChapterFrame &&
                   chapters.size() < maxChapters;
        },
        [&chapters, version](const Frame &, std::string &body) {
            readChapter(body, version, chapters);
        });
    close(fd);
    std::stable_sort(
        chapters.begin(), chapters.end(),
        [](const Id3Chapter &a, const Id3Chapter &b) { return a.startMs < b.startMs; });
    return chapters;
}

std::string id3ChapterLines(const std::string &path)
{
    const std::vector<Id3Chapter> chapters = id3Chapters(path);
    if (chapters.empty())
        return {};
    std::string lines;
    for (size_t i = 0; i < chapters.size(); ++i)
        lines += engineChapterLines(i, chapters[i].startMs, chapters[i].endMs, chapters[i].title);
    return lines + engineChapterCountLine(chapters.size());
}
