// The whole program on a private X server, driven with real taps and keys,
// with the scripted engine (or none, or the real one) beside it.

#include "support/enginelog.h"
#include "support/movararun.h"
#include "support/xsession.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
// Where things are on the phone's 240 x 320 screen in the normal layout.
constexpr int firstRowY = 80;
constexpr int rowTextX = 100;
constexpr int softKeyY = 302;
constexpr int middleSoftKeyX = 120;
constexpr int rightSoftKeyX = 200;
// Between taps on rows: a second tap within the double-tap interval (400 ms)
// of one that opened a folder is dropped, and a loaded machine narrows the gap.
constexpr int tapGapMs = 600;

const QString videoRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPhotos");
const QString clipsFolder = videoRoot + QStringLiteral("/Clips");
const QString configFile = QStringLiteral("/ezx_user/download/appwrite/setup/ezx_system.cfg");
const QString loadCommand = QStringLiteral("loadlist /tmp/movara_curmedia.name");

const QStringList teardownAfterPlay = {
    QStringLiteral("MvPlayerControl::destroy()"), QStringLiteral("Movara::destroy()"),
    QStringLiteral("MvSharePixmap::destroy()"), QStringLiteral("MvApplication::destroy()")};

// Header of a video as the engine prints it, then `statusCount` status
// outputs 100 ms apart; later media come through "loadlist".
QString videoScript(int statusCount, const QString &extra = QString())
{
    return QStringLiteral("on %1 => line VO: [x11] 240x320 ;; status 10 100\n"
                          "line Playing.\n"
                          "line libavformat file format detected.\n"
                          "line VIDEO:  [H264]  240x320  24bpp  25.000 fps\n"
                          "line VO: [x11] 240x320 => 240x320 Planar YV12\n"
                          "line AO: [null] 44100Hz 2ch s16le\n")
               .arg(loadCommand) +
           extra + QStringLiteral("status %1 100\n").arg(statusCount);
}

// An audio medium's header, then `statusCount` status outputs 100 ms apart,
// each a tenth of a second further.
QString audioScript(int statusCount)
{
    return QStringLiteral("line Audio file file format detected.\n"
                          "line AO: [null] 44100Hz 2ch s16le\nstatus %1 100\n")
        .arg(statusCount);
}

// Where the now-playing view draws the name and the time, on the full-screen frame.
const QRect nameArea(10, 156, 220, 24);
const QRect timeArea(10, 186, 220, 22);

int brightPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) > 160;
    return n;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0;
}

int countOf(const QStringList &lines, const QString &line)
{
    return static_cast<int>(lines.count(line));
}

QStringList withPrefix(const QStringList &lines, const QString &prefix)
{
    QStringList result;
    for (const QString &line : lines)
        if (line.startsWith(prefix))
            result.append(line);
    return result;
}
} // namespace

class TestMovaraWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void playsAFolderThroughWithKeys();
    void softKeysGoBackHomeAndQuit_data();
    void softKeysGoBackHomeAndQuit();
    void startsFromItsOwnDirectory_data();
    void startsFromItsOwnDirectory();
    void returnsToBrowserWithoutEngine();
    void returnsToBrowserWhenEngineDies_data();
    void returnsToBrowserWhenEngineDies();
    void quitKeyTwiceAndPickWhileQuitting();
    void endsCleanlyFromOutside_data();
    void endsCleanlyFromOutside();
    void playsRealMediaWithTheRealEngine();
    void keysWorkAfterGoingBack_data();
    void keysWorkAfterGoingBack();
    void nowPlayingAndWakingDuringAudio();

private:
    // The phone's screen as the X server shows it.
    QImage phoneScreen(MovaraRun &run);
    MovaraRun *newRun(MovaraRun::Engine engine,
                      const QString &programName = QStringLiteral("movara"));
    QString script(const QString &text);
    // Taps the roots' first row (the video root), the folder "Clips" and its first file.
    void tapIntoClipsAndPlay(MovaraRun &run);
    bool noKeyTrace(MovaraRun &run, const QString &keyName);
    // Home, then quit from the media roots: a clean exit with the teardown lines.
    void goHomeAndQuit(MovaraRun &run, bool checkTeardown = true);

    XSession session;
    QTemporaryDir work;
    QString engineLogPath;
    QString probePath;
    MovaraRun *current = nullptr;
};

void TestMovaraWindow::initTestCase()
{
    if (!QFileInfo::exists(videoRoot))
        QSKIP("needs the phone's media roots (run through phone-sandbox.sh)");
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs Xvfb and xdotool");
    QVERIFY(session.start());
    QVERIFY(work.isValid());

    // Folders first, then files by name: Clips is the first row of the video root.
    for (const char *name : {"a.avi", "b.avi", "c.avi"})
        QVERIFY(writeFile(clipsFolder + QLatin1Char('/') + QLatin1String(name), "clip"));
    QVERIFY(writeFile(videoRoot + QStringLiteral("/zz.avi"), "clip"));
    // A long sleep time, so that the screen never goes dark under a test.
    QVERIFY(writeFile(configFile, "Brightness = 60\nLcdSleepTime = 3\n"));
}

void TestMovaraWindow::init()
{
    engineLogPath =
        work.filePath(QStringLiteral("engine-%1.log").arg(QTest::currentTestFunction()));
    probePath = work.filePath(QStringLiteral("cwd-%1.probe").arg(QTest::currentTestFunction()));
    QFile::remove(engineLogPath);
    QFile::remove(probePath);
}

void TestMovaraWindow::cleanup()
{
    delete current;
    current = nullptr;
}

MovaraRun *TestMovaraWindow::newRun(MovaraRun::Engine engine, const QString &programName)
{
    delete current;
    static int runNumber = 0;
    current = new MovaraRun(session, work.filePath(QStringLiteral("app%1").arg(++runNumber)));
    if (!current->install(engine, programName))
        return nullptr;
    current->setEnvironment(QStringLiteral("MOVARA_ENGINE_LOG"), engineLogPath);
    current->setEnvironment(QStringLiteral("MOVARA_CWD_PROBE"), probePath);
    current->setEnvironment(QStringLiteral("LD_PRELOAD"),
                            QStringLiteral(MOVARA_LIB_DIR "/movara_cwdprobe.so"));
    current->setEnvironment(QStringLiteral("ASAN_OPTIONS"),
                            QStringLiteral("detect_leaks=0:verify_asan_link_order=0"));
    return current;
}

QString TestMovaraWindow::script(const QString &text)
{
    const QString path =
        work.filePath(QStringLiteral("%1.script").arg(QTest::currentTestFunction()));
    writeFile(path, text.toUtf8());
    current->setEnvironment(QStringLiteral("MOVARA_SCRIPT"), path);
    return path;
}

void TestMovaraWindow::tapIntoClipsAndPlay(MovaraRun &run)
{
    QVERIFY(run.window());
    QVERIFY(run.tap(rowTextX, firstRowY)); // the video root
    QTest::qWait(tapGapMs);
    QVERIFY(run.tap(rowTextX, firstRowY)); // Clips
    QTest::qWait(tapGapMs);
    QVERIFY(run.tap(rowTextX, firstRowY)); // a.avi
    QVERIFY(
        run.waitForLine(QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/a.avi")));
}

bool TestMovaraWindow::noKeyTrace(MovaraRun &run, const QString &keyName)
{
    // Whatever earlier keys had to print is out first.
    run.settle(300);
    const int before = run.lineCount();
    if (!run.key(keyName))
        return false;
    run.settle(500);
    if (qEnvironmentVariableIsSet("MOVARA_TEST_VERBOSE"))
        qDebug().noquote() << run.lines().join(QLatin1Char('\n'));
    return withPrefix(run.lines().mid(before), QStringLiteral("Active : Kp")).isEmpty() &&
           withPrefix(run.lines().mid(before), QStringLiteral("Inactive : Kp")).isEmpty();
}

void TestMovaraWindow::goHomeAndQuit(MovaraRun &run, bool checkTeardown)
{
    QVERIFY(run.tap(middleSoftKeyX, softKeyY));
    QTest::qWait(300);
    QVERIFY(run.tap(rightSoftKeyX, softKeyY));
    QCOMPARE(run.finish(), 0);
    if (checkTeardown)
        QCOMPARE(run.lines().mid(run.lineCount() - 4), teardownAfterPlay);
}

void TestMovaraWindow::playsAFolderThroughWithKeys()
{
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(videoScript(60));
    const QString startDir = work.path();
    QVERIFY(run->start(startDir));
    tapIntoClipsAndPlay(*run);

    // Keys while the first medium plays, once its start-up lines are read.
    EngineLog log(engineLogPath);
    QTRY_VERIFY_WITH_TIMEOUT(log.stdinLines().contains(QStringLiteral("get_time_length")), 10000);
    for (const char *key : {"Left", "Prior", "Up", "space", "space", "Down"})
        QVERIFY(run->key(QLatin1String(key)));
    for (const char *trace : {"Active : Kp 1012", "Active : Kp 1016", "Active : Kp 1013",
                              "Active : Kp 1049", "Active : Kp 1015"})
        QVERIFY2(run->waitForLine(QLatin1String(trace), 3000), trace);

    // The end of each medium plays the next entry without leaving play mode.
    const QString second =
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/b.avi");
    QVERIFY(run->waitForLine(second, 15000));
    QVERIFY(run->waitForLine(QStringLiteral("CMD:: ") + loadCommand, 2000));
    const int afterSecond = run->lineCount();
    QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(run->waitForLine(QStringLiteral("Active : Kp 1015"), 3000, afterSecond));
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/c.avi"), 10000));

    // After the last entry the engine is told to quit and the browser is back.
    QTRY_VERIFY_WITH_TIMEOUT(log.texts(QStringLiteral("exit")).size() == 1, 10000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));

    const QStringList commands = log.stdinLines();
    const QStringList expected = {
        QStringLiteral("volume 50 100"), QStringLiteral("get_time_length"),
        QStringLiteral("seek -15 "),     QStringLiteral("volume 55 100"),
        QStringLiteral("vo_fullscreen"), QStringLiteral("pause"),
        QStringLiteral("pause"),         loadCommand,
        QStringLiteral("volume 55 100"), loadCommand,
        QStringLiteral("volume 55 100"), QStringLiteral("quit")};
    QCOMPARE(commands.join(QStringLiteral(" | ")), expected.join(QStringLiteral(" | ")));

    QStringList argv = log.texts(QStringLiteral("arg"));
    QCOMPARE(argv.size(), 18);
    QCOMPARE(argv.first(), QStringLiteral("0 ./mplayer"));
    QCOMPARE(argv.at(12), QStringLiteral("12 -subrotate"));
    QCOMPARE(argv.last(), QStringLiteral("17 ") + clipsFolder + QStringLiteral("/a.avi"));
    QCOMPARE(log.texts(QStringLiteral("cwd")), QStringList{QDir(run->programDir).canonicalPath()});
    QCOMPARE(countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot")), 3);
    QCOMPARE(withPrefix(run->lines(), QStringLiteral("parent : WID ")).size(), 1);

    goHomeAndQuit(*run);
}

void TestMovaraWindow::softKeysGoBackHomeAndQuit_data()
{
    QTest::addColumn<QList<int>>("softKeys");
    // From two levels down: the right key goes back until the roots, where it quits.
    QTest::newRow("back, back, exit") << QList<int>{rightSoftKeyX, rightSoftKeyX, rightSoftKeyX};
    QTest::newRow("main page, exit") << QList<int>{middleSoftKeyX, rightSoftKeyX};
    QTest::newRow("back, main page, exit")
        << QList<int>{rightSoftKeyX, middleSoftKeyX, rightSoftKeyX};
}

void TestMovaraWindow::softKeysGoBackHomeAndQuit()
{
    QFETCH(QList<int>, softKeys);
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    QVERIFY(run->start(work.path()));
    QVERIFY(run->window());
    // The middle key does nothing at the roots.
    QVERIFY(run->tap(middleSoftKeyX, softKeyY));
    QVERIFY(run->tap(rowTextX, firstRowY));
    QTest::qWait(tapGapMs);
    QVERIFY(run->tap(rowTextX, firstRowY));
    QTest::qWait(tapGapMs);

    for (int i = 0; i < softKeys.size(); ++i) {
        QVERIFY(run->isRunning());
        QVERIFY(run->tap(softKeys.at(i), softKeyY));
        if (i + 1 < softKeys.size())
            run->settle(400);
    }
    QCOMPARE(run->finish(), 0);
    const QStringList teardown = teardownAfterPlay.mid(1);
    QCOMPARE(run->lines().mid(run->lineCount() - 3), teardown);
    QVERIFY(!run->lines().contains(teardownAfterPlay.first()));
}

void TestMovaraWindow::startsFromItsOwnDirectory_data()
{
    QTest::addColumn<QString>("programName");
    QTest::addColumn<QString>("argv0");     // "%app" is the program's directory
    QTest::addColumn<QString>("startIn");   // "%app" or "%start"
    QTest::addColumn<QString>("shownName"); // argument 0 while it runs
    QTest::addColumn<QString>("runsIn");

    QTest::newRow("absolute path") << "movara"
                                   << "%app/movara"
                                   << "%start"
                                   << "movara"
                                   << "%app";
    QTest::newRow("path with a suffix") << "prog.bin"
                                        << "%app/prog.bin"
                                        << "%start"
                                        << "prog"
                                        << "%app";
    QTest::newRow("name without a directory") << "movara"
                                              << "movara"
                                              << "%app"
                                              << "movara"
                                              << "%app";
    QTest::newRow("symbolic link elsewhere") << "movara"
                                             << "%start/links/player"
                                             << "%start"
                                             << "player"
                                             << "%app";
    QTest::newRow("directory that cannot be entered") << "movara"
                                                      << "/nonexistent/dir/movara"
                                                      << "%app"
                                                      << "movara"
                                                      << "%app";
}

void TestMovaraWindow::startsFromItsOwnDirectory()
{
    QFETCH(QString, programName);
    QFETCH(QString, argv0);
    QFETCH(QString, startIn);
    QFETCH(QString, shownName);
    QFETCH(QString, runsIn);

    MovaraRun *run = newRun(MovaraRun::Engine::Scripted, programName);
    QVERIFY(run);
    const QString appDir = QDir(run->programDir).canonicalPath();
    const QString startDir =
        work.filePath(QStringLiteral("start-") + QString::number(qHash(argv0)));
    QVERIFY(QDir().mkpath(startDir + QStringLiteral("/links")));
    QFile::link(run->programPath, startDir + QStringLiteral("/links/player"));
    auto expand = [&](QString text) {
        return text.replace(QStringLiteral("%app"), appDir)
            .replace(QStringLiteral("%start"), startDir);
    };

    QVERIFY(run->start(expand(startIn), expand(argv0)));
    QVERIFY(run->window());

    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(run->pid()));
    QVERIFY(cmdline.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(cmdline.readAll().split('\0').first()), shownName);
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(run->pid())).symLinkTarget(),
             expand(runsIn));

    // The engine beside the program is found: a pick starts it.
    script(videoScript(5));
    tapIntoClipsAndPlay(*run);
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(engineLogPath).texts(QStringLiteral("start")).size() == 1,
                             5000);

    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(engineLogPath).texts(QStringLiteral("exit")).size() == 1,
                             5000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));
    goHomeAndQuit(*run, false);

    // Teardown leaves the process where it was started.
    QFile probe(probePath);
    QVERIFY(probe.open(QIODevice::ReadOnly));
    const QString pidPrefix = QString::number(run->pid()) + QLatin1Char(' ');
    const QStringList probes = QString::fromLocal8Bit(probe.readAll()).split(QLatin1Char('\n'));
    if (qEnvironmentVariableIsSet("MOVARA_TEST_VERBOSE"))
        qDebug() << probes << pidPrefix;
    QCOMPARE(withPrefix(probes, pidPrefix), QStringList{pidPrefix + expand(startIn)});
}

void TestMovaraWindow::returnsToBrowserWithoutEngine()
{
    MovaraRun *run = newRun(MovaraRun::Engine::None);
    QVERIFY(run);
    QVERIFY(run->start(work.path()));
    tapIntoClipsAndPlay(*run);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));

    // The list has the keys again, and the next pick tries again.
    const int before = run->lineCount();
    QVERIFY(run->key(QStringLiteral("Up")));
    QVERIFY(run->key(QStringLiteral("Return")));
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/a.avi"), 5000, before));
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));
    QCOMPARE(withPrefix(run->lines(), QStringLiteral("parent : WID ")).size(), 1);

    goHomeAndQuit(*run);
}

void TestMovaraWindow::returnsToBrowserWhenEngineDies_data()
{
    QTest::addColumn<QString>("extraScript");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("mid-file") << QStringLiteral("status 5 100\nkill 11\n") << QStringList();
    QTest::newRow("during a pause")
        << QStringLiteral("on pause => kill 9\n") << QStringList{QStringLiteral("space")};
    // The second "next" arrives while the engine still handles the first.
    QTest::newRow("during the last file")
        << QStringLiteral("on %1 => sleep 700 ;; kill 6\n").arg(loadCommand)
        << QStringList{QStringLiteral("n"), QStringLiteral("n")};
}

void TestMovaraWindow::returnsToBrowserWhenEngineDies()
{
    QFETCH(QString, extraScript);
    QFETCH(QStringList, keys);
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(QStringLiteral("line VO: [x11] 240x320\n") + extraScript +
           QStringLiteral("status 100 100\n"));
    QVERIFY(run->start(work.path()));
    tapIntoClipsAndPlay(*run);
    for (const QString &key : keys)
        QVERIFY(run->key(key));

    EngineLog log(engineLogPath);
    QTRY_VERIFY_WITH_TIMEOUT(!log.texts(QStringLiteral("signal")).isEmpty(), 10000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));

    // Back in the browser: the list has the keys, and a pick starts a new engine.
    const int before = run->lineCount();
    QVERIFY(run->key(QStringLiteral("Home")));
    QVERIFY(run->key(QStringLiteral("Return")));
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/a.avi"), 5000, before));
    QTRY_COMPARE_WITH_TIMEOUT(log.texts(QStringLiteral("start")).size(), 2, 5000);
    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_VERIFY_WITH_TIMEOUT(log.texts(QStringLiteral("exit")).size() == 1, 5000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));
}

void TestMovaraWindow::quitKeyTwiceAndPickWhileQuitting()
{
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    // The engine takes its time to quit, within the grace it is given.
    script(
        QStringLiteral("on quit => sleep 300 ;; exit 0\nline VO: [x11] 240x320\nstatus 100 100\n"));
    QVERIFY(run->start(work.path()));
    tapIntoClipsAndPlay(*run);

    // Quit twice, then the next entry while the engine is still on its way out.
    QVERIFY(run->key(QStringLiteral("F2")));
    QVERIFY(run->key(QStringLiteral("F2")));
    QVERIFY(run->key(QStringLiteral("n")));
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/b.avi"), 5000));

    // The pick is not lost: once the old engine is gone, a new one plays it.
    EngineLog log(engineLogPath);
    QTRY_COMPARE_WITH_TIMEOUT(log.texts(QStringLiteral("start")).size(), 2, 10000);
    QCOMPARE(log.texts(QStringLiteral("arg")).last(),
             QStringLiteral("17 ") + clipsFolder + QStringLiteral("/b.avi"));
    QCOMPARE(log.stdinLines().count(QStringLiteral("quit")), 2);
    QVERIFY(!log.stdinLines().contains(loadCommand));

    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_COMPARE_WITH_TIMEOUT(log.texts(QStringLiteral("exit")).size(), 2, 10000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));
}

void TestMovaraWindow::endsCleanlyFromOutside_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: the phone's window is destroyed
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("window destroyed") << 0;
}

void TestMovaraWindow::endsCleanlyFromOutside()
{
    QFETCH(int, signalNumber);
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(videoScript(100));
    QVERIFY(run->start(work.path()));
    tapIntoClipsAndPlay(*run);
    EngineLog log(engineLogPath);
    QTRY_VERIFY_WITH_TIMEOUT(log.stdinLines().contains(QStringLiteral("get_time_length")), 10000);

    if (signalNumber)
        QCOMPARE(::kill(pid_t(run->pid()), signalNumber), 0);
    else
        QVERIFY(session.xdotool({QStringLiteral("windowclose"), QString::number(run->window())}));
    // A signal ends with the shell's status for it, a destroyed window as Exit does.
    QCOMPARE(run->finish(), signalNumber ? 128 + signalNumber : 0);
    QCOMPARE(run->lines().mid(run->lineCount() - 4), teardownAfterPlay);
    const QString engine = QStringLiteral("/proc/%1/cmdline").arg(log.read().first().pid);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(engine), 5000);
}

void TestMovaraWindow::playsRealMediaWithTheRealEngine()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
        !QFileInfo::exists(QStringLiteral("/usr/bin/mplayer")))
        QSKIP("needs ffmpeg and mplayer");
    const QString realFolder = videoRoot + QStringLiteral("/Real");
    QVERIFY(QDir().mkpath(realFolder));
    for (const char *name : {"one.avi", "p cut.mkv", "p cut.mp4", "q empty.mp3", "r zero.mp4",
                             "t cut.mp3", "two.mp3"}) {
        const bool video = !QByteArray(name).endsWith(".mp3");
        QStringList args = {QStringLiteral("-v"),
                            QStringLiteral("error"),
                            QStringLiteral("-y"),
                            QStringLiteral("-f"),
                            QStringLiteral("lavfi"),
                            QStringLiteral("-i"),
                            QStringLiteral("sine=frequency=440:duration=3")};
        // Long enough for the start-up lines to be read before the medium ends.
        if (video)
            args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                 << QStringLiteral("testsrc=size=160x120:rate=10:duration=3")
                 << QStringLiteral("-c:v") << QStringLiteral("mpeg4");
        args << realFolder + QLatin1Char('/') + QLatin1String(name);
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), args), 0);
    }
    // Between the good ones, files the engine cannot play, and what ends each.
    for (const auto &cut : QList<QPair<QString, int>>{{"p cut.mkv", 3000},
                                                      {"p cut.mp4", 2000},
                                                      {"q empty.mp3", 0},
                                                      {"r zero.mp4", 0},
                                                      {"t cut.mp3", 100}})
        QVERIFY(QFile::resize(realFolder + QLatin1Char('/') + cut.first, cut.second));
    QVERIFY(writeFile(realFolder + QStringLiteral("/s text.mp4"), "not a video\n"));
    QVERIFY(writeFile(realFolder + QStringLiteral("/q list.m3u"),
                      QFile::encodeName(realFolder + QStringLiteral("/two.mp3"))));
    QVERIFY(QFile::copy(realFolder + QStringLiteral("/two.mp3"),
                        realFolder + QStringLiteral("/t song.mp3 ")));
    const QStringList skipped = {
        "p cut.mkv : av_open_input_stream() failed", "p cut.mp4 : moov atom not found",
        "q empty.mp3 : no playback in time",         "q list.m3u : no playback in time",
        "r zero.mp4 : no playback in time",          "s text.mp4 : moov atom not found",
        "t cut.mp3 : av_open_input_stream() failed"};

    MovaraRun *run = newRun(MovaraRun::Engine::Adapter);
    QVERIFY(run);
    QVERIFY(run->start(work.path()));
    QVERIFY(run->window());
    QVERIFY(run->tap(rowTextX, firstRowY)); // the video root; Real is its second folder
    QTest::qWait(tapGapMs);
    QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(run->key(QStringLiteral("Return")));
    QTest::qWait(300);
    QVERIFY(run->tap(rowTextX, firstRowY)); // one.avi
    QVERIFY(run->waitForLine(QStringLiteral("fileChanged : ") + realFolder +
                             QStringLiteral("/one.avi")));
    QVERIFY(run->waitForLine(QStringLiteral("slotIdleTimerShot :: Shot"), 15000));
    // Each is skipped within the start-up deadline (5 s); the name with a
    // trailing space plays.
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + realFolder + QStringLiteral("/two.mp3"), 8 * 5000));
    const QString prefix = QStringLiteral("mediumCannotPlay : ") + realFolder + QLatin1Char('/');
    const QStringList reasons = withPrefix(run->lines(), prefix);
    QCOMPARE(reasons.size(), skipped.size());
    for (int i = 0; i < skipped.size(); ++i)
        QVERIFY2(reasons[i].startsWith(prefix + skipped[i].section(QStringLiteral(" : "), 0, 0)) &&
                     reasons[i].endsWith(skipped[i].section(QStringLiteral(" : "), 1)),
                 qPrintable(reasons[i]));
    QVERIFY(run->waitForLine(QStringLiteral("CMD:: ") + loadCommand, 3000));
    // The second medium ends as well; it is the last, so the engine quits and
    // the browser has the keys again.
    const int shots = countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot"));
    QTRY_VERIFY_WITH_TIMEOUT(
        (run->settle(200),
         countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot")) > shots),
        15000);
    run->settle(1500);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));

    goHomeAndQuit(*run);
}

QImage TestMovaraWindow::phoneScreen(MovaraRun &run)
{
    QString geometry;
    const QString path = work.filePath(QStringLiteral("screen.png"));
    if (!session.xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                          QString::number(run.window())},
                         &geometry) ||
        !session.screenshot(path))
        return QImage();
    QPoint at;
    for (const QString &line : geometry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("X=")))
            at.setX(line.mid(2).toInt());
        if (line.startsWith(QLatin1String("Y=")))
            at.setY(line.mid(2).toInt());
    }
    return QImage(path).copy(QRect(at, QSize(240, 320)));
}

void TestMovaraWindow::keysWorkAfterGoingBack_data()
{
    QTest::addColumn<QString>("back"); // a key, or "tap" for the right soft key
    QTest::newRow("Back soft key") << QStringLiteral("tap");
    QTest::newRow("Escape") << QStringLiteral("Escape");
    QTest::newRow("BackSpace") << QStringLiteral("BackSpace");
}

void TestMovaraWindow::keysWorkAfterGoingBack()
{
    QFETCH(QString, back);
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(videoScript(50));
    QVERIFY(run->start(work.path()));
    QVERIFY(run->window());
    QVERIFY(run->tap(rowTextX, firstRowY)); // the video root
    QTest::qWait(tapGapMs);
    QVERIFY(run->tap(rowTextX, firstRowY)); // Clips
    QTest::qWait(tapGapMs);
    QVERIFY(back == QLatin1String("tap") ? run->tap(rightSoftKeyX, softKeyY) : run->key(back));
    run->settle(400);

    // Up a level, the keys still move and open: Clips again, then its first file.
    for (const char *key : {"Down", "Return", "Down", "Return"}) {
        QVERIFY(run->key(QLatin1String(key)));
        QTest::qWait(200);
    }
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/a.avi"), 5000));
    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(engineLogPath).texts(QStringLiteral("exit")).size() == 1,
                             5000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Down")));
    goHomeAndQuit(*run);
}

void TestMovaraWindow::nowPlayingAndWakingDuringAudio()
{
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    // The configured 600 s of sleep time last 4.8 s.
    run->setEnvironment(QStringLiteral("MOVARA_LCD_SECOND_MS"), QStringLiteral("8"));
    script(audioScript(600));
    QVERIFY(run->start(work.path()));
    tapIntoClipsAndPlay(*run);
    EngineLog log(engineLogPath);

    // The name stays, the time moves on.
    QImage first;
    QTRY_VERIFY_WITH_TIMEOUT((first = phoneScreen(*run), brightPixels(first, timeArea) > 20), 5000);
    QVERIFY(brightPixels(first, nameArea) > 40);
    QImage later;
    QTRY_VERIFY_WITH_TIMEOUT(
        (later = phoneScreen(*run), later.copy(timeArea) != first.copy(timeArea)), 5000);
    QCOMPARE(later.copy(nameArea), first.copy(nameArea));

    // After the sleep time the first key lights the screen and does nothing else.
    QTRY_VERIFY_WITH_TIMEOUT(brightPixels(phoneScreen(*run), QRect(0, 0, 240, 320)) == 0, 15000);
    const int before = run->lineCount();
    QVERIFY(run->key(QStringLiteral("Right")));
    QTRY_VERIFY_WITH_TIMEOUT(brightPixels(phoneScreen(*run), nameArea) > 40, 5000);
    run->settle(300);
    QVERIFY(withPrefix(run->lines().mid(before), QStringLiteral("Active : Kp")).isEmpty());
    QVERIFY(!log.stdinLines().contains(QStringLiteral("seek 15 ")));

    // The next one acts.
    QVERIFY(run->key(QStringLiteral("Right")));
    QVERIFY(run->waitForLine(QStringLiteral("Active : Kp 1014"), 3000, before));
    QTRY_VERIFY_WITH_TIMEOUT(log.stdinLines().contains(QStringLiteral("seek 15 ")), 3000);

    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_VERIFY_WITH_TIMEOUT(log.texts(QStringLiteral("exit")).size() == 1, 5000);
    goHomeAndQuit(*run);
}

QTEST_GUILESS_MAIN(TestMovaraWindow)
#include "tst_movarawindow.moc"
