// The engine's output state machine in process: bytes and times in, what it
// learned out, however the bytes are cut.

#include "player/mvengineoutput.h"

#include <QtTest>

namespace {

// Every signal of the machine, in order, as text.
class Recorder
{
public:
    explicit Recorder(MvEngineOutput &output)
    {
        QObject::connect(&output, &MvEngineOutput::audioFileDetected, [this] { add("audio"); });
        QObject::connect(&output, &MvEngineOutput::videoStreamNamed, [this] { add("video"); });
        QObject::connect(&output, &MvEngineOutput::lengthWanted, [this] { add("ask length"); });
        QObject::connect(&output, &MvEngineOutput::playbackStarted,
                         [this](bool video) { add(video ? "started video" : "started audio"); });
        QObject::connect(&output, &MvEngineOutput::lengthRead,
                         [this](float seconds) { add("length " + QString::number(seconds)); });
        QObject::connect(&output, &MvEngineOutput::elapsedRead,
                         [this, &output] { add("elapsed " + output.elapsedText()); });
        QObject::connect(&output, &MvEngineOutput::cannotPlay,
                         [this](const QString &why) { add("cannot play: " + why); });
        QObject::connect(&output, &MvEngineOutput::probeWanted, [this] { add("probe"); });
        QObject::connect(
            &output, &MvEngineOutput::chaptersRead, [this](const QVector<MvChapter> &chapters) {
                QStringList listed;
                for (const MvChapter &c : chapters)
                    listed << QStringLiteral("%1-%2 %3").arg(c.start).arg(c.end).arg(c.title);
                add("chapters: " + listed.join(QLatin1String(" | ")));
            });
        QObject::connect(&output, &MvEngineOutput::ended, [this, &output] {
            add(!output.endWasSaid()          ? QStringLiteral("fell silent")
                : output.wentOnTo().isEmpty() ? QStringLiteral("ended")
                                              : "ended, on to " + output.wentOnTo());
        });
    }
    void add(const QString &event) { events.append(event); }
    QStringList events;
};

} // namespace

class TestEngineOutput : public QObject
{
    Q_OBJECT

private slots:
    void output_data();
    void output();
    void deadlines_data();
    void deadlines();
    void goingOn_data();
    void goingOn();
    void unreadStaysBounded_data();
    void unreadStaysBounded();
    void nextMediumDropsTheRest();
    void elapsedSeconds_data();
    void elapsedSeconds();
};

void TestEngineOutput::output_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("events");

    const QByteArray status = "A:   2.0 (02.0) of 180.0 (03:00.0)  0.5% \r";
    QTest::addRow("audio file") << QByteArray("Audio file file format detected.\nAO: [pulse]\n")
                                << QStringList{"audio", "ask length", "started audio"};
    QTest::addRow("video") << QByteArray("libavformat file format detected.\nVIDEO:  [H264]\n"
                                         "VO: [xv] 240x320\n")
                           << QStringList{"ask length", "video", "started video"};
    QTest::addRow("video named, sound first")
        << QByteArray("VIDEO:  [XVID]\nAO: [pulse]\n") << QStringList{"video", "started video"};
    QTest::addRow("no space after the colon") << QByteArray("VO:[xv]\nAO:x\n") << QStringList{};
    QTest::addRow("length and status")
        << "AO: [pulse]\nANS_LENGTH=180.00\n" + status
        << QStringList{"started audio", "length 180", "elapsed 02.0"};
    QTest::addRow("length before playback is dropped")
        << QByteArray("ANS_LENGTH=12.5\nAO: x\nANS_LENGTH=12\n") << QStringList{"started audio"};
    QTest::addRow("status, then the end")
        << QByteArray("AO: x\nA:   1.0 (01.0) of 2.0 (02.0) \rEOF code: 1  \n")
        << QStringList{"started audio", "elapsed 01.0", "ended"};
    QTest::addRow("replaced, not ended")
        << QByteArray("AO: x\nEOF code: 4\n") << QStringList{"started audio"};
    QTest::addRow("carriage return runs")
        << QByteArray("AO: x\n\r\r\r\rA:   3.0 (03.0) of 9.0 (09.0)\r\r\r\r")
        << QStringList{"started audio", "elapsed 03.0"};
    QTest::addRow("previous status runs into a line")
        << QByteArray("A:   9.0 (09.0) of 9.0 \rAO: x\n") << QStringList{"started audio"};
    QTest::addRow("refused, then played")
        << QByteArray("Failed to recognize file format\nAO: x\n") << QStringList{"started audio"};
    QTest::addRow("invalid UTF-8")
        << QByteArray("\xff\xfe\xc3\nAO: \xc3\x28\nA:\xff\xfe (02.0) of \xc0\r")
        << QStringList{"started audio", "elapsed 02.0"};
    // As the adapter passes on the real engine's lines (most of the others left out).
    QTest::addRow("chapters")
        << QByteArray("Audio file file format detected.\n"
                      "ID_CHAPTER_ID=0\nID_CHAPTER_0_START=0\nID_CHAPTER_0_END=2000\n"
                      "ID_CHAPTER_0_NAME=Opening\n"
                      "ID_CHAPTER_ID=1\nID_CHAPTER_1_START=2000\nID_CHAPTER_1_END=4000\n"
                      "ID_CHAPTER_1_NAME=Zweites Kapitel \xe2\x80\x93 \xc3\xbc\n"
                      "ID_CHAPTER_ID=2\nID_CHAPTER_2_START=4000\nID_CHAPTER_2_END=6000\n"
                      "ID_CHAPTER_2_NAME=Third\n"
                      "ID_AUDIO_ID=0\nID_LENGTH=6.00\nID_CHAPTERS=3\nAO: [sdl] 44100Hz 2ch\n")
        << QStringList{"audio", "ask length",
                       "chapters: 0-2 Opening | 2-4 Zweites Kapitel \u2013 \u00fc | 4-6 Third",
                       "started audio"};
    // The other engine's adapter may tell them once playing; once per medium.
    QTest::addRow("chapters after the start, out of line parts dropped")
        << "AO: x\n" + status +
               "ID_CHAPTER_ID=0\nID_CHAPTER_0_START=1500\nID_CHAPTER_2_START=9\n"
               "ID_CHAPTER_0_END=x\nID_CHAPTER_0_NAME=\xff\nID_CHAPTERS=1\nID_CHAPTERS=1\n"
        << QStringList{"started audio", "elapsed 02.0", "chapters: 1.5-0 \ufffd"};
    QTest::addRow("time past the guessed length")
        << QByteArray("AO: x\nANS_LENGTH=2.0\nA:   9.0 (09.0) of 2.0 \r")
        << QStringList{"started audio", "length 2", "ask length", "elapsed 09.0"};
}

void TestEngineOutput::output()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, events);
    // Whole, at every byte, and in every cut in two.
    QList<QList<QByteArray>> cuts{{bytes}, {}};
    for (char c : bytes)
        cuts[1].append(QByteArray(1, c));
    for (qsizetype at = 1; at < bytes.size(); ++at)
        cuts.append({bytes.left(at), bytes.mid(at)});
    for (const QList<QByteArray> &chunks : cuts) {
        MvEngineOutput output;
        Recorder recorder(output);
        output.begin(0);
        for (const QByteArray &chunk : chunks)
            output.feed(chunk, 10);
        QCOMPARE(recorder.events, events);
    }
}

void TestEngineOutput::deadlines_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");

    // "out T BYTES", "err T BYTES", "tick T", "hold", "resume T", "seek T", "quit";
    // a medium begins at 0 with a start deadline of 5000 ms, 1000 once refused
    // without a reason.
    QTest::addRow("silence ends it") << QStringList{"out 100 AO: x\n", "tick 1300", "tick 1301"}
                                     << QStringList{"started audio", "probe", "fell silent"};
    QTest::addRow("an answer to the probe keeps it")
        << QStringList{"out 100 AO: x\n", "tick 700", "out 800 ANS_TIME_POSITION=1.0\n",
                       "tick 2000", "tick 2001"}
        << QStringList{"started audio", "probe", "probe", "fell silent"};
    QTest::addRow("a stopped engine is waited for")
        << QStringList{"out 100 AO: x\n", "stopped",    "tick 1301", "tick 9000",
                       "running",         "tick 10200", "tick 10201"}
        << QStringList{"started audio", "probe", "probe", "probe", "fell silent"};
    QTest::addRow("status keeps it alive")
        << QStringList{"out 100 AO: x\n", "out 1000 \r", "tick 2200", "tick 2201"}
        << QStringList{"started audio", "probe", "fell silent"};
    QTest::addRow("no playback in time")
        << QStringList{"tick 4999", "tick 5000"} << QStringList{"cannot play: "};
    QTest::addRow("refused on standard output")
        << QStringList{"out 100 No stream found\n", "tick 1099", "tick 1100"}
        << QStringList{"cannot play: No stream found"};
    QTest::addRow("a chapter's title is no refusal")
        << QStringList{"out 100 ID_CHAPTER_0_NAME=No stream found\n", "tick 1100", "tick 5000"}
        << QStringList{"cannot play: "};
    QTest::addRow("refused on standard error, in pieces")
        << QStringList{"err 4500 moov atom ", "err 4600 not found\n", "tick 5000"}
        << QStringList{"cannot play: moov atom not found"};
    QTest::addRow("refused with the engine's reason: at once")
        << QStringList{"err 100 moov atom not found\n", "tick 1000",
                       "err 1050 Failed to recognize file format (unrecognized file format)\n",
                       "tick 1050"}
        << QStringList{"cannot play: Failed to recognize file format (unrecognized file format)"};
    QTest::addRow("a name in brackets is no reason")
        << QStringList{"out 100 File not found: '/m/a (live).mp3'\n", "tick 1099", "tick 1100"}
        << QStringList{"cannot play: File not found: '/m/a (live).mp3'"};
    QTest::addRow("error output once playing")
        << QStringList{"out 100 AO: x\n", "err 200 No stream found\n", "tick 1301"}
        << QStringList{"started audio", "probe", "fell silent"};
    QTest::addRow("a pause holds both")
        << QStringList{"hold", "tick 9000", "resume 9000", "tick 13999", "tick 14000"}
        << QStringList{"cannot play: "};
    QTest::addRow("a pause holds the watch")
        << QStringList{"out 0 AO: x\n", "hold", "tick 5000", "resume 5000", "tick 6201"}
        << QStringList{"started audio", "probe", "fell silent"};
    QTest::addRow("a seek restarts the silence")
        << QStringList{"out 0 AO: x\n", "seek 1000", "tick 2200", "tick 2201"}
        << QStringList{"started audio", "probe", "fell silent"};
    QTest::addRow("quit: no start to miss") << QStringList{"quit", "tick 99999"} << QStringList{};
}

void TestEngineOutput::deadlines()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    MvEngineOutput output;
    Recorder recorder(output);
    output.setDeadlines(5000, 1000);
    bool stopped = false;
    output.setStallCheck([&stopped] { return stopped; });
    output.begin(0);
    for (const QString &step : steps) {
        const QStringList words = step.split(QLatin1Char(' '));
        const qint64 at = words.value(1).toLongLong();
        const QByteArray rest = step.section(QLatin1Char(' '), 2).toLatin1();
        const QString op = words[0];
        if (op == QLatin1String("tick")) {
            output.tick(at);
        } else if (op == QLatin1String("out")) {
            output.feed(rest, at);
        } else if (op == QLatin1String("err")) {
            output.feedErrors(rest, at);
        } else if (op == QLatin1String("hold")) {
            output.hold();
        } else if (op == QLatin1String("resume")) {
            output.resume(at);
        } else if (op == QLatin1String("seek")) {
            output.seeked(at);
        } else if (op == QLatin1String("stopped") || op == QLatin1String("running")) {
            stopped = op == QLatin1String("stopped");
        } else {
            output.cancelStart();
        }
    }
    QCOMPARE(recorder.events, events);
    QCOMPARE(output.nextDeadline(), -1);
}

void TestEngineOutput::goingOn_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("events");
    const QByteArray next = "Playing /m/b c.mp3.\nAudio file file format detected.\nAO: y\n"
                            "A:   0.1 (00.1) of 3.0 (03.0) \r";
    QTest::addRow("on to the next, in one piece")
        << "AO: x\nEOF code: 1\n" + next
        << QStringList{"started audio", "ended, on to /m/b c.mp3", "audio",
                       "ask length",    "started audio",           "elapsed 00.1"};
    QTest::addRow("status runs into the next one's name")
        << "AO: x\nEOF code: 1\nA:   3.0 (03.0) of 3.0 (03.0) \r" + next
        << QStringList{"started audio", "ended, on to /m/b c.mp3", "audio",
                       "ask length",    "started audio",           "elapsed 00.1"};
    QTest::addRow("nothing after the end")
        << QByteArray("AO: x\nEOF code: 1\n") << QStringList{"started audio", "ended"};
}

// The engine's end followed by the next medium's name: the output reads on as
// that medium's when it is followed there.
void TestEngineOutput::goingOn()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, events);
    MvEngineOutput output;
    Recorder recorder(output);
    QObject::connect(&output, &MvEngineOutput::ended, [&output] {
        if (!output.wentOnTo().isEmpty())
            output.follow(20);
    });
    output.begin(0);
    output.feed(bytes, 10);
    QCOMPARE(recorder.events, events);
}

void TestEngineOutput::unreadStaysBounded_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addRow("before playback") << QByteArray();
    QTest::addRow("while playing") << QByteArray("AO: x\n");
}

void TestEngineOutput::unreadStaysBounded()
{
    QFETCH(QByteArray, before);
    MvEngineOutput output;
    Recorder recorder(output);
    output.begin(0);
    output.feed(before, 0);
    const QByteArray chunk(4096, 'x');
    for (int i = 0; i < 64; ++i) {
        output.feed(chunk, 1);
        QVERIFY(output.unreadBytes() <= MvEngineOutput::maxUnread);
    }
    // The line the flood belongs to is no start; the next one is.
    output.feed("AO: \nVO: x\n", 2);
    QVERIFY(output.mediumStarted());
    QCOMPARE(recorder.events.last(),
             before.isEmpty() ? QStringLiteral("started video") : QStringLiteral("started audio"));
}

// The output after a medium's end belongs to it, not to the next medium
// begun from a signal.
void TestEngineOutput::nextMediumDropsTheRest()
{
    MvEngineOutput output;
    QObject::connect(&output, &MvEngineOutput::ended, [&output] { output.begin(5); });
    output.begin(0);
    output.feed("AO: x\nEOF code: 1\nAO: x\nANS_LENGTH=3.0\n", 5);
    QVERIFY(!output.mediumStarted());
    QCOMPARE(output.length(), -1.0f);
    QVERIFY(output.starting());
}

// Status lines as MPlayer 1.5 and the adapter with mpv 0.35 print them.
void TestEngineOutput::elapsedSeconds_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<double>("seconds");

    QTest::addRow("past an hour")
        << QByteArray("A:3667.8 ( 1:01:07.7) of 3900.0 ( 1:05:00.0)  0.0% \x1b[J\r") << 3667.8;
    QTest::addRow("video") << QByteArray("A:   1.3 V:   1.3 A-V:  0.016 ct:  0.000  14/ 14  0%  "
                                         "0%  0.0% 0 0 \x1b[J\r")
                           << 1.3;
    QTest::addRow("video alone") << QByteArray("V:   1.2  13/ 13  0%  0%  0.0% 0 0 \x1b[J\r")
                                 << 1.2;
}

void TestEngineOutput::elapsedSeconds()
{
    QFETCH(QByteArray, status);
    QFETCH(double, seconds);
    MvEngineOutput output;
    output.begin(0);
    output.feed("AO: x\n" + status, 10);
    QCOMPARE(output.elapsedSeconds(), seconds);
}

QTEST_GUILESS_MAIN(TestEngineOutput)
#include "tst_engineoutput.moc"
