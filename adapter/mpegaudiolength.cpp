#include "mpegaudiolength.h"

#include "enginecommands.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct FrameHeader
{
    int size = 0;    // bytes, header included
    int samples = 0; // per channel
    int rate = 0;    // Hz
    bool mono = false;
    bool mpeg1 = false;
};

bool parseHeader(const unsigned char *h, FrameHeader &frame)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    const int version = (h[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (h[1] >> 1) & 3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int bitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int rates[3] = {44100, 48000, 32000};
    frame.mpeg1 = version == 3;
    const int layerNumber = 4 - layer;
    const int kbps = bitrates[frame.mpeg1 ? 0 : 1][layerNumber - 1][bitrateIndex];
    frame.rate = rates[rateIndex] >> (frame.mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int padding = (h[2] >> 1) & 1;
    if (layerNumber == 1) {
        frame.samples = 384;
        frame.size = (12 * kbps * 1000 / frame.rate + padding) * 4;
    } else {
        frame.samples = layerNumber == 3 && !frame.mpeg1 ? 576 : 1152;
        frame.size = frame.samples / 8 * kbps * 1000 / frame.rate + padding;
    }
    frame.mono = (h[3] >> 6) == 3;
    return frame.size > 4;
}

uint32_t bigEndian(const unsigned char *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The frame count a first frame carries as a Xing/Info or VBRI header, or 0.
uint32_t headerFrameCount(const unsigned char *frame, const FrameHeader &header)
{
    const int sideInfo = header.mpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
    const unsigned char *xing = frame + 4 + sideInfo;
    if (4 + sideInfo + 12 <= header.size &&
        (std::memcmp(xing, "Xing", 4) == 0 || std::memcmp(xing, "Info", 4) == 0))
        return (xing[7] & 1) ? bigEndian(xing + 8) : 0;
    const unsigned char *vbri = frame + 36;
    if (36 + 18 <= header.size && std::memcmp(vbri, "VBRI", 4) == 0)
        return bigEndian(vbri + 14);
    return 0;
}

} // namespace

namespace {

// Reads a file front to back, keeping the bytes from the reading place on.
class ForwardReader
{
public:
    explicit ForwardReader(FILE *file) : file(file) {}

    // True when at least count bytes lie from the reading place on.
    bool has(size_t count)
    {
        if (buffer.size() - at >= count)
            return true;
        buffer.erase(buffer.begin(), buffer.begin() + long(at));
        at = 0;
        unsigned char chunk[65536];
        while (buffer.size() < count) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, file);
            if (n == 0)
                return false;
            buffer.insert(buffer.end(), chunk, chunk + n);
        }
        return true;
    }
    const unsigned char *data() const { return buffer.data() + at; }
    void skip(size_t count) { at += count; }
    // Passes over count bytes that may reach far past what is read: those
    // beyond are sought over, never read. False when the file ends before.
    bool skipFar(size_t count)
    {
        const size_t kept = buffer.size() - at;
        if (count <= kept) {
            at += count;
            return true;
        }
        buffer.clear();
        at = 0;
        const off_t beyond = off_t(count - kept);
        struct stat info;
        const off_t here = ftello(file);
        if (here < 0 || fstat(fileno(file), &info) != 0 || beyond > info.st_size - here)
            return false;
        return fseeko(file, beyond, SEEK_CUR) == 0;
    }

private:
    FILE *file;
    std::vector<unsigned char> buffer;
    size_t at = 0;
};

double framesLength(ForwardReader &reader, bool headerCountTrusted, const MpegAudioWatch &watch)
{
    // An ID3v2 tag (up to 256 MB, as its size says) is passed over unread.
    if (reader.has(10) && std::memcmp(reader.data(), "ID3", 3) == 0) {
        const unsigned char *tag = reader.data();
        const size_t tagSize = size_t(tag[6] & 0x7F) << 21 | size_t(tag[7] & 0x7F) << 14 |
                               size_t(tag[8] & 0x7F) << 7 | size_t(tag[9] & 0x7F);
        const size_t total = 10 + tagSize + ((tag[5] & 0x10) ? 10 : 0);
        if (!reader.skipFar(total))
            return -1;
    }
    // The first frame must start there, a little padding aside, and two more
    // must follow it: a stray sync word in another format is no stream.
    FrameHeader first;
    for (int padding = 0; !(reader.has(4) && parseHeader(reader.data(), first)); ++padding) {
        if (padding == 4096 || !reader.has(4))
            return -1;
        reader.skip(1);
    }
    size_t offset = 0;
    for (int frame = 0; frame < 3; ++frame) {
        FrameHeader header;
        if (!reader.has(offset + 4) || !parseHeader(reader.data() + offset, header))
            return -1;
        offset += size_t(header.size);
    }
    if (headerCountTrusted && reader.has(size_t(first.size))) {
        const uint32_t frames = headerFrameCount(reader.data(), first);
        if (frames > 0)
            return double(frames) * first.samples / first.rate;
    }
    if (watch.walkedAll)
        *watch.walkedAll = true;
    // What is not a frame (a trailing tag, a damaged stretch) is passed over
    // byte by byte up to the next header.
    double seconds = 0;
    for (unsigned frames = 0; reader.has(4); ++frames) {
        if ((frames & 1023) == 0) {
            if (watch.stop && watch.stop->load(std::memory_order_relaxed))
                return -1;
            if (watch.progress)
                watch.progress->store(seconds, std::memory_order_relaxed);
        }
        FrameHeader frame;
        if (!parseHeader(reader.data(), frame)) {
            reader.skip(1);
            continue;
        }
        if (!reader.has(size_t(frame.size)))
            break;
        seconds += double(frame.samples) / frame.rate;
        reader.skip(size_t(frame.size));
    }
    return seconds;
}

} // namespace

double mpegAudioLength(const std::string &path, MpegAudioCount count, const MpegAudioWatch &watch)
{
    // Regular files only: opening a pipe would wait for a writer for good.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0)
        return -1;
    FILE *file = nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, 0) != 0 ||
        !(file = fdopen(fd, "rb"))) {
        close(fd);
        return -1;
    }
    ForwardReader reader(file);
    const double seconds = framesLength(reader, count == MpegAudioCount::HeaderFirst, watch);
    std::fclose(file);
    return seconds;
}

std::string correctedLengthReply(double counted, std::string_view engineReply)
{
    return counted > 0 ? engineLengthReply(counted) : std::string(engineReply);
}
