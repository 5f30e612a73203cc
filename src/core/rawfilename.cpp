#include "core/rawfilename.h"

#include <QFile>
#include <QUtf8StringView>

namespace {

constexpr char16_t RawBase = 0xDC00;

// The kept byte at i, or -1: the low half of a pair is a character's.
int rawByteAt(QStringView name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    if (c < 0xDC80 || c > 0xDCFF || (i > 0 && name[i - 1].isHighSurrogate()))
        return -1;
    return c - RawBase;
}

// The length of the valid UTF-8 sequence at p (end excluded), or 0.
qsizetype utf8Length(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    qsizetype n = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            low = 0xA0; // overlong
        else if (c == 0xED)
            high = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (end - p < n || p[1] < low || p[1] > high)
        return 0;
    for (qsizetype i = 2; i < n; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return n;
}

// Windows-1252 in 0x80..0x9f; its five holes stay Latin-1.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString fileNameFromRaw(const QByteArray &bytes)
{
    if (QUtf8StringView(bytes).isValidUtf8())
        return QString::fromUtf8(bytes);
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = begin + bytes.size();
    QString text;
    const unsigned char *run = begin;
    for (const unsigned char *p = begin; p < end;) {
        const qsizetype n = utf8Length(p, end);
        if (n > 0) {
            p += n;
            continue;
        }
        text += QString::fromUtf8(reinterpret_cast<const char *>(run), p - run);
        text += QChar(char16_t(RawBase + *p));
        run = ++p;
    }
    text += QString::fromUtf8(reinterpret_cast<const char *>(run), end - run);
    return text;
}

bool hasRawBytes(const QString &name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (rawByteAt(name, i) >= 0)
            return true;
    }
    return false;
}

QByteArray rawFileName(const QString &name)
{
    if (!hasRawBytes(name))
        return QFile::encodeName(name);
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int byte = rawByteAt(name, i);
        if (byte < 0)
            continue;
        bytes += QStringView(name).mid(run, i - run).toUtf8();
        bytes += char(byte);
        run = i + 1;
    }
    bytes += QStringView(name).mid(run).toUtf8();
    return bytes;
}

QString displayFileName(const QString &name)
{
    if (!hasRawBytes(name))
        return name;
    QString shown = name;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int byte = rawByteAt(name, i);
        if (byte >= 0)
            shown[i] = QChar(byte < 0xA0 ? Cp1252High[byte - 0x80] : char16_t(byte));
    }
    return shown;
}
