// The engine adapter's pure parts: output filtering, command rewriting and the
// engine's argument list.
#include "commandfilter.h"
#include "enginecommandline.h"
#include "enginecommands.h"
#include "id3chapters.h"
#include "mpegaudiocounter.h"
#include "outputfilter.h"
#include "seektranslator.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>
#include <sys/resource.h>

#include "player/mvplayercontrol.h"

namespace {

QByteArray feedAll(OutputFilter &filter, const QByteArray &input, int chunkSize)
{
    QByteArray out;
    for (int i = 0; i < input.size(); i += chunkSize) {
        const QByteArray chunk = input.mid(i, chunkSize);
        out += QByteArray::fromStdString(filter.feed({chunk.constData(), size_t(chunk.size())}));
    }
    return out;
}

QStringList toList(const std::vector<std::string> &args)
{
    QStringList list;
    for (const std::string &arg : args)
        list << QString::fromStdString(arg);
    return list;
}

} // namespace

class TestAdapterFilters : public QObject
{
    Q_OBJECT

private slots:
    void output_data();
    void output();
    void outputUnfinishedLineWaits();
    void lengthFromFrames_data();
    void lengthFromFrames();
    void chaptersOfAnId3Tag_data();
    void chaptersOfAnId3Tag();
    void seeks_data();
    void seeks();
    void countedOffTheRelaysPath_data();
    void countedOffTheRelaysPath();
    void readPace_data();
    void readPace();
    void heldHeaderIsReleasedOnTimeout();
    void statusRuns_data();
    void statusRuns();
    void commands_data();
    void commands();
    void commandSplitAcrossChunks();
    void pauseAndRate_data();
    void pauseAndRate();
    void arguments_data();
    void arguments();
    void boardDevices();
};

void TestAdapterFilters::output_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("audio status keeps its carriage return, loses the escape")
        << QByteArray("A:   2.0 (02.0) of 3.0 (03.0)  0.2% \x1b[J\rANS_LENGTH=3.00\n")
        << QByteArray("A:   2.0 (02.0) of 3.0 (03.0)  0.2% \rANS_LENGTH=3.00\n");
    QTest::addRow("on-screen message after cursor movement")
        << QByteArray("A:   0.5 (00.4) of 3.0 (03.0) \x1b[J\r\n\x1b[A\r\x1b[KVolume: 60 %\n")
        << QByteArray("A:   0.5 (00.4) of 3.0 (03.0) \r\nVolume: 60 %\n");
    QTest::addRow("audio demuxer header")
        << QByteArray("Playing a.mp3.\nAudio only file format detected.\nLoad subtitles in ./\n")
        << QByteArray("Playing a.mp3.\nAudio file file format detected.\nLoad subtitles in ./\n");
    QTest::addRow("container without video")
        << QByteArray("libavformat file format detected.\n[lavf] stream 0: audio (vorbis)\n"
                      "AO: [sdl] 44100Hz 2ch s16le (2 bytes per sample)\nVideo: no video\n")
        << QByteArray("Audio file file format detected.\n[lavf] stream 0: audio (vorbis)\n"
                      "AO: [sdl] 44100Hz 2ch s16le (2 bytes per sample)\nVideo: no video\n");
    QTest::addRow("container with video")
        << QByteArray("libavformat file format detected.\n[lavf] stream 0: video (h264)\n"
                      "VIDEO:  [H264]  160x120  24bpp  15.000 fps\nAO: [sdl] 44100Hz\n")
        << QByteArray("libavformat file format detected.\n[lavf] stream 0: video (h264)\n"
                      "VIDEO:  [H264]  160x120  24bpp  15.000 fps\nAO: [sdl] 44100Hz\n");
    QTest::addRow("container that fails to open")
        << QByteArray("libavformat file format detected.\nPlaying b.mp4.\n")
        << QByteArray("libavformat file format detected.\nPlaying b.mp4.\n");
    QTest::addRow("malformed escape keeps the line end")
        << QByteArray("abc\x1b[12\ndef\x1b\n") << QByteArray("abc\ndef\n");
    QTest::addRow("the engine's end line passes, its config lookups do not")
        << QByteArray("get_path('a.mp3.conf') -> '/root/.mplayer/a.mp3.conf'\nPlaying a.mp3.\n"
                      "A:   2.9 (02.9) of 3.0 (03.0)\rEOF code: 1  \n")
        << QByteArray("Playing a.mp3.\nA:   2.9 (02.9) of 3.0 (03.0)\rEOF code: 1  \n");
    QTest::addRow("whole line only: a longer line is left alone")
        << QByteArray("Audio only file format detected. (twice)\n")
        << QByteArray("Audio only file format detected. (twice)\n");
}

void TestAdapterFilters::output()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    // Whole, and byte by byte: chunk boundaries must not change the result.
    for (int chunkSize : {int(input.size()), 1, 7}) {
        OutputFilter filter;
        QByteArray out = feedAll(filter, input, chunkSize);
        out += QByteArray::fromStdString(filter.finish());
        QCOMPARE(out, expected);
        QVERIFY(!filter.holding());
    }
}

namespace {
// MPEG-1 layer III frames at 44.1 kHz, 1152 samples each: 32 kbit/s is 104
// bytes, 320 kbit/s 1044.
QByteArray mpegFrames(int count, int bitrateIndex, int size)
{
    QByteArray frame(size, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(bitrateIndex << 4);
    return frame.repeated(count);
}
} // namespace

void TestAdapterFilters::lengthFromFrames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray vbr = mpegFrames(50, 1, 104) + mpegFrames(50, 14, 1044);
    const QByteArray own = "Audio only file format detected.\n";
    QTest::addRow("VBR frames without a header") << vbr << own << QByteArray("ANS_LENGTH=2.61");
    QTest::addRow("behind a tag and a trailing tag")
        << QByteArray("ID3\x03\0\0\0\0\0\x05", 10) + "12345" + vbr + "TAG" + QByteArray(125, ' ')
        << own << QByteArray("ANS_LENGTH=2.61");
    QByteArray xing = mpegFrames(4, 9, 417);
    xing.replace(36, 12, QByteArray("Xing\0\0\0\x01\0\0\x03\xE8", 12)); // 1000 frames
    QTest::addRow("frame count of a Xing header") << xing << own << QByteArray("ANS_LENGTH=26.12");
    QTest::addRow("not MPEG audio")
        << QByteArray("RIFF") + QByteArray(4000, '\0') << own << QByteArray("ANS_LENGTH=4.00");
    QTest::addRow("read by a container demuxer")
        << vbr << QByteArray("libavformat file format detected.\nVIDEO:  [MJPG]  300x300\n")
        << QByteArray("ANS_LENGTH=4.00");
}

void TestAdapterFilters::lengthFromFrames()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, reply);
    QTemporaryDir dir;
    QFile medium(dir.filePath(QStringLiteral("a.mp3")));
    QVERIFY(medium.open(QIODevice::WriteOnly));
    medium.write(file);
    medium.close();

    OutputFilter filter;
    filter.setMedium(QFile::encodeName(medium.fileName()).toStdString());
    const QByteArray out = feedAll(filter, "Playing a.mp3.\n" + header + "ANS_LENGTH=4.00\n", 4096);
    QCOMPARE(out.split('\n').at(out.count('\n') - 1), reply);
}

namespace {
// An ID3v2 frame; version 4 sizes are sync-safe.
QByteArray id3Frame(const char *id, const QByteArray &body, int version, int flags = 0)
{
    QByteArray size(4, '\0');
    for (int i = 3, left = int(body.size()); i >= 0; --i, left >>= (version == 4 ? 7 : 8))
        size[i] = char(left & (version == 4 ? 0x7F : 0xFF));
    return id + size + char(flags >> 8) + char(flags) + body;
}

QByteArray id3Tag(int version, const QByteArray &frames)
{
    return "ID3" + QByteArray(1, char(version)) + QByteArray(2, '\0') +
           id3Frame("", frames, 4).remove(4, 2);
}

// A CHAP frame: "start end" in milliseconds, then its title's frame body.
QByteArray id3Chapter(int version, const QByteArray &times, const QByteArray &title)
{
    QByteArray body("ch", 3);
    for (const QByteArray &ms : times.split(' '))
        for (int shift = 24; shift >= 0; shift -= 8)
            body += char(ms.toUInt() >> shift);
    return id3Frame("CHAP", body + QByteArray(8, '\xff') + id3Frame("TIT2", title, version),
                    version);
}
} // namespace

void TestAdapterFilters::chaptersOfAnId3Tag_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("chapters");

    // Cut short: the last frame is lost.
    QTest::addRow("2.3, Latin-1 and UTF-16 titles, out of order, cut short")
        << id3Tag(3, id3Chapter(3, "4000 6000",
                                QByteArray("\x01\xff\xfeZ\0\xfc\0\x3d\xd8\0\xde", 11)) +
                         id3Chapter(3, "0 2000", QByteArray("\0Eins \xe9", 7)) +
                         id3Chapter(3, "2000 4000", "\x03Lost"))
               .chopped(3)
        << QStringLiteral("0-2000 Eins \u00e9, 4000-6000 Z\u00fc\U0001F600");
    // 65280 ms is 00 00 FF 00: unsynchronised, a 00 follows the FF.
    QByteArray unsynchronised = id3Chapter(4, "65280 70000",
                                           "\x03"
                                           "Dr\xc3\xbc");
    unsynchronised.replace(QByteArray("\xff\0\0\x01", 4), QByteArray("\xff\0\0\0\x01", 5));
    unsynchronised.replace(4, 6, id3Frame("", unsynchronised.mid(10), 4, 0x02).left(6));
    QTest::addRow("2.4, a frame unsynchronised, a compressed one left out")
        << id3Tag(4, id3Frame("CHAP", "x", 4, 0x08) + unsynchronised)
        << QStringLiteral("65280-70000 Dr\u00fc");
}

void TestAdapterFilters::chaptersOfAnId3Tag()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, chapters);
    QTemporaryDir dir;
    QFile medium(dir.filePath(QStringLiteral("a.mp3")));
    QVERIFY(medium.open(QIODevice::WriteOnly) && medium.write(file) == file.size());
    medium.close();
    QStringList listed;
    for (const Id3Chapter &c : id3Chapters(QFile::encodeName(medium.fileName()).toStdString()))
        listed << QStringLiteral("%1-%2 %3")
                      .arg(c.startMs)
                      .arg(c.endMs)
                      .arg(QString::fromStdString(c.title));
    QCOMPARE(listed.join(QLatin1String(", ")), chapters);
}

void TestAdapterFilters::seeks_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<QByteArray>("sent");

    // 2.61 s; a seek stops half a second short of that.
    const QByteArray vbr = mpegFrames(50, 1, 104) + mpegFrames(50, 14, 1044) + "TAG";
    QTest::addRow("absolute") << vbr << QByteArray("seek 1 2\n") << 0.5
                              << QByteArray("seek 1.00 2\n");
    QTest::addRow("relative, from the time shown")
        << vbr << QByteArray("seek 1 \n") << 0.5 << QByteArray("seek 1.50 2\n");
    QTest::addRow("two before the engine shows the first")
        << vbr << QByteArray("seek 0.5 \nseek 0.5 \n") << 0.5
        << QByteArray("seek 1.00 2\nseek 1.50 2\n");
    QTest::addRow("back past the start")
        << vbr << QByteArray("seek -15 0\n") << 0.5 << QByteArray("seek 0.00 2\n");
    QTest::addRow("on past the end")
        << vbr << QByteArray("seek 15 \n") << 1.0 << QByteArray("seek 2.11 2\n");
    QByteArray cut = mpegFrames(4, 9, 417);
    cut.replace(36, 12, QByteArray("Xing\0\0\0\x01\0\0\x03\xE8", 12)); // 1000 frames, 4 there
    QTest::addRow("cut off short of its header's count")
        << cut << QByteArray("seek 15 2\n") << 0.0 << QByteArray("seek 0.00 2\n");
    const QByteArray afterLoad = "loadlist /media/list\nseek 15 0\n";
    QTest::addRow("percent") << vbr << QByteArray("seek 50 1\n") << 0.5
                             << QByteArray("seek 50 1\n");
    QTest::addRow("after a loadlist") << vbr << afterLoad << 0.5 << afterLoad;
    QTest::addRow("not MPEG audio")
        << QByteArray("RIFF") + QByteArray(4000, '\0') << QByteArray("seek 15 0\n") << 0.5
        << QByteArray("seek 15 0\n");
}

void TestAdapterFilters::seeks()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, command);
    QFETCH(double, elapsed);
    QFETCH(QByteArray, sent);
    QTemporaryDir dir;
    QFile medium(dir.filePath(QStringLiteral("a.mp3")));
    QVERIFY(medium.open(QIODevice::WriteOnly));
    medium.write(file);
    medium.close();

    SeekTranslator seeks;
    const std::string out =
        seeks.rewrite({command.constData(), size_t(command.size())},
                      QFile::encodeName(medium.fileName()).toStdString(), elapsed);
    QCOMPARE(QByteArray::fromStdString(out), sent);
}

void TestAdapterFilters::countedOffTheRelaysPath_data()
{
    QTest::addColumn<QByteArray>("head"); // before a hole of `hole` bytes (read as zeros)
    QTest::addColumn<qint64>("hole");
    QTest::addColumn<QByteArray>("length"); // the reply, once counted
    QTest::addColumn<QByteArray>("seek");   // "seek 15 0", once counted
    QTest::addColumn<bool>("slow");         // the seek surely waits for the count
    const QByteArray vbr = mpegFrames(50, 1, 104) + mpegFrames(50, 14, 1044);
    // Frames, 32 MB of no frames walked byte by byte, frames: a slow walk.
    QTest::addRow("a long stretch between frames")
        << vbr << qint64(32) * 1024 * 1024 << QByteArray("ANS_LENGTH=5.22\n")
        << QByteArray("seek 4.72 2\n") << true;
    // An ID3v2 tag whose size says 256 MB, frames after it: passed over, never read.
    QTest::addRow("behind a tag of 256 MB")
        << QByteArray("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) << qint64(0x0FFFFFFF)
        << QByteArray("ANS_LENGTH=2.61\n") << QByteArray("seek 2.11 2\n") << false;
}

void TestAdapterFilters::countedOffTheRelaysPath()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, hole);
    QFETCH(QByteArray, length);
    QFETCH(QByteArray, seek);
    QFETCH(bool, slow);
    QTemporaryDir dir;
    QFile medium(dir.filePath(QStringLiteral("big.mp3")));
    QVERIFY(medium.open(QIODevice::WriteOnly));
    medium.write(head);
    QVERIFY(medium.resize(head.size() + hole)); // sparse: no disk, no time
    QVERIFY(medium.seek(head.size() + hole));
    medium.write(mpegFrames(50, 1, 104) + mpegFrames(50, 14, 1044));
    medium.close();
    const std::string path = QFile::encodeName(medium.fileName()).toStdString();

    rusage before;
    getrusage(RUSAGE_SELF, &before);
    MpegAudioCounter counter;
    OutputFilter output;
    output.setCounter(&counter);
    output.setMedium(path);
    SeekTranslator seeks;
    seeks.setCounter(&counter);
    // The engine's reply waits for the count; its status and other commands go on.
    QCOMPARE(output.feed("Playing big.mp3.\nAudio only file format detected.\nANS_LENGTH=4.00\n"),
             std::string("Playing big.mp3.\n") + OutputFilter::audioHeader + "\n");
    QCOMPARE(output.feed("A:   1.0 (01.0) of 4.0 (04.0)  0.2% \r"),
             std::string("A:   1.0 (01.0) of 4.0 (04.0)  0.2% \r"));
    // A count done at once (nothing read past the tag) may take the seek at once.
    std::string sent = seeks.rewrite("seek 15 0\npause\n", path, 1.0), reply;
    QVERIFY(QByteArray::fromStdString(sent).endsWith("pause\n"));
    sent.resize(sent.size() - 6);
    QVERIFY(!slow || sent.empty());
    while (reply.empty() || sent.empty()) {
        pollfd wake{counter.wakeFd(), POLLIN, 0};
        QVERIFY(poll(&wake, 1, 120000) == 1);
        counter.clearWake();
        output.takeCount(reply);
        sent += seeks.takeCount(path, 1.0);
    }
    QCOMPARE(QByteArray::fromStdString(reply), length);
    QCOMPARE(QByteArray::fromStdString(sent), seek);
    rusage after;
    getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 32 * 1024,
             qPrintable(QString::number(after.ru_maxrss - before.ru_maxrss) + " KiB more"));
}

void TestAdapterFilters::readPace_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<int>("paceMs");

    const QByteArray early = "A: 100.0 (01:40.0) of 600.0 (10:00.0)  0.2% \r";
    QTest::addRow("shown") << 10 << early << 100;
    QTest::addRow("shown, last half second")
        << 10 << QByteArray("A:   2.6 (02.6) of 3.0 (03.0)  0.2% \r") << 0;
    QTest::addRow("shown, before it")
        << 10 << QByteArray("A:   2.4 (02.4) of 3.0 (03.0)  0.2% \r") << 100;
    QTest::addRow("unseen") << 1 << early << 1000;
    QTest::addRow("unseen, within a pace of the end")
        << 1 << QByteArray("A: 598.7 (09:58.7) of 600.0 (10:00.0)  0.2% \r") << 0;
    QTest::addRow("none shown: read for the end") << 0 << early << 1000;
    QTest::addRow("unseen, long past a guessed length")
        << 1 << QByteArray("A:   9.0 (09.0) of 4.0 (04.0)  0.2% \r") << 100;
    QTest::addRow("unseen, video status without a length")
        << 1 << QByteArray("A:   2.9 V:   2.9 A-V:  0.000 ct:  0.000\r") << 100;
}

void TestAdapterFilters::readPace()
{
    QFETCH(int, rate);
    QFETCH(QByteArray, status);
    QFETCH(int, paceMs);
    OutputFilter filter;
    filter.feed({status.constData(), size_t(status.size())});
    QCOMPARE(int(EngineStatusRate::readPace(rate, filter.secondsLeft()).count()), paceMs);
}

void TestAdapterFilters::outputUnfinishedLineWaits()
{
    OutputFilter filter;
    QCOMPARE(QByteArray::fromStdString(filter.feed("Playing a.mp3.\nExiting... (Qu")),
             QByteArray("Playing a.mp3.\n"));
    QCOMPARE(QByteArray::fromStdString(filter.finish()), QByteArray("Exiting... (Qu"));
}

void TestAdapterFilters::heldHeaderIsReleasedOnTimeout()
{
    OutputFilter filter;
    QCOMPARE(QByteArray::fromStdString(filter.feed("libavformat file format detected.\nx\n")),
             QByteArray());
    QVERIFY(filter.holding());
    QCOMPARE(QByteArray::fromStdString(filter.release()),
             QByteArray("libavformat file format detected.\nx\n"));
    QVERIFY(!filter.holding());
    QCOMPARE(QByteArray::fromStdString(filter.feed("y\n")), QByteArray("y\n"));
}

void TestAdapterFilters::statusRuns_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("lastOnlyStatus");

    QTest::addRow("a run in one chunk: its last piece")
        << QByteArrayList{"A: 1.0\rA: 1.1\rA: 1.2\r"} << QByteArray("A: 1.2\r") << true;
    QTest::addRow("the last piece of each chunk")
        << QByteArrayList{"A: 1.0\rA: 1.1\r", "A: 1.2\rA: 1.3\r"} << QByteArray("A: 1.1\rA: 1.3\r")
        << true;
    QTest::addRow("the piece before a line, the line, the piece after")
        << QByteArrayList{"A: 1.0\rA: 1.1\rANS_LENGTH=3.0\nA: 1.2\r"}
        << QByteArray("A: 1.1\rANS_LENGTH=3.0\nA: 1.2\r") << false;
    QTest::addRow("cursor movements do not end a run")
        << QByteArrayList{"A: 1.0 \x1b[J\r\x1b[A\rA: 1.1 \x1b[J\r"} << QByteArray("A: 1.1 \r")
        << true;
    QTest::addRow("a piece cut by the chunk's end")
        << QByteArrayList{"A: 1.0\rA: 1", ".1\rA: 1.2\r"} << QByteArray("A: 1.0\rA: 1.2\r") << true;
    QTest::addRow("a line cut by the chunk's end")
        << QByteArrayList{"A: 1.0\rExiting... (Qu"} << QByteArray("A: 1.0\r") << false;
    // A megabyte without a line end: only the newest bytes are kept.
    const QByteArray chunk(64 * 1024, 'x');
    const QByteArray kept(int(OutputFilter::maxPending), 'x');
    QTest::addRow("an endless piece, chunk by chunk")
        << (QByteArrayList{} << QList<QByteArray>(16, chunk) << "A: 9.9\r") << kept + "A: 9.9\r"
        << true;
    QTest::addRow("an endless piece in one chunk")
        << QByteArrayList{"A: 1.0\r" + chunk.repeated(16), "A: 9.9\r"}
        << "A: 1.0\r" + kept + "A: 9.9\r" << true;
}

void TestAdapterFilters::statusRuns()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, expected);
    QFETCH(bool, lastOnlyStatus);
    OutputFilter filter;
    std::string out;
    bool notOnlyStatus = true;
    for (const QByteArray &chunk : chunks)
        notOnlyStatus = filter.feed({chunk.constData(), size_t(chunk.size())}, out);
    QCOMPARE(QByteArray::fromStdString(out), expected);
    QCOMPARE(!notOnlyStatus, lastOnlyStatus);
}

void TestAdapterFilters::commands_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("volume keeps the pause")
        << QByteArray("volume 100 100\n") << QByteArray("pausing_keep_force volume 100 100\n");
    // The front-end's volume in MPlayer's software scale: 10 dB less for each halving.
    QTest::addRow("volume 50: half as loud")
        << QByteArray("volume 50 100\n") << QByteArray("pausing_keep_force volume 31.62 100\n");
    QTest::addRow("volume 25: a quarter")
        << QByteArray("volume 25 1\n") << QByteArray("pausing_keep_force volume 10 1\n");
    QTest::addRow("volume 0: silence")
        << QByteArray("volume 0 100\n") << QByteArray("pausing_keep_force volume 0 100\n");
    QTest::addRow("relative volume as it is")
        << QByteArray("volume -5\n") << QByteArray("pausing_keep_force volume -5\n");
    QTest::addRow("length query keeps the pause")
        << QByteArray("get_time_length\n") << QByteArray("pausing_keep_force get_time_length\n");
    QTest::addRow("full screen keeps the pause")
        << QByteArray("vo_fullscreen\n") << QByteArray("pausing_keep_force vo_fullscreen\n");
    QTest::addRow("pause") << QByteArray("pause\n") << QByteArray("pause\n");
    QTest::addRow("seek, with its trailing space")
        << QByteArray("seek -15 \n") << QByteArray("seek -15 \n");
    QTest::addRow("loadlist") << QByteArray("loadlist /tmp/movara_curmedia.name\n")
                              << QByteArray("loadlist /tmp/movara_curmedia.name\n");
    QTest::addRow("a medium queued after the current one is dropped")
        << QByteArray("loadlist /tmp/movara_curmedia.name.next 1\nloadfile /m/a.mp3 1\nquit\n")
        << QByteArray("quit\n");
    QTest::addRow("a load that replaces, said so, goes on")
        << QByteArray("loadlist /tmp/list 0\nloadlist /tmp/list 10\n")
        << QByteArray("loadlist /tmp/list 0\nloadlist /tmp/list 10\n");
    QTest::addRow("stop keeps the pause")
        << QByteArray("stop\n") << QByteArray("pausing_keep_force stop\n");
    QTest::addRow("quit") << QByteArray("quit\n") << QByteArray("quit\n");
    QTest::addRow("already prefixed")
        << QByteArray("pausing_keep mute\n") << QByteArray("pausing_keep mute\n");
    QTest::addRow("a word that only begins like a kept command")
        << QByteArray("pausefoo\n") << QByteArray("pausing_keep_force pausefoo\n");
    QTest::addRow("leading blanks")
        << QByteArray("  mute\n") << QByteArray("pausing_keep_force mute\n");
    QTest::addRow("empty line") << QByteArray("\n") << QByteArray("\n");
    QTest::addRow("several lines in one chunk")
        << QByteArray("pause\nvolume 5 100\nseek 15 \n")
        << QByteArray("pause\npausing_keep_force volume 0.69 100\nseek 15 \n");
}

void TestAdapterFilters::commands()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    CommandFilter filter;
    QCOMPARE(QByteArray::fromStdString(filter.feed({input.constData(), size_t(input.size())})),
             expected);
    QCOMPARE(QByteArray::fromStdString(filter.finish()), QByteArray());
}

void TestAdapterFilters::pauseAndRate_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("mediumOpen");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("rate");

    QTest::addRow("rate") << QByteArray("status_rate 1\n") << true << false << 1;
    QTest::addRow("prefixed rate, none")
        << QByteArray("pausing_keep_force status_rate 0\n") << true << false << 0;
    QTest::addRow("no number: the rate stays")
        << QByteArray("status_rate fast\nstatus_rate -1\n") << true << false << 10;
    QTest::addRow("a higher rate counts as the most")
        << QByteArray("status_rate 1000\n") << true << false << 25;
    QTest::addRow("pause") << QByteArray("pause\n") << true << true << 10;
    QTest::addRow("pause while idle: ignored") << QByteArray("pause\n") << false << false << 10;
    QTest::addRow("pause twice") << QByteArray("pause\npause\n") << true << false << 10;
    QTest::addRow("other commands keep it")
        << QByteArray("pause\nvolume 5 100\nget_time_length\nstatus_rate 1\n") << true << true << 1;
    QTest::addRow("a seek ends it") << QByteArray("pause\nseek 5 2\n") << true << false << 10;
    QTest::addRow("a load ends it")
        << QByteArray("pause\nloadlist /tmp/l\n") << true << false << 10;
    QTest::addRow("a pausing prefix pauses after the command")
        << QByteArray("pausing seek 5 0\n") << true << true << 10;
    QTest::addRow("quit, even paused") << QByteArray("pause\nquit\npause\n") << true << false << 10;
}

void TestAdapterFilters::pauseAndRate()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, mediumOpen);
    QFETCH(bool, paused);
    QFETCH(int, rate);
    CommandFilter filter;
    filter.setMediumOpen(mediumOpen);
    const QByteArray out =
        QByteArray::fromStdString(filter.feed({input.constData(), size_t(input.size())}));
    QVERIFY2(!out.contains("status_rate"), out.constData());
    QCOMPARE(filter.paused(), paused);
    QCOMPARE(filter.statusRate(), rate);
    // The end of the medium leaves no pause.
    filter.setMediumOpen(false);
    QVERIFY(!filter.paused());
}

void TestAdapterFilters::commandSplitAcrossChunks()
{
    CommandFilter filter;
    QCOMPARE(QByteArray::fromStdString(filter.feed("vol")), QByteArray());
    QCOMPARE(QByteArray::fromStdString(filter.feed("ume 5 100\nquit")),
             QByteArray("pausing_keep_force volume 0.69 100\n"));
    // The last line counts even without its newline.
    QCOMPARE(QByteArray::fromStdString(filter.finish()), QByteArray("quit\n"));
}

void TestAdapterFilters::arguments_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("soundServer");
    QTest::addColumn<QStringList>("drivers");
    QTest::addColumn<bool>("fullScreen");

    const QStringList headless = {"-ao", "sdl,null", "-vo", "null", "-nolirc"};
    QTest::addRow("no display") << ""
                                << "" << false << headless << true;
    QTest::addRow("no display, window id ignored") << ""
                                                   << "12345" << false << headless << true;
    QTest::addRow("X without the phone's screen")
        << ":0"
        << "" << false << QStringList{"-ao", "sdl,null", "-vo", "x11,null", "-nolirc"} << false;
    QTest::addRow("X with the phone's screen")
        << ":0"
        << "4194310" << false << QStringList{"-ao",  "sdl,null", "-vo",           "x11,null",
                                             "-wid", "4194310",  "-nomouseinput", "-nolirc"}
        << true;
    QTest::addRow("hexadecimal window id")
        << ":0"
        << "0x400006" << false << QStringList{"-ao",  "sdl,null", "-vo",           "x11,null",
                                              "-wid", "4194310",  "-nomouseinput", "-nolirc"}
        << true;
    QTest::addRow("window id with trailing text is no window id")
        << ":0"
        << "42; rm" << false << QStringList{"-ao", "sdl,null", "-vo", "x11,null", "-nolirc"}
        << false;
    QTest::addRow("sound server") << ""
                                  << "" << true
                                  << QStringList{"-ao", "pulse,sdl,null", "-vo", "null", "-nolirc"}
                                  << true;
}

void TestAdapterFilters::arguments()
{
    QFETCH(QString, display);
    QFETCH(QString, window);
    QFETCH(bool, soundServer);
    QFETCH(QStringList, drivers);
    QFETCH(bool, fullScreen);

    EngineEnvironment environment;
    environment.display = display.toStdString();
    environment.screenWindow = window.toStdString();
    environment.soundServer = soundServer;
    const QStringList given = MvPlayerControl::engineArguments(QStringLiteral("/media/a b.mp3")) +
                              QStringList{"-volume", "50"};
    std::vector<std::string> front;
    for (const QString &arg : given)
        front.push_back(arg.toStdString());
    const QStringList args = toList(engineArguments(front, environment));

    QStringList expected = drivers +
                           QStringList{"-osdlevel",    "0",        "-msglevel",    "global=6",
                                       "-hr-mp3-seek", "-softvol", "-softvol-max", "100"} +
                           given;
    expected.last() = "31.62";
    // The desktop engine exits at once on this option and its value.
    expected.removeAt(expected.indexOf("-subrotate") + 1);
    expected.removeOne("-subrotate");
    if (!fullScreen)
        expected.removeOne("-fs");
    QCOMPARE(args, expected);
}

// On a board the drivers name its own devices, and its sound card's mixer
// takes the place of the phone's.
void TestAdapterFilters::boardDevices()
{
    EngineEnvironment environment;
    environment.audioDrivers = "alsa:device=plughw=1.0";
    environment.videoDrivers = "fbdev2:/dev/fb1";
    environment.mixer = "hw:1";
    std::vector<std::string> front;
    for (const QString &arg : MvPlayerControl::engineArguments(QStringLiteral("/media/a.avi")))
        front.push_back(arg.toStdString());
    const QStringList args = toList(engineArguments(front, environment));
    QCOMPARE(args.mid(0, 4),
             (QStringList{"-ao", "alsa:device=plughw=1.0", "-vo", "fbdev2:/dev/fb1"}));
    QCOMPARE(args.count("-mixer"), 1);
    QCOMPARE(args.at(args.indexOf("-mixer") + 1), QStringLiteral("hw:1"));
    QVERIFY(!args.contains("/dev/mixer"));
    QCOMPARE(args.last(), QStringLiteral("/media/a.avi"));
}

QTEST_MAIN(TestAdapterFilters)
#include "tst_adapterfilters.moc"
