// The whole program on a private X server, driven with real taps and keys,
// with the scripted engine or the real one beside it: what only the whole
// program shows (X input routing, the program's start and end, the real
// engine). The window's own logic is tested in process (tst_movaralogic).

#include "platform/phonegeometry.h"
#include "platform/systemsettings.h"
#include "player/mvfolderplaces.h"
#include "player/mvresumestore.h"
#include "player/mvstepback.h"
#include "support/enginelog.h"
#include "support/movararun.h"
#include "support/requiredtools.h"
#include "support/testmedia.h"
#include "support/xsession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int firstRowY = PhoneGeometry::FirstRowY;
constexpr int rowTextX = PhoneGeometry::RowTextX;
constexpr int softKeyY = PhoneGeometry::SoftKeyY;
constexpr int middleSoftKeyX = PhoneGeometry::MiddleSoftKeyX;
constexpr int rightSoftKeyX = PhoneGeometry::RightSoftKeyX;
// Between taps on rows: a second tap within the double-tap interval (400 ms)
// of one that opened a folder is dropped, and a loaded machine narrows the gap.
constexpr int tapGapMs = 600;
// The real engine's start-up deadline: what never starts is skipped after it.
constexpr int startMs = 2000;

const QString videoRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPhotos");
const QString clipsFolder = videoRoot + QStringLiteral("/Clips");
const QString configFile = QString::fromLatin1(systemConfigPath);
const QString loadCommand = QStringLiteral("loadlist /tmp/movara_curmedia.name");

const QStringList teardownAfterPlay = {
    QStringLiteral("MvPlayerControl::destroy()"), QStringLiteral("Movara::destroy()"),
    QStringLiteral("MvSharePixmap::destroy()"), QStringLiteral("MvApplication::destroy()")};

// Header of a video as the engine prints it, then `statusCount` status
// outputs 100 ms apart; later media come through "loadlist". Each medium ends
// by falling silent, or by the engine's word too when `saysItsEnd`.
QString videoScript(int statusCount, const QString &extra = QString(), bool saysItsEnd = false)
{
    const QString end = saysItsEnd ? QStringLiteral(" ;; line EOF code: 1") : QString();
    return QStringLiteral("on %1 => line VO: [x11] 240x320 ;; status 10 100%2\n"
                          "line Playing.\n"
                          "line libavformat file format detected.\n"
                          "line VIDEO:  [H264]  240x320  24bpp  25.000 fps\n"
                          "line VO: [x11] 240x320 => 240x320 Planar YV12\n"
                          "line AO: [null] 44100Hz 2ch s16le\n")
               .arg(loadCommand, end) +
           extra + QStringLiteral("status %1 100%2\n").arg(statusCount).arg(end);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0;
}

// Whether the program has reaped every engine it started: it leaves play mode
// as it reaps the last one. Zombies are still listed among the children.
bool noEngineLeft(MovaraRun &run)
{
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(run.pid()));
    return children.open(QIODevice::ReadOnly) && children.readAll().trimmed().isEmpty();
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

// What the journeys share: the X server, the phone's media, a program run.
class WindowJourney : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

protected:
    MovaraRun *newRun(MovaraRun::Engine engine,
                      const QString &programName = QStringLiteral("movara"));
    QString script(const QString &text);
    // Opens the roots' first row (the video root), the folder "Clips", and plays
    // its first file, with keys.
    void keyIntoClipsAndPlay(MovaraRun &run);
    // Whether the key, which moves the list's selection, leaves no key trace.
    bool noKeyTrace(MovaraRun &run, const QString &keyName);
    // Whether the phone's screen below its status bar changes after `act`:
    // the program has taken in the input that act gave it.
    bool changesScreen(MovaraRun &run, const std::function<bool()> &act, int timeoutMs = 5000);
    // Home, then quit from the media roots: a clean exit with the teardown lines.
    void goHomeAndQuit(MovaraRun &run, bool checkTeardown = true);

    XSession session;
    QTemporaryDir work;
    QString engineLogPath;
    QString probePath;
    MovaraRun *current = nullptr;
};

class TestMovaraWindow : public WindowJourney
{
    Q_OBJECT

private slots:
    void playsAFolderThroughWithKeys();
    void startsFromItsOwnDirectory_data();
    void startsFromItsOwnDirectory();
    void endsCleanlyFromOutside_data();
    void endsCleanlyFromOutside();
    void keepsItsPlaceOnSigterm();
    void ownFilesThatArePipes();
};

// Run on its own ("realengine" as the first argument), beside the others.
class TestMovaraRealEngine : public WindowJourney
{
    Q_OBJECT

private slots:
    void playsRealMediaWithTheRealEngine();
};

// Run on its own ("book" as the first argument) on a session bus of its own,
// where the program's media controls tell where the engine is.
class TestMovaraBook : public WindowJourney
{
    Q_OBJECT

private slots:
    void continuesAfterAQuit();
};

void WindowJourney::initTestCase()
{
    if (!QFileInfo::exists(videoRoot))
        QSKIP("needs the phone's media roots (run through phone-sandbox.sh)");
    MOVARA_REQUIRE_TOOLS(QStringLiteral("Xvfb"), QStringLiteral("xdotool"),
                         QStringLiteral("import"));
    QVERIFY(session.start());
    QVERIFY(work.isValid());

    // Folders first, then files by name: Clips is the first row of the video root.
    for (const char *name : {"a.avi", "b.avi", "c.avi"})
        QVERIFY(writeFile(clipsFolder + QLatin1Char('/') + QLatin1String(name), "clip"));
    QVERIFY(writeFile(videoRoot + QStringLiteral("/zz.avi"), "clip"));
    // A long sleep time, so that the screen never goes dark under a test.
    QVERIFY(writeFile(configFile, "Brightness = 60\nLcdSleepTime = 3\n"));
}

void WindowJourney::init()
{
    engineLogPath =
        work.filePath(QStringLiteral("engine-%1.log").arg(QTest::currentTestFunction()));
    probePath = work.filePath(QStringLiteral("cwd-%1.probe").arg(QTest::currentTestFunction()));
    QFile::remove(engineLogPath);
    QFile::remove(probePath);
}

void WindowJourney::cleanup()
{
    delete current;
    current = nullptr;
}

MovaraRun *WindowJourney::newRun(MovaraRun::Engine engine, const QString &programName)
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

QString WindowJourney::script(const QString &text)
{
    const QString path =
        work.filePath(QStringLiteral("%1.script").arg(QTest::currentTestFunction()));
    writeFile(path, text.toUtf8());
    current->setEnvironment(QStringLiteral("MOVARA_SCRIPT"), path);
    return path;
}

void WindowJourney::keyIntoClipsAndPlay(MovaraRun &run)
{
    // A listing starts on its first row.
    for (int i = 0; i < 3; ++i)
        QVERIFY(run.key(QStringLiteral("Return")));
    QVERIFY(
        run.waitForLine(QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/a.avi")));
}

bool WindowJourney::changesScreen(MovaraRun &run, const std::function<bool()> &act, int timeoutMs)
{
    const QRect body(session.position(run.window()) + QPoint(0, PhoneGeometry::StatusHeight),
                     QSize(PhoneGeometry::ScreenWidth,
                           PhoneGeometry::ScreenHeight - PhoneGeometry::StatusHeight));
    const QImage before = session.grab(body);
    if (before.isNull() || !act())
        return false;
    return QTest::qWaitFor([&] { return session.grab(body) != before; }, timeoutMs);
}

bool WindowJourney::noKeyTrace(MovaraRun &run, const QString &keyName)
{
    const int before = run.lineCount();
    // A trace is printed before the key's effect is drawn.
    if (!changesScreen(run, [&] { return run.key(keyName); }))
        return false;
    run.lineCount();
    if (qEnvironmentVariableIsSet("MOVARA_TEST_VERBOSE"))
        qDebug().noquote() << run.lines().join(QLatin1Char('\n'));
    return withPrefix(run.lines().mid(before), QStringLiteral("Active : Kp")).isEmpty() &&
           withPrefix(run.lines().mid(before), QStringLiteral("Inactive : Kp")).isEmpty();
}

void WindowJourney::goHomeAndQuit(MovaraRun &run, bool checkTeardown)
{
    // The soft keys are back once play mode is over.
    QTRY_VERIFY_WITH_TIMEOUT(noEngineLeft(run), 15000);
    // On a loaded machine a tap can reach the screen before the frame has
    // its soft keys back: tap again until the program has ended.
    for (int round = 0; round < 5 && run.isRunning(); ++round) {
        // Home shows the media roots; a tap that came too soon changes nothing.
        changesScreen(
            run, [&] { return run.tap(middleSoftKeyX, softKeyY); }, 2000);
        run.tap(rightSoftKeyX, softKeyY);
        if (QTest::qWaitFor([&run] { return !run.isRunning(); }, 5000))
            break;
    }
    QCOMPARE(run.finish(), 0);
    if (checkTeardown)
        QCOMPARE(run.lines().mid(run.lineCount() - 4), teardownAfterPlay);
}

void TestMovaraWindow::playsAFolderThroughWithKeys()
{
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    // Silence as an end is tested in process.
    script(videoScript(20, QString(), true));
    QVERIFY(run->start(work.path()));
    keyIntoClipsAndPlay(*run);

    // Keys while the first medium plays, once its start-up lines are read.
    EngineLog log(engineLogPath);
    QTRY_VERIFY_WITH_TIMEOUT(log.stdinLines().contains(QStringLiteral("get_time_length")), 10000);
    for (const char *key : {"Left", "Prior", "Up", "space", "space", "Down"})
        QVERIFY(run->key(QLatin1String(key)));
    for (const char *trace : {"Active : Kp 1012", "Active : Kp 1016", "Active : Kp 1013",
                              "Active : Kp 1049", "Active : Kp 1015"})
        QVERIFY2(run->waitForLine(QLatin1String(trace)), trace);

    // The end of each medium plays the next entry without leaving play mode.
    const QString second =
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/b.avi");
    QVERIFY(run->waitForLine(second, 15000));
    QVERIFY(run->waitForLine(QStringLiteral("CMD:: ") + loadCommand));
    const int afterSecond = run->lineCount();
    QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(run->waitForLine(QStringLiteral("Active : Kp 1015"), 10000, afterSecond));
    QVERIFY(run->waitForLine(
        QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/c.avi"), 10000));

    // After the last entry the engine is told to quit and the browser is back.
    QTRY_VERIFY_WITH_TIMEOUT(log.texts(QStringLiteral("exit")).size() == 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(noEngineLeft(*run), 15000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Up")));

    // Each key reached the engine; the folder went on through "loadlist" and
    // ended with "quit" (the exact order is tested in process).
    const QStringList commands = log.stdinLines();
    for (const char *command : {"seek -15 ", "volume 55 100", "vo_fullscreen"})
        QVERIFY2(commands.contains(QLatin1String(command)), command);
    QCOMPARE(commands.count(QStringLiteral("pause")), 2);
    QCOMPARE(commands.count(loadCommand), 2);
    QCOMPARE(commands.last(), QStringLiteral("quit"));

    QStringList argv = log.texts(QStringLiteral("arg"));
    QCOMPARE(argv.size(), 21);
    QCOMPARE(argv.first(), QStringLiteral("0 ./mplayer"));
    QCOMPARE(argv.at(13), QStringLiteral("13 -subrotate"));
    QCOMPARE(argv.last(), QStringLiteral("20 ") + clipsFolder + QStringLiteral("/a.avi"));
    QCOMPARE(log.texts(QStringLiteral("cwd")), QStringList{QDir(run->programDir).canonicalPath()});
    QCOMPARE(countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot")), 3);
    QCOMPARE(withPrefix(run->lines(), QStringLiteral("parent : WID ")).size(), 1);

    goHomeAndQuit(*run);
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
    // All of it: ps shows what is left of the old argument 0 after the name.
    QByteArray arguments = cmdline.readAll();
    while (arguments.endsWith('\0'))
        arguments.chop(1);
    QCOMPARE(QString::fromLocal8Bit(arguments), shownName);
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(run->pid())).symLinkTarget(),
             expand(runsIn));

    // The engine beside the program is found: a pick starts it.
    script(videoScript(5));
    keyIntoClipsAndPlay(*run);
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(engineLogPath).texts(QStringLiteral("start")).size() == 1,
                             10000);

    QVERIFY(run->key(QStringLiteral("F2")));
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(engineLogPath).texts(QStringLiteral("exit")).size() == 1,
                             10000);
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
    keyIntoClipsAndPlay(*run);
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

// A 10-minute video at `seconds` for a second, then at `later` for a minute.
QString longMediumScript(int seconds, int later)
{
    const auto status = [](int at) {
        return QStringLiteral("raw A:%1 V:%1 A-V:  0.038 ct:  0.004 %2/%2 10%  2%  0.5% 0 0 "
                              "\\r\nsleep 100\n")
            .arg(double(at), 6, 'f', 1)
            .arg(at * 25, 5);
    };
    QString text = QStringLiteral("on get_time_length => line ANS_LENGTH=600.00\n"
                                  "line VIDEO:  [H264]  240x320  24bpp  25.000 fps\n"
                                  "line libavformat file format detected.\n"
                                  "line VO: [x11] 240x320 => 240x320 Planar YV12\n");
    for (int i = 0; i < 10; ++i)
        text += status(seconds);
    for (int i = 0; i < 600; ++i)
        text += status(later);
    return text;
}

void TestMovaraWindow::keepsItsPlaceOnSigterm()
{
    const QString medium = clipsFolder + QStringLiteral("/a.avi");
    const QString record = QString::fromLatin1(MvResumeStore::defaultPath);
    QFile::remove(record);
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    // 41 s is written as it plays; 47 s within the next 10 s only at the stop.
    script(longMediumScript(41, 47));
    QVERIFY(run->start(work.path()));
    keyIntoClipsAndPlay(*run);
    QTRY_COMPARE_WITH_TIMEOUT(MvResumeStore(record).positionOf(medium), 41, 10000);
    EngineLog log(engineLogPath);
    QTRY_VERIFY_WITH_TIMEOUT(
        log.texts(QStringLiteral("out")).filter(QStringLiteral("A:  47.0")).size() >= 2, 10000);
    // The engine's 47 s was out before the window answered a key given after it.
    QVERIFY(run->key(QStringLiteral("Prior")));
    QTRY_VERIFY_WITH_TIMEOUT(log.stdinLines().contains(QStringLiteral("volume 55 100")), 10000);
    QCOMPARE(::kill(pid_t(run->pid()), SIGTERM), 0);
    QCOMPARE(run->finish(), 128 + SIGTERM);
    QCOMPARE(MvResumeStore(record).positionOf(medium), 47);

    // Played again, the engine is sent to that place.
    QFile::remove(engineLogPath);
    run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(longMediumScript(0, 0));
    QVERIFY(run->start(work.path()));
    keyIntoClipsAndPlay(*run);
    QTRY_VERIFY_WITH_TIMEOUT(!log.stdinLines().filter(QStringLiteral("seek ")).isEmpty(), 10000);
    const QStringList seek =
        log.stdinLines().filter(QStringLiteral("seek ")).first().split(QLatin1Char(' '));
    QCOMPARE(seek.size(), 3);
    QCOMPARE(seek[2], QStringLiteral("2"));
    QVERIFY2(qAbs(seek[1].toInt() - 47) <= 2, qPrintable(seek[1]));
    QVERIFY(run->key(QStringLiteral("F2")));
    goHomeAndQuit(*run, false);
}

void TestMovaraWindow::ownFilesThatArePipes()
{
    const QString handOff = QStringLiteral("/tmp/movara_curmedia.name");
    const QString area = QFileInfo(QLatin1String(MvResumeStore::defaultPath)).path();
    const QStringList pipes = {handOff + ".lock", handOff,          handOff + ".next",
                               configFile,        area + "/resume", area + "/playmodes.cfg"};
    QDir().mkpath(area);
    for (const QString &pipe : pipes) {
        QFile::remove(pipe);
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    }
    MovaraRun *run = newRun(MovaraRun::Engine::Scripted);
    QVERIFY(run);
    script(videoScript(100));
    QVERIFY(run->start(work.path()));
    keyIntoClipsAndPlay(*run);
    // N (F29) answered: nothing the program opened waits for a pipe's other end.
    QVERIFY(run->key(QStringLiteral("n")));
    QVERIFY2(
        run->waitForLine(QStringLiteral("fileChanged : ") + clipsFolder + QStringLiteral("/b.avi")),
        qPrintable(run->account()));
    // What it writes is a file again.
    QTRY_VERIFY(QFileInfo(handOff + ".lock").isFile() && QFileInfo(handOff).isFile());
    QVERIFY(run->key(QStringLiteral("F2")));
    goHomeAndQuit(*run, false);
    QVERIFY(QFile::remove(configFile) &&
            writeFile(configFile, "Brightness = 60\nLcdSleepTime = 3\n"));
}

void TestMovaraRealEngine::playsRealMediaWithTheRealEngine()
{
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"), QStringLiteral("/usr/bin/mplayer"));
    const QString realFolder = videoRoot + QStringLiteral("/Real");
    QVERIFY(QDir().mkpath(realFolder));
    for (const char *name :
         {"one.avi", "p cut.mkv", "p cut.mp4", "q empty.mp3", "r zero.mp4", "t cut.mp3", "two.mp3"})
        QVERIFY(makeTestMedium(realFolder + QLatin1Char('/') + QLatin1String(name),
                               !QByteArray(name).endsWith(".mp3"), 1.5));
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
    // The playlist is no medium of the folder: play-through passes over it.
    const QStringList skipped = {
        "p cut.mkv : av_open_input_stream() failed", "p cut.mp4 : moov atom not found",
        "q empty.mp3 : the file is empty",           "r zero.mp4 : the file is empty",
        "s text.mp4 : moov atom not found",          "t cut.mp3 : av_open_input_stream() failed"};

    MovaraRun *run = newRun(MovaraRun::Engine::Adapter);
    QVERIFY(run);
    // Files that never start are given up sooner; good ones start in well under it.
    run->setEnvironment(QStringLiteral("MOVARA_ENGINE_START_MS"), QString::number(startMs));
    QVERIFY(run->start(work.path()));
    QVERIFY(run->window());
    QVERIFY(run->tap(rowTextX, firstRowY)); // the video root; Real is its second folder
    QTest::qWait(tapGapMs);                 // past the double-tap interval
    QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(changesScreen(*run, [&] { return run->key(QStringLiteral("Return")); }));
    QVERIFY(run->tap(rowTextX, firstRowY)); // one.avi
    QVERIFY2(run->waitForLine(QStringLiteral("fileChanged : ") + realFolder +
                              QStringLiteral("/one.avi")),
             qPrintable(run->account()));
    QVERIFY2(run->waitForLine(QStringLiteral("slotIdleTimerShot :: Shot"), 15000),
             qPrintable(run->account()));
    // Each is skipped within the start-up deadline; the name with a trailing space plays.
    QVERIFY2(
        run->waitForLine(QStringLiteral("fileChanged : ") + realFolder + QStringLiteral("/two.mp3"),
                         8 * 5000),
        qPrintable(run->account()));
    const QString prefix = QStringLiteral("mediumCannotPlay : ") + realFolder + QLatin1Char('/');
    const QStringList reasons = withPrefix(run->lines(), prefix);
    QCOMPARE(reasons.size(), skipped.size());
    for (int i = 0; i < skipped.size(); ++i)
        QVERIFY2(reasons[i].startsWith(prefix + skipped[i].section(QStringLiteral(" : "), 0, 0)) &&
                     reasons[i].endsWith(skipped[i].section(QStringLiteral(" : "), 1)),
                 qPrintable(reasons[i]));
    QVERIFY2(run->waitForLine(QStringLiteral("CMD:: ") + loadCommand), qPrintable(run->account()));
    // The second medium ends as well; it is the last, so the engine quits and
    // the browser has the keys again.
    const int shots = countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot"));
    QTRY_VERIFY_WITH_TIMEOUT(
        (run->lineCount(),
         countOf(run->lines(), QStringLiteral("slotIdleTimerShot :: Shot")) > shots),
        15000);
    QTRY_VERIFY_WITH_TIMEOUT(noEngineLeft(*run), 15000);
    QVERIFY(noKeyTrace(*run, QStringLiteral("Up")));

    goHomeAndQuit(*run);
}

namespace {
// A call to the program's media controls on the test's own session bus.
QDBusMessage callPlayer(const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.mpris.MediaPlayer2.movara"), QStringLiteral("/org/mpris/MediaPlayer2"),
        interface, method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call);
}

// Where the engine is, in seconds; -1 while the program tells nothing.
double positionNow()
{
    const QDBusMessage reply =
        callPlayer(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Position")});
    return reply.type() == QDBusMessage::ReplyMessage
               ? reply.arguments().value(0).value<QDBusVariant>().variant().toLongLong() / 1e6
               : -1;
}
} // namespace

// A book of 40 three-minute files, left in file 23 and continued after a quit.
void TestMovaraBook::continuesAfterAQuit()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus (run under dbus-run-session)");
    const bool mpv = qgetenv("MOVARA_ENGINE") == "mpv";
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"),
                         mpv ? QStringLiteral("/usr/bin/mpv") : QStringLiteral("/usr/bin/mplayer"));
    // Book is the video root's first folder; its files are one tone under 40 names.
    const QString book = videoRoot + QStringLiteral("/Book");
    const QString places = QFileInfo(QString::fromLatin1(MvResumeStore::defaultPath))
                               .dir()
                               .filePath(QStringLiteral("places"));
    QFile::remove(places);
    QVERIFY(QDir().mkpath(book));
    const QByteArray first = QFile::encodeName(book + QStringLiteral("/Track 01.mp3"));
    QVERIFY(QFileInfo::exists(first) || makeTestMedium(QString::fromUtf8(first), false, 180));
    for (int i = 2; i <= 40; ++i)
        ::link(first.constData(),
               QFile::encodeName(book +
                                 QStringLiteral("/Track %1.mp3").arg(i, 2, 10, QLatin1Char('0')))
                   .constData());
    const QString part = book + QStringLiteral("/Track 23.mp3");

    MovaraRun *run = newRun(MovaraRun::Engine::Adapter);
    QVERIFY(run && run->start(work.path()) && run->window());
    for (const char *key : {"Return", "Return"})
        QVERIFY(run->key(QLatin1String(key)));
    for (int i = 0; i < 22; ++i)
        QVERIFY(run->key(QStringLiteral("Down")));
    QVERIFY(run->key(QStringLiteral("Return")));
    QVERIFY2(run->waitForLine(QStringLiteral("fileChanged : ") + part), qPrintable(run->account()));
    // To 1:10 by the desktop's controls, as a seek of the user's; stopped there.
    QTRY_VERIFY_WITH_TIMEOUT(positionNow() > 0, 10000);
    callPlayer(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Seek"),
               {qlonglong((70.5 - positionNow()) * 1e6)});
    // Past the place jumped to, which the controls tell until the engine has played on.
    QTRY_VERIFY_WITH_TIMEOUT(positionNow() > 70.2, 10000);
    QVERIFY(run->key(QStringLiteral("F2")));
    goHomeAndQuit(*run, false);
    const MvFolderPlaces::Place left = MvFolderPlaces(places).placeIn(book);
    QCOMPARE(left.medium, part);
    QVERIFY2(left.position >= 70 && left.position <= 72,
             qPrintable(QString::number(left.position)));

    // Started again: the roots' Continue (after Shuffle, Repeat and Resume).
    run = newRun(MovaraRun::Engine::Adapter);
    QVERIFY(run && run->start(work.path()) && run->window());
    QVERIFY(changesScreen(*run, [&] { return run->key(QStringLiteral("F1")); }));
    for (int i = 0; i < 3; ++i)
        QVERIFY(run->key(QStringLiteral("Down")));
    QElapsedTimer sinceKey;
    QVERIFY(run->key(QStringLiteral("Return")));
    sinceKey.start();
    QVERIFY2(run->waitForLine(QStringLiteral("fileChanged : ") + part), qPrintable(run->account()));
    // The engine plays on from a little before the place, not from it.
    const int from = left.position - MvStepBack::shortest;
    double at = -1;
    QTRY_VERIFY_WITH_TIMEOUT((at = positionNow()) > from + 0.1, 10000);
    QVERIFY2(at < left.position, qPrintable(QString::number(at)));
    qInfo("Continue: file 23 plays at %.1f s (left at %d s), %lld ms after the key", at,
          left.position, sinceKey.elapsed());
    QVERIFY(run->key(QStringLiteral("F2")));
    goHomeAndQuit(*run, false);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "realengine") == 0) {
        TestMovaraRealEngine test;
        return QTest::qExec(&test, argc - 1, argv + 1);
    }
    if (argc > 1 && qstrcmp(argv[1], "book") == 0) {
        TestMovaraBook test;
        return QTest::qExec(&test, argc - 1, argv + 1);
    }
    TestMovaraWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_movarawindow.moc"
