// The engine adapter against the machine's real MPlayer or mpv, headless: what the
// front-end reads, what it can make the engine do, and that no engine process
// outlives the adapter.
#include "player/mvplayercontrol.h"
#include "support/processes.h"
#include "support/requiredtools.h"
#include "support/testmedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

namespace {

const QString adapterPath = QStringLiteral(MOVARA_BIN_DIR "/mplayer");

// Gone, or dead and waiting to be reaped.
bool processGone(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const QByteArray state = text.mid(text.lastIndexOf(')') + 2, 1);
    return state == "Z" || state == "X";
}

// The process's state letter ("T" when stopped), or empty when it is gone.
QByteArray processState(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1);
}

// Status pieces: what the engine ended with a carriage return, from offset on.
QList<QByteArray> statusPieces(const QByteArray &out, qsizetype from)
{
    QList<QByteArray> pieces;
    qsizetype start = from;
    for (qsizetype i = from; i < out.size(); ++i) {
        if (out[i] == '\n' || out[i] == '\r') {
            if (out[i] == '\r')
                pieces << out.mid(start, i - start);
            start = i + 1;
        }
    }
    return pieces;
}

// The times of the audio status pieces from offset on.
QList<double> statusTimes(const QByteArray &out, qsizetype from)
{
    QList<double> times;
    for (const QByteArray &piece : statusPieces(out, from)) {
        if (piece.startsWith("A:"))
            times << piece.mid(2).trimmed().split(' ').first().toDouble();
    }
    return times;
}

} // namespace

class TestAdapterEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void header_data();
    void header();
    void loadlistPlaysTheNextMedium();
    void seekLandsWhereItSays_data();
    void seekLandsWhereItSays();
    void chapterJumpLandsOnItsStart_data();
    void chapterJumpLandsOnItsStart();
    void pauseSurvivesOtherCommands();
    void unseenEngineRestsWhilePaused();
    void noEngineOutlivesTheAdapter_data();
    void noEngineOutlivesTheAdapter();
    void standardErrorStaysApart();
    void exitStatus_data();
    void exitStatus();

private:
    void start(const QString &media, const QProcessEnvironment &extra = {}, int pendingSignal = 0);
    bool waitFor(const QByteArray &needle, qsizetype from, int timeoutMs);
    // Sends the command, then a question the engine answers after it; whether
    // the answer came: what the command made the engine say is out before it.
    bool sendAndMark(const QByteArray &command);
    // Sends the seek; the first time shown away from the one before it, and
    // where it was meant to land.
    double seekAndLand(const QByteArray &command, double &target);
    void send(const QByteArray &command) { adapter->write(command); }

    QTemporaryDir media;
    QProcess *adapter = nullptr;
    QByteArray out;
    QByteArray err;
};

void TestAdapterEngine::initTestCase()
{
    if (qEnvironmentVariableIsEmpty(qPrintable(engineOverrideVariable())))
        MOVARA_REQUIRE_TOOLS(engineUnderTest());
    MOVARA_REQUIRE_TOOLS("ffmpeg");
    QVERIFY(media.isValid());
    const QString sine = "sine=frequency=440:duration=3";
    const QList<QStringList> jobs = {
        {"-f", "lavfi", "-i", sine, media.filePath("a.mp3")},
        {"-f", "lavfi", "-i", "sine=frequency=440:duration=4", media.filePath("b.mp3")},
        {"-f", "lavfi", "-i", sine, media.filePath("a.wav")},
        {"-f", "lavfi", "-i", sine, "-c:a", "libvorbis", media.filePath("a.ogg")},
        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=15:duration=3", "-f", "lavfi", "-i", sine,
         "-shortest", "-c:v", "mpeg4", "-c:a", "mp2", media.filePath("v.avi")},
        // VBR: a tone's frames are a fraction of the size of the noise's after it.
        {"-f", "lavfi", "-i", "sine=frequency=440:duration=4", "-f", "lavfi", "-i",
         "anoisesrc=duration=10:amplitude=0.5", "-filter_complex", "[0][1]concat=n=2:v=0:a=1",
         "-c:a", "libmp3lame", "-q:a", "2", media.filePath("vbr.mp3")},
        {"-i", media.filePath("vbr.mp3"), "-c", "copy", "-write_xing", "0",
         media.filePath("vbr-noheader.mp3")},
    };
    for (const QStringList &job : jobs) {
        QCOMPARE(QProcess::execute("ffmpeg", QStringList{"-v", "error", "-y"} + job), 0);
    }
}

void TestAdapterEngine::init()
{
    out.clear();
    err.clear();
}

void TestAdapterEngine::cleanup()
{
    if (adapter) {
        adapter->kill();
        adapter->waitForFinished(2000);
        delete adapter;
        adapter = nullptr;
    }
}

// With pendingSignal, the adapter meets that signal, held pending, at its start.
void TestAdapterEngine::start(const QString &path, const QProcessEnvironment &extra,
                              int pendingSignal)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("MOVARA_SCREEN_WID");
    for (const QString &key : extra.keys())
        environment.insert(key, extra.value(key));
    adapter = new QProcess;
    adapter->setProcessEnvironment(environment);
    adapter->setWorkingDirectory(media.path());
    if (pendingSignal) {
        adapter->setChildProcessModifier([pendingSignal] {
            sigset_t set;
            sigemptyset(&set);
            sigaddset(&set, pendingSignal);
            sigprocmask(SIG_BLOCK, &set, nullptr);
            raise(pendingSignal);
        });
    }
    adapter->start(adapterPath, MvPlayerControl::engineArguments(path));
    QVERIFY2(adapter->waitForStarted(), qPrintable(adapter->errorString()));
}

bool TestAdapterEngine::waitFor(const QByteArray &needle, qsizetype from, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        out += adapter->readAllStandardOutput();
        err += adapter->readAllStandardError();
        if (out.indexOf(needle, from) >= 0)
            return true;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || adapter->state() == QProcess::NotRunning)
            return false;
        adapter->waitForReadyRead(int(left));
    }
}

bool TestAdapterEngine::sendAndMark(const QByteArray &command)
{
    const qsizetype mark = out.size();
    send(command + "get_time_length\n");
    return waitFor("ANS_LENGTH=", mark, 10000);
}

void TestAdapterEngine::header_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");

    QTest::addRow("mp3") << "a.mp3" << false;
    QTest::addRow("wav") << "a.wav" << false;
    QTest::addRow("ogg") << "a.ogg" << false;
    QTest::addRow("video with sound") << "v.avi" << true;
}

void TestAdapterEngine::header()
{
    QFETCH(QString, file);
    QFETCH(bool, video);

    start(media.filePath(file));
    QVERIFY2(waitFor("AO: ", 0, 15000), err.constData());
    QVERIFY(waitFor(video ? "\nVO: " : "\r", 0, 3000));
    QVERIFY(waitFor("\r", out.indexOf(video ? "\nVO: " : "AO: "), 3000));

    const QList<QByteArray> lines = out.split('\n');
    QCOMPARE(lines.contains("Audio file file format detected."), !video);
    QVERIFY(!out.contains("Audio only file format detected."));
    QVERIFY(!out.contains("libavformat file format detected.") || video);
    QVERIFY(out.contains("file format detected.\n"));
    QCOMPARE(out.contains("\nVIDEO:"), video);
    QVERIFY(!out.contains('\x1b'));

    // The engine has left the header behind: one status piece after another.
    const qsizetype playing = out.indexOf("Starting playback...");
    while (statusPieces(out, playing).size() < 3 && waitFor("\r", out.size(), 3000)) {
    }
    const QList<QByteArray> status = statusPieces(out, playing);
    QVERIFY(status.size() >= 3);
    for (const QByteArray &piece : status)
        QVERIFY2(piece.startsWith("A:"), piece.constData());
    if (!video) {
        static const QRegularExpression elapsed(R"(^A:.*\([0-9:]*[0-9]\.[0-9]\))");
        QVERIFY2(elapsed.match(QString::fromLatin1(status.last())).hasMatch(),
                 status.last().constData());
    }

    // The length comes back at once, by the medium's own clock: before it has
    // played on by half a second, however busy the machine.
    const qsizetype asked = out.size();
    const double askedAt = statusTimes(out, 0).last();
    send("get_time_length\n");
    QVERIFY(waitFor("ANS_LENGTH=", asked, 10000));
    const QList<double> meanwhile = statusTimes(out.left(out.indexOf("ANS_LENGTH=", asked)), asked);
    const double playedOn = meanwhile.isEmpty() ? 0 : meanwhile.last() - askedAt;
    QVERIFY2(playedOn < 0.5, qPrintable(QString::number(playedOn)));
    static const QRegularExpression length(R"(ANS_LENGTH=([0-9]*\.[0-9]+))");
    const auto match = length.match(QString::fromLatin1(out.mid(asked)));
    QVERIFY(match.hasMatch());
    QVERIFY(qAbs(match.captured(1).toDouble() - 3.0) < 0.2);

    // Within the program's grace for a quitting engine.
    QElapsedTimer clock;
    clock.start();
    send("quit\n");
    QVERIFY(adapter->waitForFinished(1000));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(adapter->exitStatus(), QProcess::NormalExit);
    QCOMPARE(adapter->exitCode(), 0);
}

void TestAdapterEngine::loadlistPlaysTheNextMedium()
{
    start(media.filePath("a.mp3"));
    QVERIFY(waitFor("AO: ", 0, 15000));
    QFile list(media.filePath("list.name"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(QFile::encodeName(media.filePath("v.avi")) + '\n');
    list.close();

    const qsizetype loaded = out.size();
    send("loadlist " + QFile::encodeName(list.fileName()) + "\n");
    QVERIFY2(waitFor("\nVIDEO:", loaded, 3000), out.mid(loaded).constData());
    QVERIFY(waitFor("\nVO: ", loaded, 3000));
    QVERIFY(waitFor("\r", out.indexOf("\nVO: ", loaded), 3000));
}

void TestAdapterEngine::seekLandsWhereItSays_data()
{
    QTest::addColumn<QString>("file");

    QTest::addRow("Xing header") << "vbr.mp3";
    QTest::addRow("no header") << "vbr-noheader.mp3";
}

double TestAdapterEngine::seekAndLand(const QByteArray &command, double &target)
{
    const qsizetype mark = out.size();
    const double before = statusTimes(out, 0).last();
    send(command);
    const QList<QByteArray> words = command.trimmed().split(' ');
    const double step = words.value(1).toDouble();
    target = words.size() > 2 ? step : before + step;

    // The first time shown away from the one before the seek.
    double landed = -1;
    while (landed < 0 && out.indexOf("EOF code", mark) < 0 && waitFor("\r", out.size(), 10000)) {
        for (double time : statusTimes(out, mark)) {
            if (qAbs(time - before) > 1 && landed < 0)
                landed = time;
        }
    }
    return landed;
}

// The time shown after a seek, absolute and then relative, is where the
// medium plays: it runs on to the medium's length, no further and no shorter.
void TestAdapterEngine::seekLandsWhereItSays()
{
    QFETCH(QString, file);
    const double length = 14;

    start(media.filePath(file));
    QVERIFY2(waitFor("AO: ", 0, 15000), err.constData());
    QVERIFY(waitFor("\r", out.indexOf("AO: "), 3000));
    const qsizetype mark = out.size();
    double target = -1;
    double landed = seekAndLand("seek 8 2\n", target);
    QVERIFY2(qAbs(landed - target) <= 1, qPrintable(QString::number(landed)));
    landed = seekAndLand("seek 5 \n", target);
    QVERIFY2(qAbs(landed - target) <= 1,
             qPrintable(QString::number(landed) + " for " + QString::number(target)));

    QVERIFY(waitFor("EOF code: 1", mark, 15000));
    const double last = statusTimes(out.left(out.indexOf("EOF code: 1", mark)), mark).last();
    QVERIFY2(qAbs(last - length) <= 1, qPrintable(QString::number(last)));
}

void TestAdapterEngine::chapterJumpLandsOnItsStart_data()
{
    QTest::addColumn<QString>("file");
    QTest::addRow("AAC in MP4") << "book.m4b";
    QTest::addRow("MP3 with CHAP frames") << "book.mp3";
    QTest::addRow("Matroska") << "book.mkv";
}

// The program reads the medium's chapters, and a seek to one's start lands there.
void TestAdapterEngine::chapterJumpLandsOnItsStart()
{
    QFETCH(QString, file);
    QVERIFY(
        makeChapteredMedium(media.filePath(file), 12, 2, {"Opening", "a=b; #c", "Drittes – ü"}));
    start(media.filePath(file));
    QVERIFY2(waitFor("AO: ", 0, 15000), err.constData());
    QVERIFY(waitFor("\r", out.indexOf("AO: "), 3000));

    MvEngineOutput reader;
    QList<QVector<MvChapter>> lists;
    connect(&reader, &MvEngineOutput::chaptersRead,
            [&lists](const QVector<MvChapter> &chapters) { lists << chapters; });
    reader.begin(0);
    reader.feed(out, 0);
    QCOMPARE(lists.size(), 1);
    const QVector<MvChapter> chapters = lists.first();
    QCOMPARE(chapters.size(), 12);
    QCOMPARE((QStringList{chapters[1].title, chapters[2].title}),
             (QStringList{"a=b; #c", "Drittes – ü"}));
    // mpv's times of an MP3 are early by its encoder's delay (25 ms).
    QVERIFY2(qAbs(chapters[2].start - 4) <= 0.03 && qAbs(chapters[2].end - 6) <= 0.03,
             qPrintable(QString::number(chapters[2].start)));

    double target = 0;
    const double landed =
        seekAndLand("seek " + QByteArray::number(chapters[2].start) + " 2\n", target);
    if (!mpvUnderTest())
        QEXPECT_FAIL("Matroska", "MPlayer lands on the next cluster, 5 s apart here", Continue);
    QVERIFY2(qAbs(landed - chapters[2].start) <= 0.3, qPrintable(QString::number(landed)));
}

void TestAdapterEngine::pauseSurvivesOtherCommands()
{
    start(media.filePath("a.mp3"));
    QVERIFY(waitFor("AO: ", 0, 15000));
    QVERIFY(waitFor("\r", out.indexOf("AO: "), 3000));

    QVERIFY(sendAndMark("pause\n"));
    // Commands other than pause, seek, loadlist and quit leave the pause alone,
    // so the next pause plays on; had one of them ended the pause, it would
    // pause again and no status would follow.
    QVERIFY(sendAndMark("volume 60 100\n"));
    QVERIFY(sendAndMark("pause\n"));
    QVERIFY(waitFor("\r", out.lastIndexOf("ANS_LENGTH="), 10000));
}

// Unseen (a status rate of one a second or less), a paused engine is stopped
// while it is quiet, and continued for each command; the status comes at the
// rate asked for, and the end at once.
void TestAdapterEngine::unseenEngineRestsWhilePaused()
{
    start(media.filePath("b.mp3"));
    send("status_rate 1\n");
    QVERIFY(waitFor("AO: ", 0, 15000));
    const qsizetype playing = out.indexOf("AO: ");
    const QList<qint64> engines = childrenOf(adapter->processId());
    QCOMPARE(engines.size(), 1);
    const qint64 engine = engines.first();
    auto shownUntil = [&] {
        out += adapter->readAllStandardOutput();
        const QList<double> times = statusTimes(out, playing);
        return times.isEmpty() ? -1 : times.last();
    };
    QTRY_VERIFY_WITH_TIMEOUT(shownUntil() >= 2.3, 10000);
    // Between 1 and 2.3 s: at ten a second some 13 pieces.
    const QList<double> times = statusTimes(out, playing);
    QVERIFY2(
        std::count_if(times.begin(), times.end(), [](double t) { return t >= 1 && t < 2.3; }) <= 3,
        out.constData());

    send("pause\n");
    QTRY_COMPARE_WITH_TIMEOUT(processState(engine), QByteArray("T"), 5000);
    // A question continues it, is answered, and it rests again.
    QVERIFY(sendAndMark(""));
    QTRY_COMPARE_WITH_TIMEOUT(processState(engine), QByteArray("T"), 5000);
    // Seen again, it runs: a paused picture may need drawing.
    send("status_rate 10\n");
    QTRY_VERIFY_WITH_TIMEOUT(processState(engine) != "T", 5000);
    send("status_rate 1\n");
    QTRY_COMPARE_WITH_TIMEOUT(processState(engine), QByteArray("T"), 5000);
    // A seek plays on, to the end.
    const qsizetype paused = out.size();
    send("seek 3.5 2\n");
    QVERIFY(waitFor("EOF code: 1", paused, 10000));
}

void TestAdapterEngine::noEngineOutlivesTheAdapter_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("stopped");
    QTest::addRow("adapter killed") << int(SIGKILL) << false;
    QTest::addRow("adapter terminated") << int(SIGTERM) << false;
    QTest::addRow("standard input closed") << 0 << false;
    QTest::addRow("adapter killed, engine stopped") << int(SIGKILL) << true;
    QTest::addRow("adapter terminated, engine stopped") << int(SIGTERM) << true;
    QTest::addRow("standard input closed, engine stopped") << 0 << true;
}

void TestAdapterEngine::noEngineOutlivesTheAdapter()
{
    QFETCH(int, how);
    QFETCH(bool, stopped);

    start(media.filePath("v.avi"));
    QVERIFY(waitFor("AO: ", 0, 15000));
    const QList<qint64> engines = childrenOf(adapter->processId());
    QCOMPARE(engines.size(), 1);
    QVERIFY(!processGone(engines.first()));
    // Paused, the engine writes nothing, so no broken pipe would end it either.
    if (stopped)
        send("status_rate 1\n");
    QVERIFY(sendAndMark("pause\n"));
    if (stopped)
        QTRY_COMPARE_WITH_TIMEOUT(processState(engines.first()), QByteArray("T"), 5000);

    if (how)
        ::kill(pid_t(adapter->processId()), how);
    else
        adapter->closeWriteChannel();
    QVERIFY(adapter->waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(processGone(engines.first()), 10000);
    // It heeded the quit: not killed when its time to quit was over.
    if (how != SIGKILL)
        QVERIFY(adapter->exitStatus() == QProcess::NormalExit || adapter->exitCode() != SIGKILL);
    if (!how) {
        QCOMPARE(adapter->exitStatus(), QProcess::NormalExit);
        QCOMPARE(adapter->exitCode(), 0);
    }
}

void TestAdapterEngine::standardErrorStaysApart()
{
    start(media.filePath("missing.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT((err += adapter->readAllStandardError()).contains("File not found"),
                             5000);
    out += adapter->readAllStandardOutput();
    QVERIFY(!out.contains("File not found"));
    QVERIFY(!out.contains("AO: "));
    // Still idle, waiting for commands.
    QCOMPARE(adapter->state(), QProcess::Running);
    send("quit 3\n");
    QVERIFY(adapter->waitForFinished(10000));
    QCOMPARE(adapter->exitStatus(), QProcess::NormalExit);
    QCOMPARE(adapter->exitCode(), 3);
}

void TestAdapterEngine::exitStatus_data()
{
    QTest::addColumn<QByteArray>("engine");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("pendingSignal");

    QTest::addRow("engine exits with a status") << QByteArray("exit 5") << false << 5 << 0;
    QTest::addRow("engine killed") << QByteArray("kill -TERM $$") << true << 0 << 0;
    QTest::addRow("engine missing") << QByteArray() << false << 127 << 0;
    // The engine is never started: it would leave a mark.
    const QByteArray marking = ": >engine-started; exec sleep 30";
    QTest::addRow("SIGTERM at the start") << marking << true << 0 << int(SIGTERM);
    QTest::addRow("SIGINT at the start") << marking << true << 0 << int(SIGINT);
}

void TestAdapterEngine::exitStatus()
{
    QFETCH(QByteArray, engine);
    QFETCH(bool, crashed);
    QFETCH(int, code);
    QFETCH(int, pendingSignal);

    const QString script = media.filePath("engine.sh");
    QFile::remove(script);
    QFile::remove(media.filePath("engine-started"));
    if (!engine.isEmpty()) {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + engine + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    QProcessEnvironment extra;
    extra.insert(engineOverrideVariable(), script);
    start(media.filePath("a.mp3"), extra, pendingSignal);
    QVERIFY(adapter->waitForFinished(10000));
    QVERIFY(!QFile::exists(media.filePath("engine-started")));
    QCOMPARE(adapter->exitStatus(), crashed ? QProcess::CrashExit : QProcess::NormalExit);
    if (!crashed)
        QCOMPARE(adapter->exitCode(), code);
    if (engine.isEmpty())
        QVERIFY(adapter->readAllStandardError().contains(QFile::encodeName(script)));
}

QTEST_MAIN(TestAdapterEngine)
#include "tst_adapterengine.moc"
