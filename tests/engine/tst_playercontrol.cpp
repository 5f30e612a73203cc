// The engine control against the scripted engine: launch, command stream,
// output parsing, the end-of-medium watchdog and the engine's failures.

#include "support/enginetesthelpers.h"

#include "core/rawfilename.h"
#include "platform/powermanagement.h"

#include <QSignalSpy>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <time.h>

namespace {
const QString audioOut = QStringLiteral("AO: [null] 44100Hz 2ch s16le (2 bytes per sample)");
// The current-media file, named without the fixture's directory.
const QString loadList = QStringLiteral("loadlist curmedia.name");
// An engine that does not quit is ended in the same steps, sooner.
const MvPlayerControl::Deadlines quickStop = {5000, 1000, 250, 250};

qint64 monotonicMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// What the engine read after the launch's volume command.
QStringList commandsAfterLaunch(const EngineFixture &engine)
{
    QStringList lines = engine.stdinLines();
    if (!lines.isEmpty() && lines.first() == QLatin1String("volume 50 100"))
        lines.removeFirst();
    return lines.replaceInStrings(engine.dirPath + QLatin1Char('/'), QString());
}

// Where the medium stands on the engine's command line, after the program's name.
int mediumIndex()
{
    return int(MvPlayerControl::engineArguments(QString(), 50).size());
}

// The engine's log entry of its argument `offset` places after the medium's.
QString argNumber(int offset)
{
    return QString::number(mediumIndex() + offset) + QLatin1Char(' ');
}
} // namespace

class TestPlayerControl : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void launchesEngineWithFixedArguments();
    void secondFileGoesToRunningEngine();
    void missingEngineIsRetried_data();
    void missingEngineIsRetried();
    void engineDeath_data();
    void engineDeath();
    void headerBurstIsReadWhole_data();
    void headerBurstIsReadWhole();
    void headerLine_data();
    void headerLine();
    void lengthReply_data();
    void lengthReply();
    void statusBurst_data();
    void statusBurst();
    void watchdogFiresAfterSilence();
    void engineEndLine_data();
    void engineEndLine();
    void aliveEngineKeepsItsMedium_data();
    void aliveEngineKeepsItsMedium();
    void engineGoesOnToTheQueuedMedium_data();
    void engineGoesOnToTheQueuedMedium();
    void lengthAskedAgainPastIt();
    void pauseAndSeekFlags_data();
    void pauseAndSeekFlags();
    void volume_data();
    void volume();
    void unreadOutputStaysBounded_data();
    void unreadOutputStaysBounded();
    void currentMediaFileIsNotFollowedThroughLink();
    void nameThatIsNotUtf8();
    void handOffFileReadsBackItsName_data();
    void handOffFileReadsBackItsName();
    void nameThePlaylistCannotCarry_data();
    void nameThePlaylistCannotCarry();
    void silentEngineIsReplaced();
    void picksWhileTheEngineOpensAMedium_data();
    void picksWhileTheEngineOpensAMedium();
    void destroyWhileRunning();
    void twoControllers_data();
    void twoControllers();
    void twoControllersHandOffTheirOwnMedia();
};

void TestPlayerControl::init()
{
    PM_setupLcdSleepTime(-7);
}

void TestPlayerControl::launchesEngineWithFixedArguments()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    ProbeControl control(nullptr, 50, 1234);
    const QString path = QStringLiteral("/media/My Music/été 1.mp3");
    control.playFile(path);

    QVERIFY(control.ownEngineRunning());
    QVERIFY(control.isPlaying());
    QVERIFY(!control.ownPaused());
    QVERIFY(!control.ownIdleTimerActive());
    QTRY_COMPARE(engine.stdinLines(), QStringList{QStringLiteral("volume 50 100")});

    const QStringList arguments = MvPlayerControl::engineArguments(path, 50);
    // The volume is in force before the first sample, not a moment after it.
    QCOMPARE(arguments.mid(arguments.size() - 3),
             (QStringList{QStringLiteral("-volume"), QStringLiteral("50"), path}));
    QStringList expected = {QStringLiteral("0 ./mplayer")};
    for (const QString &argument : arguments)
        expected << QStringLiteral("%1 %2").arg(expected.size()).arg(argument);
    QCOMPARE(engine.entries(QStringLiteral("arg")), expected);
    QCOMPARE(engine.entries(QStringLiteral("start")),
             QStringList{QString::number(expected.size())});
    QCOMPARE(engine.entries(QStringLiteral("cwd")), QStringList{engine.dirPath});
    QCOMPARE(engine.entries(QStringLiteral("deathsig")), QStringList{QStringLiteral("9")});
}

void TestPlayerControl::secondFileGoesToRunningEngine()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\non loadlist " + engine.mediaFile() + " => line " +
                     audioOut + "\n");
    ProbeControl control(nullptr, 50, 0);
    control.playFile(QStringLiteral("/media/first.mp3"));
    QTRY_VERIFY(control.ownIdleTimerActive());

    const QString second = QStringLiteral("/media/zweite Datei – ä.ogg");
    QByteArray traced;
    {
        StdoutCapture capture;
        control.playFile(second);
        traced = capture.finish();
    }
    QCOMPARE(traced, "CMD:: loadlist " + QFile::encodeName(engine.mediaFile()) + '\n');
    QCOMPARE(currentMediaFileContent(control), QFile::encodeName(second) + '\n');

    QTRY_COMPARE(engine.stdinLines(),
                 (QStringList{QStringLiteral("volume 50 100"), "loadlist " + engine.mediaFile(),
                              QStringLiteral("volume 50 100")}));
    QCOMPARE(engine.entries(QStringLiteral("start")).size(), 1);

    // A third file replaces the second: still one line.
    control.playFile(QStringLiteral("/media/third.mp3"));
    QTRY_COMPARE(currentMediaFileContent(control), QByteArray("/media/third.mp3\n"));
}

void TestPlayerControl::missingEngineIsRetried_data()
{
    QTest::addColumn<QString>("present");
    QTest::addRow("missing") << "";
    QTest::addRow("not executable") << "file";
    QTest::addRow("a directory") << "dir";
    QTest::addRow("a script whose interpreter is missing") << "#!/nonexistent/sh\nexit 0\n";
    QTest::addRow("a file that is no program") << "\x7f"
                                                  "ELF garbage";
}

void TestPlayerControl::missingEngineIsRetried()
{
    QFETCH(QString, present);
    EngineFixture engine;
    QDir().mkdir(present == QLatin1String("dir") ? engine.dirPath + "/mplayer" : QString());
    if (present == QLatin1String("file")) {
        QFile plain(engine.dirPath + QStringLiteral("/mplayer"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("#!/bin/sh\nexit 0\n");
        plain.close();
        QVERIFY(plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    } else if (present.size() > 4) {
        // Executable, yet no exec succeeds.
        QFile program(engine.dirPath + QStringLiteral("/mplayer"));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write(present.toLatin1());
        program.close();
        QVERIFY(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy exited(&control, &MvPlayerControl::processExited);

    // Failed starts leave no descriptor open.
    const uint descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
    for (int i = 0; i < 200; ++i)
        control.playFile(QStringLiteral("/media/a.mp3"));
    QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), descriptors);
    QVERIFY(!control.ownEngineRunning());
    QVERIFY(!control.isPlaying());
    QVERIFY(!control.ownPaused());
    QCOMPARE(control.engineProcess(), nullptr);

    QFile::remove(engine.dirPath + QStringLiteral("/mplayer"));
    QDir().rmdir(engine.dirPath + QStringLiteral("/mplayer"));
    QVERIFY(engine.installEngine());
    control.playFile(QStringLiteral("/media/b.mp3"));
    QVERIFY(control.ownEngineRunning());
    QTRY_COMPARE(engine.stdinLines(), QStringList{QStringLiteral("volume 50 100")});
    QCOMPARE(engine.entries(QStringLiteral("arg")).last(), argNumber(0) + "/media/b.mp3");
    // No failed start told of an exit, not even later on.
    QCOMPARE(exited.count(), 0);
}

void TestPlayerControl::engineDeath_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("action");

    QTest::addRow("during the header") << "line Playing /media/a.mp3.\nexit 3\n"
                                       << "";
    QTest::addRow("while playing, killed") << "line " + audioOut + "\nstatus 3 20\nkill 9\n"
                                           << "";
    QTest::addRow("while paused") << "line " + audioOut + "\nexpect pause\nkill 15\n"
                                  << "pause";
    QTest::addRow("after quit") << "line " + audioOut + "\n"
                                << "quit";
    QTest::addRow("crash right at start") << "kill 11\n"
                                          << "";
    // An engine that stays after "quit" is terminated, then killed.
    QTest::addRow("ignores quit") << "line " + audioOut + "\non quit => line no\n"
                                  << "quit";
    QTest::addRow("ignores quit and SIGTERM")
        << "ignore 15\non quit => line no\nline " + audioOut + "\n"
        << "quit";
    QTest::addRow("stopped") << "line " + audioOut + "\n"
                             << "stop";
}

void TestPlayerControl::engineDeath()
{
    QFETCH(QString, script);
    QFETCH(QString, action);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(script);
    ProbeControl control(nullptr, 50, 0);
    control.setDeadlines(quickStop);
    QSignalSpy exited(&control, &MvPlayerControl::processExited);

    control.playFile(QStringLiteral("/media/a.mp3"));
    if (!action.isEmpty()) {
        QTRY_VERIFY(control.ownIdleTimerActive());
        if (action == QLatin1String("stop"))
            QCOMPARE(::kill(pid_t(control.engineProcess()->processId()), SIGSTOP), 0);
        if (action == QLatin1String("pause"))
            control.togglePause();
        else
            control.quitPlayer();
    }
    QVERIFY(exited.wait(5000) || exited.count() == 1);
    QCOMPARE(exited.count(), 1);
    QVERIFY(!control.ownEngineRunning());
    // A pause ends with the engine that took it.
    QVERIFY(!control.ownPaused());
    QVERIFY(!control.ownIdleTimerActive());
    QVERIFY(!control.isPlaying());
    QCOMPARE(PM_lcdSleepTime(), 30);

    // Commands go nowhere now, and the next file starts a new engine.
    engine.setScript(QString());
    control.toggleFullScreen();
    control.playFile(QStringLiteral("/media/next.mp3"));
    QVERIFY(control.ownEngineRunning());
    QTRY_COMPARE(engine.entries(QStringLiteral("start")).size(), 2);
    QCOMPARE(engine.entries(QStringLiteral("arg")).last(), argNumber(0) + "/media/next.mp3");
    QTRY_VERIFY(engine.stdinLines().endsWith(QStringLiteral("volume 50 100")));
    QVERIFY(!engine.stdinLines().contains(QStringLiteral("vo_fullscreen")));
    // The first engine's end was told once, even with the second one running.
    QCOMPARE(exited.count(), 1);
}

void TestPlayerControl::headerBurstIsReadWhole_data()
{
    QTest::addColumn<QString>("after");
    QTest::addRow("then silence") << "";
    QTest::addRow("then 200 KB without a line end") << "flood 200000\n";
}

void TestPlayerControl::headerBurstIsReadWhole()
{
    QFETCH(QString, after);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("raw Audio file file format detected.\\n" + audioOut +
                     "\\nPlaying /media/a.mp3.\\n\n" + after);
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(QStringLiteral("/media/a.mp3"));

    // All three lines in one chunk are read: playback is seen, and its end.
    QVERIFY(ended.wait(5000));
    QTRY_COMPARE(engine.stdinLines().count(QStringLiteral("get_time_length")), 1);
}

void TestPlayerControl::headerLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("asksLength");
    QTest::addColumn<bool>("startsWatchdog");

    QTest::addRow("video output") << "VO: [x11] 240x320 => 240x320 Planar YV12" << false << true;
    QTest::addRow("audio output") << audioOut << false << true;
    // Named, but nothing drawn until playback starts.
    QTest::addRow("video stream") << "VIDEO:  [mp4v]  160x120  24bpp" << false << false;
    QTest::addRow("VO without space") << "VO:[x11] 240x320" << false << false;
    QTest::addRow("AO in the middle") << "  AO: [null]" << false << false;
    QTest::addRow("file recognised") << "libavformat file format detected." << true << false;
    QTest::addRow("audio file") << "Audio file file format detected." << true << false;
    QTest::addRow("case differs") << "libavformat File Format Detected." << false << false;
    QTest::addRow("length reply in header") << "ANS_LENGTH=180.00" << false << false;
    QTest::addRow("status before a line end")
        << "A:   1.0 (01.0) of 180.0 (03:00.0)\\r" << false << false;
}

void TestPlayerControl::headerLine()
{
    QFETCH(QString, line);
    QFETCH(bool, asksLength);
    QFETCH(bool, startsWatchdog);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    const bool noLineEnd = line.endsWith(QLatin1String("\\r"));
    engine.setScript((noLineEnd ? "raw " : "line ") + line + "\nsleep 100\nline sync\n");
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy length(&control, &MvPlayerControl::signaTotalTimeLengthChanged);
    QSignalSpy picture(&control, &MvPlayerControl::videoOutputStarted);
    control.playFile(QStringLiteral("/media/a.mp3"));

    QTRY_VERIFY(engine.hasEntry(QStringLiteral("out"), QStringLiteral("sync\\n")));
    QTRY_COMPARE(engine.stdinLines().contains(QStringLiteral("get_time_length")), asksLength);
    QTRY_COMPARE(control.ownIdleTimerActive(), startsWatchdog);
    // What must not happen has had its chance: the line after has been read.
    QTRY_VERIFY(outputTaken(control.engineProcess()));
    QCOMPARE(engine.stdinLines().contains(QStringLiteral("get_time_length")), asksLength);
    QCOMPARE(control.ownIdleTimerActive(), startsWatchdog);
    QCOMPARE(length.count(), 0);
    QCOMPARE(picture.count(), line.startsWith(QLatin1String("VO: ")) ? 1 : 0);
}

void TestPlayerControl::lengthReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<float>("length");

    QTest::addRow("plain") << "ANS_LENGTH=180.25" << 180.25f;
    QTest::addRow("leading dot") << "ANS_LENGTH=.5" << 0.5f;
    QTest::addRow("after other text") << "xyz ANS_LENGTH=42.0 more" << 42.0f;
    QTest::addRow("no decimal point") << "ANS_LENGTH=42" << -1.0f;
    QTest::addRow("other reply") << "ANS_TIME_POSITION=3.2" << -1.0f;
}

void TestPlayerControl::lengthReply()
{
    QFETCH(QString, reply);
    QFETCH(float, length);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line libavformat file format detected.\nexpect get_time_length\nline " +
                     audioOut + "\nsleep 100\nline " + reply + "\nsleep 100\nline sync\n");
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy spy(&control, &MvPlayerControl::signaTotalTimeLengthChanged);
    control.playFile(QStringLiteral("/media/a.mp3"));

    if (length >= 0) {
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toFloat(), length);
    } else {
        QTRY_VERIFY(engine.hasEntry(QStringLiteral("out"), QStringLiteral("sync\\n")));
        QTRY_VERIFY(outputTaken(control.engineProcess()));
        QCOMPARE(spy.count(), 0);
    }
    QTRY_VERIFY(control.ownIdleTimerActive());
}

void TestPlayerControl::statusBurst_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("elapsed");

    QTest::addRow("short") << "A:   2.0 (02.0) of 180.0 (03:00.0)\\r"
                           << "02.0";
    QTest::addRow("minutes, terminal escape")
        << "A:  75.4 (01:15.4) of 180.0 (03:00.0)  0.5% \\e[J\\r"
        << "01:15.4";
    QTest::addRow("span not at the start")
        << "Cache fill:  5.00% (3276 bytes)   \\rA:   3.0 (03.0) of 180.0 (03:00.0)\\r"
        << "03.0";
    QTest::addRow("two bursts in one chunk")
        << "A:   1.0 (01.0) of 180.0 (03:00.0) \\rA:   1.1 (01.1) of 180.0 (03:00.0) \\r"
        << "01.0";
    QTest::addRow("video status")
        << "A:   1.0 V:   1.0 A-V:  0.000 ct:  0.000  25/ 25  0%  0%  0.5% 0 0 \\r"
        << "";
    QTest::addRow("unknown time") << "A:   0.0 (unknown) of 180.0 (03:00.0)\\r"
                                  << "";
}

void TestPlayerControl::statusBurst()
{
    QFETCH(QString, status);
    QFETCH(QString, elapsed);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\nsleep 100\nraw " + status + "\nsleep 100\nraw \\r\n");
    ProbeControl control(nullptr, 50, 0);
    QStringList seen;
    connect(&control, &MvPlayerControl::signalTimeElapse, this,
            [&] { seen.append(control.ownElapsedTimeText()); });
    control.playFile(QStringLiteral("/media/a.mp3"));

    // A lone carriage return follows: it keeps the watchdog alive, no time.
    QTRY_VERIFY(engine.hasEntry(QStringLiteral("out"), QStringLiteral("\\r")));
    const QStringList expected = elapsed.isEmpty() ? QStringList() : QStringList{elapsed};
    QTRY_COMPARE(seen, expected);
    QTRY_VERIFY(control.ownIdleTimerActive());
    QTRY_VERIFY(outputTaken(control.engineProcess()));
    QCOMPARE(seen, expected);
    // Every burst is consumed and keeps the watchdog alive.
    QCOMPARE(control.engineProcess()->bytesAvailable(), 0);
    QVERIFY(control.ownIdleTimerActive());
}

void TestPlayerControl::watchdogFiresAfterSilence()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\nstatus 4 100\n");
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy elapsed(&control, &MvPlayerControl::signalTimeElapse);
    qint64 firedAt = -1;
    connect(&control, &MvPlayerControl::endedCurrentMedia, this, [&] { firedAt = monotonicMs(); });

    QByteArray traced;
    {
        StdoutCapture capture;
        control.playFile(QStringLiteral("/media/a.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(firedAt >= 0, 5000);
        QTest::qWait(100);
        traced = capture.finish();
    }
    QCOMPARE(traced, QByteArray("slotIdleTimerShot :: Shot\n"));
    // Statuses 100 ms apart never let it fire; after the last one, 1200 ms.
    QVERIFY(elapsed.count() >= 2);
    const double lastOutput = engine.lastEntryTime(QStringLiteral("out"));
    const double silence = double(firedAt) - lastOutput;
    QVERIFY2(silence >= 1199.0 && silence < 1600.0, qPrintable(QString::number(silence)));
    QVERIFY(!control.ownIdleTimerActive());
    QVERIFY(control.ownEngineRunning());
}

void TestPlayerControl::engineEndLine_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("endsAtOnce");

    const QString status = QStringLiteral("status 4 40\n");
    QTest::addRow("end line") << "line " + audioOut + "\n" + status + "line EOF code: 1  \n"
                              << true;
    QTest::addRow("end line after status in one write")
        << "line " + audioOut + "\n" + status +
               "raw A:   2.0 (02.0) of 3.0 (03.0)\\rEOF code: 1  \\n\n"
        << true;
    QTest::addRow("medium replaced") << "line " + audioOut + "\n" + status + "line EOF code: 2  \n"
                                     << false;
    QTest::addRow("previous medium's end before this one plays")
        << "line EOF code: 1  \nline " + audioOut + "\n" + status << false;
}

// The engine's end line ends the medium while the engine goes on writing;
// anything else waits out the silence.
void TestPlayerControl::engineEndLine()
{
    QFETCH(QString, script);
    QFETCH(bool, endsAtOnce);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(script + "status 30 20\n");
    ProbeControl control(nullptr, 50, 0);
    qint64 endedAt = -1;
    int ended = 0;
    connect(&control, &MvPlayerControl::endedCurrentMedia, this, [&] {
        endedAt = monotonicMs();
        ++ended;
    });
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(ended > 0, 8000);
    // Every row's script writes 36 times; the comparison needs the last.
    QTRY_COMPARE_WITH_TIMEOUT(engine.entries(QStringLiteral("out")).size(), 36, 5000);
    const double lastOutput = engine.lastEntryTime(QStringLiteral("out"));
    QCOMPARE(double(endedAt) < lastOutput, endsAtOnce);
    QCOMPARE(ended, 1);
}

void TestPlayerControl::aliveEngineKeepsItsMedium_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("stopMs");
    // Silent for longer than the silence, but alive: the medium ends by its end line.
    QTest::addRow("answers when asked") << "line " + audioOut +
                                               "\non get_time_pos => line ANS_TIME_POSITION=1.0\n"
                                               "sleep 2500\nline EOF code: 1\n"
                                        << 0;
    QTest::addRow("stopped for 2 s") << "line " + audioOut + "\nstatus 40 20\nline EOF code: 1\n"
                                     << 2000;
    // A far seek or slow storage: deaf and mute, but working.
    QTest::addRow("busy for 2.5 s") << "line " + audioOut + "\nbusy 2500\nline EOF code: 1\n" << 0;
}

void TestPlayerControl::aliveEngineKeepsItsMedium()
{
    QFETCH(QString, script);
    QFETCH(int, stopMs);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(script);
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(control.ownIdleTimerActive());
    if (stopMs > 0) {
        const pid_t pid = pid_t(control.engineProcess()->processId());
        ::kill(pid, SIGSTOP);
        QTest::qWait(stopMs); // the stall itself
        ::kill(pid, SIGCONT);
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);
    QVERIFY(control.endWasSaid());
}

void TestPlayerControl::engineGoesOnToTheQueuedMedium_data()
{
    QTest::addColumn<bool>("goesOn");
    QTest::addRow("goes on by itself") << true;
    QTest::addRow("drops what was queued") << false;
}

// Told what comes next, an engine that goes on to it by itself is followed
// there; one that only ends the medium is handed the next one.
void TestPlayerControl::engineGoesOnToTheQueuedMedium()
{
    QFETCH(bool, goesOn);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    const QString next = engine.mediaFile() + QStringLiteral(".next");
    const QString end = goesOn ? "raw EOF code: 1\\nPlaying /media/b.mp3.\\n" + audioOut + "\\n"
                               : QStringLiteral("line EOF code: 1");
    engine.setScript("line " + audioOut + "\non loadlist " + next + " 1 => " + end +
                     "\non loadlist " + engine.mediaFile() + " => line " + audioOut + "\n");
    ProbeControl control(nullptr, 50, 0);
    int ended = 0;
    connect(&control, &MvPlayerControl::endedCurrentMedia, this, [&] {
        ++ended;
        control.playFile(QStringLiteral("/media/b.mp3"));
    });
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_COMPARE(control.playbackState(), MvPlayerControl::PlaybackState::Playing);
    control.queueNext(QStringLiteral("/media/b.mp3"));
    QCOMPARE(control.queuedMedium(), QStringLiteral("/media/b.mp3"));
    QFile queued(next);
    QVERIFY(queued.open(QIODevice::ReadOnly));
    QCOMPARE(queued.readAll(), QByteArray("/media/b.mp3\n"));

    QTRY_COMPARE(ended, 1);
    QTRY_COMPARE(control.playbackState(), MvPlayerControl::PlaybackState::Playing);
    QVERIFY(control.queuedMedium().isEmpty());
    const bool replaced = engine.stdinLines().contains("loadlist " + engine.mediaFile());
    QCOMPARE(replaced, !goesOn);
}

void TestPlayerControl::lengthAskedAgainPastIt()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line Audio file file format detected.\nexpect get_time_length\nline " +
                     audioOut +
                     "\nline ANS_LENGTH=4.00\nsleep 50\nraw A:   3.0 (03.0) of 4.0 (04.0)\\r\n"
                     "sleep 50\nraw A:   6.0 (06.0) of 4.0 (04.0)\\r\nexpect get_time_length\n"
                     "line ANS_LENGTH=16.00\nstatus 3 40\n");
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy length(&control, &MvPlayerControl::signaTotalTimeLengthChanged);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_COMPARE(length.count(), 2);
    QCOMPARE(length.last().first().toFloat(), 16.0f);
    QCOMPARE(engine.stdinLines().count(QStringLiteral("get_time_length")), 2);
}

void TestPlayerControl::pauseAndSeekFlags_data()
{
    QTest::addColumn<bool>("withEngine");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<bool>("watchdog");
    QTest::addColumn<QStringList>("written");

    const QStringList none;
    QTest::addRow("pause") << true << QStringList{"pause"} << false << true << false
                           << QStringList{"pause"};
    QTest::addRow("pause, resume") << true << QStringList{"pause", "pause"} << true << false << true
                                   << QStringList{"pause", "pause"};
    QTest::addRow("seek while playing")
        << true << QStringList{"seek 15 0"} << true << false << true << QStringList{"seek 15 "};
    QTest::addRow("seek back with type")
        << true << QStringList{"seek -30 2"} << true << false << true << QStringList{"seek -30 2"};
    QTest::addRow("seek by percent")
        << true << QStringList{"seek 40 1"} << true << false << true << QStringList{"seek 40 1"};
    // A mode the engine does not know seeks nowhere, and ends no pause.
    QTest::addRow("seek of no mode") << true << QStringList{"pause", "seek 15 7"} << false << true
                                     << false << QStringList{"pause"};
    QTest::addRow("seek while paused") << true << QStringList{"pause", "seek -15 0"} << true
                                       << false << true << QStringList{"pause", "seek -15 "};
    // Only a pause the engine took counts: quitting is none.
    QTest::addRow("quit keeps watchdog")
        << true << QStringList{"quit"} << false << false << true << QStringList{"quit"};
    QTest::addRow("quit, then pause and seek go nowhere")
        << true << QStringList{"quit", "pause", "seek 15 0"} << false << false << true
        << QStringList{"quit"};
    QTest::addRow("menu, keys, full screen, position")
        << true << QStringList{"menu 1", "menu 0", "key 4148", "fullscreen", "tick"} << true
        << false << true
        << QStringList{"set_menu main", "menu hide", "key_down_event 4148", "vo_fullscreen",
                       "get_time_pos"};
    QTest::addRow("no position asked while paused")
        << true << QStringList{"pause", "tick"} << false << true << false << QStringList{"pause"};
    // "loadlist" makes the engine play whatever its pause state was.
    QTest::addRow("pause, next") << true << QStringList{"pause", "next"} << true << false << false
                                 << QStringList{"pause", loadList, "volume 50 100"};
    QTest::addRow("pause, next, pause")
        << true << QStringList{"pause", "next", "pause"} << false << true << false
        << QStringList{"pause", loadList, "volume 50 100", "pause"};
    QTest::addRow("no engine: pause")
        << false << QStringList{"pause"} << false << false << false << none;
    QTest::addRow("no engine: seek")
        << false << QStringList{"seek 15 0"} << false << false << false << none;
}

void TestPlayerControl::pauseAndSeekFlags()
{
    QFETCH(bool, withEngine);
    QFETCH(QStringList, operations);
    QFETCH(bool, playing);
    QFETCH(bool, paused);
    QFETCH(bool, watchdog);
    QFETCH(QStringList, written);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\non quit => line bye\nstatus 100 40\n");
    ProbeControl control(nullptr, 50, 0);
    if (withEngine) {
        control.playFile(QStringLiteral("/media/a.mp3"));
        QTRY_VERIFY(control.ownIdleTimerActive());
    }

    for (const QString &operation : operations) {
        const QStringList words = operation.split(QLatin1Char(' '));
        if (words[0] == QLatin1String("pause"))
            control.togglePause();
        else if (words[0] == QLatin1String("seek"))
            control.seek(words[1].toInt(), words[2].toInt());
        else if (words[0] == QLatin1String("menu"))
            control.showMenu(words[1] == QLatin1String("1"));
        else if (words[0] == QLatin1String("key"))
            control.sendKeyDownEvent(words[1].toInt());
        else if (words[0] == QLatin1String("fullscreen"))
            control.toggleFullScreen();
        else if (words[0] == QLatin1String("tick"))
            control.tick();
        else if (words[0] == QLatin1String("next"))
            control.playFile(QStringLiteral("/media/b.mp3"));
        else
            control.quitPlayer();
    }
    QCOMPARE(control.isPlaying(), playing);
    QCOMPARE(control.ownPaused(), paused);
    QCOMPARE(control.ownIdleTimerActive(), watchdog);
    QCOMPARE(control.isMenuShown(), operations.contains(QStringLiteral("menu 1")) &&
                                        !operations.contains(QStringLiteral("menu 0")));

    if (withEngine) {
        QTRY_COMPARE(commandsAfterLaunch(engine), written);
    } else {
        // No command started an engine to take it.
        QCOMPARE(control.engineProcess(), nullptr);
        QVERIFY(engine.log().isEmpty());
    }
}

void TestPlayerControl::volume_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<int>("volume");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("written");

    QTest::addRow("above the ceiling")
        << 50 << QStringList{"volume 105"} << 100 << 100 << QStringList{"volume 100 100"};
    QTest::addRow("below zero") << 50 << QStringList{"volume -5"} << 0 << 100
                                << QStringList{"volume 0 100"};
    QTest::addRow("up at the top")
        << 100 << QStringList{"volume 105"} << 100 << 100 << QStringList{"volume 100 100"};
    QTest::addRow("limit lowers volume")
        << 50 << QStringList{"limit 30"} << 30 << 30 << QStringList{"volume 30 100"};
    QTest::addRow("limit above volume")
        << 50 << QStringList{"limit 70", "volume 90"} << 70 << 70 << QStringList{"volume 70 100"};
    QTest::addRow("limit over 100 unchanged")
        << 50 << QStringList{"limit 150"} << 50 << 100 << QStringList{};
    QTest::addRow("limit below 0")
        << 50 << QStringList{"limit -10"} << 0 << 0 << QStringList{"volume 0 100"};
    QTest::addRow("constructor value clamped at launch")
        << 150 << QStringList{} << 100 << 100 << QStringList{};
}

void TestPlayerControl::volume()
{
    QFETCH(int, initial);
    QFETCH(QStringList, operations);
    QFETCH(int, volume);
    QFETCH(int, limit);
    QFETCH(QStringList, written);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    ProbeControl control(nullptr, initial, 0);
    QCOMPARE(control.volume, initial);
    control.playFile(QStringLiteral("/media/a.mp3"));
    const QString launchVolume = QStringLiteral("volume %1 100").arg(qMin(initial, 100));
    QTRY_COMPARE(engine.stdinLines(), QStringList{launchVolume});

    for (const QString &operation : operations) {
        const QStringList words = operation.split(QLatin1Char(' '));
        if (words[0] == QLatin1String("volume"))
            control.setVolume(words[1].toInt());
        else
            control.setVolumeLimit(words[1].toInt());
    }
    control.toggleMute();
    QCOMPARE(control.volume, volume);
    QCOMPARE(control.currentVolumeLimit(), limit);
    QVERIFY(control.isMuted());
    QTRY_COMPARE(engine.stdinLines(), QStringList{launchVolume} + written + QStringList{"mute"});
}

void TestPlayerControl::unreadOutputStaysBounded_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("pause");
    QTest::addColumn<bool>("stderrFlood");

    QTest::addRow("no line end in the header")
        << "flood 8000000\nsleep 50\nraw \\n\nsleep 50\nline " + audioOut + "\n"
        << false << false;
    QTest::addRow("lines while paused") << "line " + audioOut + "\nexpect pause\nreplay lines 0\n"
                                        << true << false;
    QTest::addRow("status flood") << "line " + audioOut + "\nstatus 20000 0\n" << false << false;
    QTest::addRow("stderr flood") << "errflood 8000000\nline " + audioOut + "\n" << false << true;
}

void TestPlayerControl::unreadOutputStaysBounded()
{
    QFETCH(QString, script);
    QFETCH(bool, pause);
    QFETCH(bool, stderrFlood);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    {
        // Four megabytes of short lines for the paused case.
        QFile lines(engine.dirPath + QStringLiteral("/lines"));
        QVERIFY(lines.open(QIODevice::WriteOnly));
        const QByteArray block = QByteArray(63, 'l') + '\n';
        for (int i = 0; i < 65536; ++i)
            lines.write(block);
    }
    engine.setScript(script);
    ProbeControl control(nullptr, 50, 0);

    // The GUI thread keeps turning while the engine floods it.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        longestGap = qMax(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    qint64 mostUnread = 0;
    auto sample = [&] {
        if (QProcess *p = control.engineProcess()) {
            p->setReadChannel(stderrFlood ? QProcess::StandardError : QProcess::StandardOutput);
            mostUnread = qMax(mostUnread, p->bytesAvailable());
            p->setReadChannel(QProcess::StandardOutput);
        }
    };
    connect(&ticker, &QTimer::timeout, this, sample);
    clock.start();
    ticker.start(5);

    control.playFile(QStringLiteral("/media/a.mp3"));
    if (pause) {
        QTRY_VERIFY(control.ownIdleTimerActive());
        control.togglePause();
        QTRY_VERIFY_WITH_TIMEOUT(
            engine.hasEntry(QStringLiteral("out"), QStringLiteral("replay ends")), 20000);
        QTRY_VERIFY(outputRead(control.engineProcess()));
        sample();
        // The newest output is kept, from a line boundary on.
        const QByteArray kept = control.engineProcess()->peek(16);
        QCOMPARE(kept, QByteArray(16, 'l'));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(control.ownIdleTimerActive(), 20000);
    }
    sample();
    ticker.stop();
    // What stays buffered: the cap plus at most one arriving chunk.
    QVERIFY2(mostUnread <= MvPlayerControl::maxUnreadOutput + 128 * 1024,
             qPrintable(QString::number(mostUnread)));
    QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
}

void TestPlayerControl::currentMediaFileIsNotFollowedThroughLink()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    const QString victim = engine.dirPath + QStringLiteral("/victim");
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("precious\n");
    }
    const QByteArray name = QFile::encodeName(engine.mediaFile());
    QVERIFY(QFile::link(victim, engine.mediaFile()));

    engine.setScript("line " + audioOut + "\n");
    ProbeControl control(nullptr, 50, 0);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(control.ownIdleTimerActive());
    control.playFile(QStringLiteral("/media/b.mp3"));

    QFile file(victim);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("precious\n"));
    struct stat info;
    QCOMPARE(::lstat(name.constData(), &info), 0);
    QVERIFY(S_ISREG(info.st_mode));
    QCOMPARE(currentMediaFileContent(control), QByteArray("/media/b.mp3\n"));
    QTRY_VERIFY(engine.stdinLines().contains("loadlist " + engine.mediaFile()));
    QVERIFY(!engine.stdinLines().contains(QStringLiteral("quit")));
}

// Such a name reaches the engine byte for byte: a fresh engine's command line
// carries text only, so it gets the name through the playlist file too.
void TestPlayerControl::nameThatIsNotUtf8()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\n");
    ProbeControl control(nullptr, 50, 0);
    const QByteArray first("/media/caf\xe9 \x92.mp3");
    control.playFile(fileNameFromRaw(first));
    QTRY_COMPARE(engine.stdinLines().size(), 1);
    QTRY_VERIFY(control.ownIdleTimerActive());
    QCOMPARE(engine.entries(QStringLiteral("arg")).mid(mediumIndex()),
             (QStringList{argNumber(0) + "-playlist", argNumber(1) + engine.mediaFile()}));
    QCOMPARE(currentMediaFileContent(control), first + '\n');

    const QByteArray second("/media/\xe9t\xe9.ogg");
    control.playFile(fileNameFromRaw(second));
    QCOMPARE(currentMediaFileContent(control), second + '\n');
    QTRY_COMPARE(engine.stdinLines().mid(1, 1), QStringList{"loadlist " + engine.mediaFile()});
    QCOMPARE(engine.entries(QStringLiteral("start")).size(), 1);
}

// What the program writes into the hand-off file, the adapter reads back as
// the very name, and as its only medium.
void TestPlayerControl::handOffFileReadsBackItsName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addRow("spaces inside") << QByteArray("/media/My Music/a  b.mp3");
    QTest::addRow("tab and hash inside") << QByteArray("/media/a\t#1.mp3");
    QTest::addRow("not UTF-8") << QByteArray("/media/caf\xe9.mp3");
    QTest::addRow("none: the queued medium taken back") << QByteArray();
}

void TestPlayerControl::handOffFileReadsBackItsName()
{
    QFETCH(QByteArray, name);
    const std::optional<std::string> content = EngineHandOff::content(name.toStdString());
    QVERIFY(content);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("curmedia.name")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(*content));
    file.close();
    const std::string path = QFile::encodeName(file.fileName()).toStdString();
    QCOMPARE(EngineHandOff::media(path), name.isEmpty()
                                             ? std::vector<std::string>{}
                                             : std::vector<std::string>{name.toStdString()});
    QCOMPARE(EngineHandOff::firstMedium(path), name.toStdString());
}

void TestPlayerControl::nameThePlaylistCannotCarry_data()
{
    QTest::addColumn<QString>("name"); // empty: a directory holding a file blocks the file
    QTest::addRow("two lines") << "/media/first line\n/media/second line";
    QTest::addRow("trailing space") << "/media/b.mp3 ";
    QTest::addRow("leading tab") << "\t/media/b.mp3";
    QTest::addRow("read as a comment") << "#b.mp3";
    QTest::addRow("directory at the file's path") << "";
}

void TestPlayerControl::nameThePlaylistCannotCarry()
{
    QFETCH(QString, name);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line " + audioOut + "\nexpect volume 50 100\nstatus 1000 20\n");
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy exited(&control, &MvPlayerControl::processExited);
    QSignalSpy pauses(&control, &MvPlayerControl::pauseChanged);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(control.ownIdleTimerActive());
    QTRY_COMPARE(engine.stdinLines().size(), 1);
    if (name.isEmpty()) {
        QVERIFY(QDir().mkpath(engine.mediaFile() + QStringLiteral("/held")));
        name = QStringLiteral("/media/b.mp3");
    }

    // The engine quits and a new one gets the medium as its argument.
    control.playFile(name);
    QDir(engine.mediaFile()).removeRecursively();
    QTRY_COMPARE(engine.entries(QStringLiteral("start")).size(), 2);
    QTRY_COMPARE(engine.stdinLines().mid(1), (QStringList{"quit", "volume 50 100"}));
    QCOMPARE(engine.entries(QStringLiteral("arg")).last(),
             argNumber(0) + name.replace(QLatin1Char('\n'), QLatin1String("\\n")));
    QCOMPARE(exited.count(), 0);

    // The new engine plays: nothing was paused, and the first pause is the engine's.
    QTRY_VERIFY(control.ownIdleTimerActive());
    QVERIFY(!control.ownPaused());
    control.togglePause();
    QVERIFY(control.ownPaused());
    QCOMPARE(pauses.count(), 1);
    QTRY_COMPARE(engine.stdinLines().mid(1), (QStringList{"quit", "volume 50 100", "pause"}));
}

// An engine that neither plays the next medium nor answers "quit" in time is
// ended, and the medium after it starts on a new engine.
void TestPlayerControl::silentEngineIsReplaced()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("ignore 15\non quit => line no\nline " + audioOut + "\n");
    ProbeControl control(nullptr, 50, 0);
    // Long enough for a scripted engine to start under a sanitizer.
    control.setDeadlines({1500, 1000, quickStop.quitGrace, quickStop.terminateGrace});
    QSignalSpy cannotPlay(&control, &MvPlayerControl::mediumCannotPlay);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QVERIFY(ended.wait(5000));

    control.playFile(QStringLiteral("/media/b.mp3"));
    QVERIFY(cannotPlay.wait(8000));
    QCOMPARE(cannotPlay.first().first().toString(), QStringLiteral("/media/b.mp3"));
    control.playFile(QStringLiteral("/media/c.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(engine.entries(QStringLiteral("start")).size(), 2, 5000);
    QCOMPARE(engine.entries(QStringLiteral("arg")).last(), argNumber(0) + "/media/c.mp3");
    QVERIFY(control.ownEngineRunning());
    QVERIFY(!control.ownPaused());
}

void TestPlayerControl::picksWhileTheEngineOpensAMedium_data()
{
    QTest::addColumn<bool>("answers"); // the engine reports each medium it opens
    QTest::addColumn<bool>("quit");    // F2 right after the burst
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<int>("starts");

    const QString vol = QStringLiteral("volume 50 100");
    // Only the newest pick follows, once the engine has opened the one before.
    QTest::addRow("burst") << true << false << QStringList{loadList, vol, loadList, vol} << 1;
    QTest::addRow("burst, then quit") << true << true << QStringList{loadList, vol, "quit"} << 1;
    // Stuck in the medium: the newest pick starts a new engine.
    QTest::addRow("engine stuck") << false << false << QStringList{loadList, vol, "quit", vol} << 2;
}

void TestPlayerControl::picksWhileTheEngineOpensAMedium()
{
    QFETCH(bool, answers);
    QFETCH(bool, quit);
    QFETCH(QStringList, written);
    QFETCH(int, starts);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(
        "line " + audioOut + "\n" +
        (answers ? "on loadlist " + engine.mediaFile() + " => sleep 200 ;; line " + audioOut + "\n"
                 : QString()));
    ProbeControl control(nullptr, 50, 0);
    control.setDeadlines({1500, 1000, quickStop.quitGrace, quickStop.terminateGrace});
    QSignalSpy cannotPlay(&control, &MvPlayerControl::mediumCannotPlay);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(control.ownIdleTimerActive());

    for (int i = 0; i < 200; ++i)
        control.playFile(QStringLiteral("/media/%1.mp3").arg(i));
    if (quit)
        control.quitPlayer();
    QTRY_COMPARE_WITH_TIMEOUT(commandsAfterLaunch(engine), written, 5000);
    QTRY_COMPARE(engine.entries(QStringLiteral("start")).size(), starts);
    if (!quit)
        QTRY_VERIFY(engine.entries(QStringLiteral("arg")).last().endsWith("/media/199.mp3") ||
                    currentMediaFileContent(control) == "/media/199.mp3\n");
    QCOMPARE(cannotPlay.count(), 0);
    QCOMPARE(ended.count(), 0);
}

void TestPlayerControl::destroyWhileRunning()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    // The engine stays after "quit": only the kill that follows at once ends it.
    engine.setScript("on quit => line no\nline " + audioOut + "\nstatus 1000 20\n");
    auto control = std::make_unique<ProbeControl>(nullptr, 50, 0);
    int heard = 0;
    QObject listener;
    connect(control.get(), &MvPlayerControl::processExited, &listener, [&] { ++heard; });
    connect(control.get(), &MvPlayerControl::endedCurrentMedia, &listener, [&] { ++heard; });
    control->playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(control->ownIdleTimerActive());
    const qint64 pid = control->engineProcess()->processId();
    QVERIFY(pid > 0);

    QByteArray traced;
    {
        StdoutCapture capture;
        control.reset();
        traced = capture.finish();
    }
    QCOMPARE(traced, QByteArray("MvPlayerControl::destroy()\n"));
    QCOMPARE(heard, 0);
    QCOMPARE(PM_lcdSleepTime(), 30);
    // The engine was killed and reaped.
    errno = 0;
    QCOMPARE(::kill(pid_t(pid), 0), -1);
    QCOMPARE(errno, ESRCH);
    QVERIFY(!engine.entries(QStringLiteral("exit")).size());
}

void TestPlayerControl::twoControllers_data()
{
    QTest::addColumn<bool>("firstGoesFirst");
    QTest::addRow("first deleted first") << true;
    QTest::addRow("second deleted first") << false;
}

void TestPlayerControl::twoControllers()
{
    QFETCH(bool, firstGoesFirst);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    // Statuses 20 ms apart: 65 of them outlast the watchdog's 1200 ms.
    engine.setScript("line " + audioOut + "\nstatus 1000 20\n");
    auto first = std::make_unique<ProbeControl>(nullptr, 50, 0);
    first->playFile(QStringLiteral("/media/a.mp3"));
    QTRY_VERIFY(first->ownIdleTimerActive());
    auto second = std::make_unique<ProbeControl>(nullptr, 50, 0);
    QVERIFY(!second->ownEngineRunning());
    second->playFile(QStringLiteral("/media/b.mp3"));
    QTRY_VERIFY(second->ownIdleTimerActive());

    std::unique_ptr<ProbeControl> &gone = firstGoesFirst ? first : second;
    std::unique_ptr<ProbeControl> &stays = firstGoesFirst ? second : first;
    const qint64 gonePid = gone->engineProcess()->processId();
    const qint64 staysPid = stays->engineProcess()->processId();
    QVERIFY(gonePid > 0 && staysPid > 0 && gonePid != staysPid);
    gone.reset();
    errno = 0;
    QCOMPARE(::kill(pid_t(gonePid), 0), -1);
    QCOMPARE(errno, ESRCH);

    // The other plays on with its own engine, fed by its own output for
    // longer than the watchdog's silence.
    QVERIFY(stays->ownEngineRunning());
    QSignalSpy fed(stays.get(), &MvPlayerControl::signalTimeElapse);
    QTRY_VERIFY_WITH_TIMEOUT(fed.count() >= 65, 15000);
    QVERIFY(stays->ownIdleTimerActive());
    stays->togglePause();
    QVERIFY(stays->ownPaused());
    QVERIFY(!stays->ownIdleTimerActive());
    auto paused = [&] {
        for (const EngineLogEntry &entry : engine.log())
            if (entry.pid == staysPid && entry.kind == QLatin1String("in") &&
                entry.text == QLatin1String("pause"))
                return true;
        return false;
    };
    QTRY_VERIFY(paused());
    stays.reset();
}

void TestPlayerControl::twoControllersHandOffTheirOwnMedia()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    const QString defaultName = QString::fromLatin1(MvEngineProcess::defaultCurrentMediaFile);
    auto first = std::make_unique<MvPlayerControl>(nullptr, 50, 0);
    auto second = std::make_unique<MvPlayerControl>(nullptr, 50, 0);
    QCOMPARE(first->currentMediaFile(), defaultName);
    QVERIFY(second->currentMediaFile() != defaultName);
    engine.setScript("line " + audioOut + "\n");
    first->playFile(QStringLiteral("/media/first.mp3"));
    second->playFile(QStringLiteral("/media/second.mp3"));
    // A pick waits until the engine has opened the medium before.
    QTRY_VERIFY(first->ownIdleTimerActive() && second->ownIdleTimerActive());
    first->playFile(QStringLiteral("/media/a.mp3"));
    second->playFile(QStringLiteral("/media/b.mp3"));

    // Each engine is named a file that holds its own controller's medium.
    const QHash<QString, QByteArray> handedTo = {
        {argNumber(0) + "/media/first.mp3", "/media/a.mp3\n"},
        {argNumber(0) + "/media/second.mp3", "/media/b.mp3\n"}};
    auto loadLists = [&] { return engine.stdinLines().filter(QStringLiteral("loadlist ")); };
    QTRY_COMPARE(loadLists().size(), 2);
    const QVector<EngineLogEntry> log = engine.log();
    for (const EngineLogEntry &load : log) {
        if (load.kind != QLatin1String("in") || !load.text.startsWith(QLatin1String("loadlist ")))
            continue;
        QString started;
        for (const EngineLogEntry &arg : log)
            if (arg.pid == load.pid && arg.kind == QLatin1String("arg") &&
                arg.text.startsWith(argNumber(0)))
                started = arg.text;
        QFile named(load.text.mid(9));
        QVERIFY(named.open(QIODevice::ReadOnly));
        QCOMPARE(named.readAll(), handedTo.value(started));
    }

    // The default goes with its holder; a controller's own name goes with it.
    const QString ownName = second->currentMediaFile();
    second.reset();
    QVERIFY(!QFile::exists(ownName));
    first.reset();
    QCOMPARE(MvPlayerControl(nullptr, 50, 0).currentMediaFile(), defaultName);
}

QTEST_GUILESS_MAIN(TestPlayerControl)
#include "tst_playercontrol.moc"
