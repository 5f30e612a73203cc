#include "player/mvengineoutput.h"

#include "protocol/enginecommands.h"

#include <QRegularExpression>

#include <cstring>
#include <utility>

namespace {

QLatin1StringView word(std::string_view text)
{
    return QLatin1StringView(text.data(), qsizetype(text.size()));
}

QByteArrayView bytes(std::string_view text)
{
    return QByteArrayView(text.data(), qsizetype(text.size()));
}

// What the engine prints when it cannot play a medium, on standard output or
// standard error.
const std::string_view cannotPlayTexts[] = {
    "av_open_input_stream() failed", // no demuxer of the library reads the file
    "moov atom not found",           // an .mp4 without its index: cut short, or not an .mp4
    EngineOutput::fileNotFound,      // the name the engine read does not exist
    EngineOutput::unknownFormat,     EngineOutput::noStream,
};

enum class Refusal { None, Said, Reasoned };

// Whether the line refuses the medium, and whether it gives the engine's
// reason after the words ("WORDS (reason)"): its last word on the medium.
Refusal refusalIn(const QString &line)
{
    for (const std::string_view text : cannotPlayTexts) {
        const qsizetype at = line.indexOf(word(text));
        if (at < 0)
            continue;
        const bool reasoned =
            line.endsWith(word(EngineOutput::reasonClose)) &&
            line.indexOf(word(EngineOutput::reasonOpen), at + qsizetype(text.size())) >= 0;
        return reasoned ? Refusal::Reasoned : Refusal::Said;
    }
    return Refusal::None;
}

const QRegularExpression lengthNumberPattern(QStringLiteral("[0-9]*\\.[0-9]+"));

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

const char *find(const char *from, const char *end, char c)
{
    return static_cast<const char *>(std::memchr(from, c, size_t(end - from)));
}

// The elapsed time in the engine's status output, read from the raw bytes
// (a status output comes every few tens of milliseconds). The status span
// is the first "A:" that a digit and ")" follow later on its line, cut
// after the first ")" past the "A:". The time is what lies between the
// span's first "(" and that ")", which must close a digit, a dot and a
// digit with at least one character before them. Returns the time, with
// isTime set; the span when it holds no time; "%1" when there is no span.
QString statusElapsedText(const QByteArray &bytes, bool *isTime)
{
    *isTime = false;
    const char *const end = bytes.constData() + bytes.size();
    for (const char *line = bytes.constData(); line < end;) {
        const char *lineEnd = find(line, end, '\n');
        if (!lineEnd)
            lineEnd = end;
        const char *span = find(line, lineEnd, 'A');
        while (span && (span + 1 == lineEnd || span[1] != ':'))
            span = find(span + 1, lineEnd, 'A');
        const char *const firstClose = span ? find(span + 2, lineEnd, ')') : nullptr;
        for (const char *close = firstClose; close; close = find(close + 1, lineEnd, ')')) {
            if (!isDigit(close[-1]))
                continue;
            const char *const last = firstClose;
            const char *open = nullptr;
            if (last - span >= 4 && isDigit(last[-3]) && last[-2] == '.' && isDigit(last[-1]))
                open = find(span, last - 3, '(');
            *isTime = open != nullptr;
            return open ? QString::fromLocal8Bit(open + 1, last - open - 1)
                        : QString::fromLocal8Bit(span, last + 1 - span);
        }
        line = lineEnd + 1;
    }
    return QStringLiteral("%1");
}

// Seconds in the number after a status output's "A:" (the sound's time) or,
// with no sound, its "V:": "A:3666.5 ( 1:01:06.4) of ...", "A:   2.0 V:   2.0
// A-V: ...", "V:   1.3  14/ 14 ...". The first status that holds one counts,
// as for the elapsed text. Returns -1 when none does.
double statusSeconds(const QByteArray &bytes)
{
    const char *const end = bytes.constData() + bytes.size();
    for (const char *piece = bytes.constData(); piece < end; ++piece) {
        if (piece != bytes.constData() && piece[-1] != '\r' && piece[-1] != '\n')
            continue;
        if (end - piece < 2 || (piece[0] != 'A' && piece[0] != 'V') || piece[1] != ':')
            continue;
        const char *c = piece + 2;
        while (c < end && *c == ' ')
            ++c;
        double seconds = 0;
        const char *const digits = c;
        for (; c < end && isDigit(*c) && c - digits < 9; ++c)
            seconds = seconds * 10 + (*c - '0');
        if (c == digits || c + 1 >= end || *c != '.' || !isDigit(c[1]))
            continue;
        return seconds + (c[1] - '0') / 10.0;
    }
    return -1;
}

// The engine's own word that the medium has ended ("EOF code: 1"), which it
// prints at a raised message level. Other codes are a medium replaced or a quit.
bool isEndLine(const QByteArray &line)
{
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    return text.mid(text.lastIndexOf('\r') + 1).trimmed() == bytes(EngineOutput::ended);
}

// The medium the engine says it plays in the first complete line from
// `from` on ("Playing NAME."), or empty.
QByteArray playingName(const QByteArray &buffer, qsizetype from)
{
    const qsizetype end = buffer.indexOf('\n', from);
    if (end < 0)
        return QByteArray();
    QByteArray line = buffer.mid(from, end - from);
    if (line.endsWith('\r'))
        line.chop(1);
    line.remove(0, line.lastIndexOf('\r') + 1);
    const qsizetype head = qsizetype(EngineOutput::playing.size());
    const qsizetype tail = qsizetype(EngineOutput::playingEnd.size());
    if (!line.startsWith(bytes(EngineOutput::playing)) ||
        !line.endsWith(bytes(EngineOutput::playingEnd)) || line.size() < head + tail + 1)
        return QByteArray();
    return line.mid(head, line.size() - head - tail);
}

// Seconds in an elapsed time such as "02.0", "01:15.4" or " 1:01:15.4".
double clockSeconds(const QString &text)
{
    double seconds = 0;
    for (const QStringView part : QStringView(text).trimmed().split(QLatin1Char(':')))
        seconds = seconds * 60 + part.toDouble();
    return seconds;
}

// The whole number that is all of text ("2000", "-20"), or false.
bool wholeNumber(QByteArrayView text, qint64 &value)
{
    const bool negative = text.startsWith('-');
    if (negative)
        text = text.sliced(1);
    if (text.isEmpty() || text.size() > 15)
        return false;
    value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    return true;
}

QString lineText(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

} // namespace

MvEngineOutput::MvEngineOutput(QObject *parent) : QObject(parent) {}

void MvEngineOutput::setDeadlines(int start, int settle)
{
    startLimit = start;
    refusalSettle = settle;
}

void MvEngineOutput::begin(qint64 nowMs)
{
    unread.clear();
    readFrom = 0;
    unreadErrors.clear();
    carryOn = false;
    reset(nowMs);
}

void MvEngineOutput::follow(qint64 nowMs)
{
    carryOn = true;
    reset(nowMs);
}

void MvEngineOutput::reset(qint64 nowMs)
{
    ++generation;
    watch = false;
    probed = false;
    endSaid = false;
    nextPlaying.clear();
    started = false;
    videoStream = false;
    refusal.clear();
    setLength(-1);
    lengthAskedAt = -1;
    atSeconds = -1;
    wholeSeconds = -1;
    listedChapters.clear();
    chapterList.clear();
    chaptersTold = false;
    startDue = nowMs + startLimit;
}

// The next line from `from` on, with its line end; empty when none is complete.
QByteArray MvEngineOutput::takeLine(const QByteArray &buffer, qsizetype &from)
{
    const qsizetype end = buffer.indexOf('\n', from);
    if (end < 0)
        return QByteArray();
    const QByteArray line = buffer.mid(from, end + 1 - from);
    from = end + 1;
    return line;
}

// The oldest data goes; what stays starts at a line boundary, so no fragment
// of a dropped line is read as a line later.
void MvEngineOutput::trim(QByteArray &buffer)
{
    if (buffer.size() <= maxUnread)
        return;
    buffer.remove(0, buffer.size() - maxUnread);
    qsizetype boundary = -1;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (buffer[i] == '\n' || buffer[i] == '\r') {
            boundary = i;
            break;
        }
    }
    buffer.remove(0, boundary < 0 ? buffer.size() : boundary + 1);
}

void MvEngineOutput::feed(const QByteArray &bytes, qint64 nowMs)
{
    unread.append(bytes);
    parse(nowMs);
}

void MvEngineOutput::parse(qint64 nowMs)
{
    for (;;) {
        const quint64 medium = generation;
        carryOn = false;
        if (!watch) {
            // Every line that is there: what follows may be a long silence or a
            // flood that would push the "AO: " or "VO: " line out.
            for (QByteArray line;
                 !watch && generation == medium && !(line = takeLine(unread, readFrom)).isEmpty();)
                readHeaderLine(line, nowMs);
            // The first status often comes with the header: its time shows now.
            if (generation == medium && watch && readFrom < unread.size())
                readStatusPhase(nowMs);
        } else {
            readStatusPhase(nowMs);
        }
        if (generation == medium)
            break;
        // A new medium: begin() dropped what was left, follow() reads on.
        if (!carryOn)
            return;
    }
    unread.remove(0, readFrom);
    readFrom = 0;
    trim(unread);
}

void MvEngineOutput::feedErrors(const QByteArray &bytes, qint64 nowMs)
{
    // Only a medium that is starting can be refused: once it plays, the
    // error output is dropped unread, however much of it comes.
    if (!starting()) {
        unreadErrors.clear();
        return;
    }
    unreadErrors.append(bytes);
    qsizetype from = 0;
    for (QByteArray line; starting() && !(line = takeLine(unreadErrors, from)).isEmpty();)
        noticeRefusal(lineText(line), nowMs);
    unreadErrors.remove(0, from);
    if (unreadErrors.size() > maxUnread)
        unreadErrors.clear();
}

void MvEngineOutput::readHeaderLine(const QByteArray &line, qint64 nowMs)
{
    // No refusal and no header word: the medium's chapters may bring thousands.
    if (readIdentification(line))
        return;
    QString outputLine = lineText(line);
    // Status output of the previous medium may run into this line: a line
    // starts after the last carriage return, as on a terminal.
    outputLine.remove(0, outputLine.lastIndexOf(QLatin1Char('\r')) + 1);
    noticeRefusal(outputLine, nowMs);

    const quint64 medium = generation;
    if (outputLine == word(EngineOutput::audioFormat)) {
        emit audioFileDetected();
    } else if (outputLine.startsWith(word(EngineOutput::video))) {
        videoStream = true;
        emit videoStreamNamed();
    }
    if (generation != medium)
        return;

    if (outputLine.contains(word(EngineOutput::formatDetected)))
        emit lengthWanted();

    if (outputLine.startsWith(word(EngineOutput::videoOut)) ||
        outputLine.startsWith(word(EngineOutput::audioOut))) {
        watchFrom(nowMs);
        startDue = -1;
        started = true;
        refusal.clear();
        // A stream the engine cannot decode is named all the same: it draws
        // only once playback starts.
        emit playbackStarted(videoStream || outputLine.startsWith(word(EngineOutput::videoOut)));
    }
}

void MvEngineOutput::readStatusPhase(qint64 nowMs)
{
    lastOutput = nowMs;
    probed = false;
    const quint64 medium = generation;
    for (QByteArray line; !(line = takeLine(unread, readFrom)).isEmpty();) {
        // Status that came just before the line: the latest time, the last
        // one of a medium that has ended.
        const qsizetype statusEnd = line.size() > 2 ? line.lastIndexOf('\r', line.size() - 3) : -1;
        if (statusEnd >= 0)
            readStatus(line.left(statusEnd + 1), false);
        if (generation != medium)
            return;
        if (isEndLine(line)) {
            // The engine said the medium has ended: no need to wait out the silence.
            watch = false;
            endSaid = true;
            nextPlaying = playingName(unread, readFrom);
            emit ended();
            return;
        }
        if (!readIdentification(line))
            readLengthReply(line);
        if (generation != medium || !watch)
            return;
    }
    // Status output, ended by a carriage return; a line still on its way waits.
    const qsizetype statusEnd = unread.lastIndexOf('\r');
    if (statusEnd < readFrom)
        return;
    const QByteArray status = unread.mid(readFrom, statusEnd + 1 - readFrom);
    readFrom = statusEnd + 1;
    readStatus(status, true);
}

// Finds the elapsed time in the first status span; without one, the span
// or "%1" stands in for it when always is set.
void MvEngineOutput::readStatus(const QByteArray &bytes, bool always)
{
    bool isTime = false;
    const QString text = statusElapsedText(bytes, &isTime);
    if (always || isTime)
        setElapsed(text);
    double at = statusSeconds(bytes);
    if (at < 0 && isTime)
        at = clockSeconds(text);
    if (at >= 0) {
        // An engine guesses the length of some media from their first part:
        // once the time has run past the guess, it is asked again.
        if (knownLength > 0 && at > knownLength + 1 && at >= lengthAskedAt + 5) {
            lengthAskedAt = at;
            emit lengthWanted();
        }
        setSeconds(at);
    }
    if (isTime)
        emit elapsedRead();
}

void MvEngineOutput::readLengthReply(const QByteArray &line)
{
    const std::string_view reply = engineCommand(EngineCommandId::TimeLength).reply;
    const QByteArray key = QByteArray::fromRawData(reply.data(), qsizetype(reply.size()));
    if (!line.contains(key))
        return;
    const QString outputLine = lineText(line);
    const qsizetype at = outputLine.indexOf(QLatin1String(key));
    if (at < 0)
        return;
    // From the "=" on.
    const QRegularExpressionMatch number =
        lengthNumberPattern.match(outputLine.mid(at + key.size() - 1));
    if (!number.hasMatch())
        return;
    setLength(number.captured().toFloat());
    emit lengthRead(knownLength);
}

// An identification line, read from its bytes: the chapters' are kept, the
// others passed over. False for any other line.
bool MvEngineOutput::readIdentification(const QByteArray &bytesLine)
{
    QByteArrayView line(bytesLine);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    line = line.sliced(line.lastIndexOf('\r') + 1);
    if (!line.startsWith(bytes(EngineOutput::identification)))
        return false;
    qint64 number = 0;
    if (line.startsWith(bytes(EngineOutput::chapterCount))) {
        if (chaptersTold)
            return true;
        chaptersTold = true;
        chapterList = std::exchange(listedChapters, {});
        if (wholeNumber(line.sliced(qsizetype(EngineOutput::chapterCount.size())), number) &&
            number >= 0 && number < chapterList.size())
            chapterList.resize(number);
        emit chaptersRead(chapterList);
        return true;
    }
    if (!line.startsWith(bytes(EngineOutput::chapter)) || chaptersTold)
        return true;
    // "ID_CHAPTER_ID=3", or "ID_CHAPTER_3_START=..." and the like; chapters come in order.
    QByteArrayView field;
    if (line.startsWith(bytes(EngineOutput::chapterId))) {
        if (!wholeNumber(line.sliced(qsizetype(EngineOutput::chapterId.size())), number))
            return true;
    } else {
        line = line.sliced(qsizetype(EngineOutput::chapter.size()));
        const qsizetype digits = line.indexOf('_');
        if (digits < 0 || !wholeNumber(line.first(digits), number))
            return true;
        field = line.sliced(digits);
    }
    if (number < 0 || number > listedChapters.size() || number >= maxChapters)
        return true;
    if (number == listedChapters.size())
        listedChapters.append(MvChapter());
    MvChapter &chapter = listedChapters[number];
    qint64 ms = 0;
    if (field.startsWith(bytes(EngineOutput::chapterStart)) &&
        wholeNumber(field.sliced(qsizetype(EngineOutput::chapterStart.size())), ms))
        chapter.start = ms / 1000.0;
    else if (field.startsWith(bytes(EngineOutput::chapterEnd)) &&
             wholeNumber(field.sliced(qsizetype(EngineOutput::chapterEnd.size())), ms))
        chapter.end = ms / 1000.0;
    else if (field.startsWith(bytes(EngineOutput::chapterName)))
        chapter.title =
            QString::fromUtf8(field.sliced(qsizetype(EngineOutput::chapterName.size())));
    return true;
}

void MvEngineOutput::noticeRefusal(const QString &line, qint64 nowMs)
{
    const Refusal said = starting() ? refusalIn(line) : Refusal::None;
    if (said == Refusal::None)
        return;
    if (refusal.isEmpty() || said == Refusal::Reasoned)
        refusal = line;
    // The engine's reason ends the medium at once. Without one, time for the
    // engine to say more, or to start the medium after all with another
    // demuxer.
    startDue = qMin(startDue, said == Refusal::Reasoned ? nowMs : nowMs + refusalSettle);
}

void MvEngineOutput::setElapsed(const QString &text)
{
    if (text == elapsed)
        return;
    elapsed = text;
    emit elapsedChanged(text);
}

void MvEngineOutput::setSeconds(double at)
{
    atSeconds = at;
    if (int(at) == wholeSeconds)
        return;
    wholeSeconds = int(at);
    emit elapsedSecondsChanged(wholeSeconds);
}

void MvEngineOutput::setLength(float seconds)
{
    if (seconds == knownLength)
        return;
    knownLength = seconds;
    emit lengthChanged(seconds);
}

void MvEngineOutput::watchFrom(qint64 nowMs)
{
    watch = true;
    probed = false;
    lastOutput = nowMs;
}

qint64 MvEngineOutput::nextDeadline() const
{
    // The silence must have lasted the whole interval, not just most of its
    // last millisecond.
    const qint64 end = !watch   ? -1
                       : probed ? lastOutput + silenceMs + 1
                                : lastOutput + silenceMs / 2;
    if (startDue < 0)
        return end;
    return end < 0 ? startDue : qMin(startDue, end);
}

void MvEngineOutput::tick(qint64 nowMs)
{
    if (startDue >= 0 && nowMs >= startDue) {
        startDue = -1;
        emit cannotPlay(refusal);
        return;
    }
    if (watch && !probed && nowMs - lastOutput >= silenceMs / 2) {
        probed = true;
        const quint64 medium = generation;
        emit probeWanted();
        if (generation != medium)
            return;
    }
    if (watch && nowMs - lastOutput > silenceMs) {
        if (stalled && stalled()) {
            // Stopped or busy, not ended: it has the whole silence again.
            watchFrom(nowMs);
            return;
        }
        watch = false;
        endSaid = false;
        emit ended();
    }
}

void MvEngineOutput::hold()
{
    watch = false;
    startDue = -1;
}

void MvEngineOutput::resume(qint64 nowMs)
{
    if (started)
        watchFrom(nowMs);
    else
        startDue = nowMs + startLimit;
}

void MvEngineOutput::seeked(qint64 nowMs)
{
    if (started)
        watchFrom(nowMs);
}

void MvEngineOutput::cancelStart()
{
    startDue = -1;
}
