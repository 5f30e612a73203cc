// The whole program in the phone launcher with the real MPlayer, driven by
// real X input: the headless tour plays a folder of coloured clips through,
// the display sleeps while browsing but not while a video plays, an
// interrupt during playback leaves no process behind, and the place of a
// long medium is kept however the launcher's world ends.
#include "platform/phonegeometry.h"
#include "support/enginelog.h"
#include "support/processes.h"
#include "support/requiredtools.h"
#include "support/xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
const QString launcherPath = binDir + "/movara-phone";
const QString videoRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPhotos/");

// Where the tour and the tests tap on the phone's screen.
using PhoneGeometry::FirstRowY;
using PhoneGeometry::RowTextX;

// The share of the image's pixels within a small distance of the colour.
double shareOf(const QImage &image, QRgb colour)
{
    if (image.isNull())
        return 0;
    qint64 near = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAbs(qRed(p) - qRed(colour)) + qAbs(qGreen(p) - qGreen(colour)) +
                    qAbs(qBlue(p) - qBlue(colour)) <
                90)
                ++near;
        }
    }
    return double(near) / (qint64(image.width()) * image.height());
}

// The process of that name among the descendants of pid, or 0.
qint64 processBelow(qint64 pid, const QByteArray &name = "movara")
{
    for (qint64 child : childrenOf(pid)) {
        QFile comm(QString("/proc/%1/comm").arg(child));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll() == name + '\n')
            return child;
        if (const qint64 below = processBelow(child, name))
            return below;
    }
    return 0;
}

// The place kept for the one long medium in the phone folder, or -1.
int keptPlace(const QString &phone)
{
    QFile record(phone + "/user/resume");
    if (!record.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = record.readAll().split('\n');
    return lines.size() > 1 && lines[1].contains('\t') ? lines[1].split('\t').first().toInt() : -1;
}

const QRgb red = qRgb(255, 0, 0);
const QRgb blue = qRgb(0, 0, 255);
const QRgb black = qRgb(0, 0, 0);

// The X display the launcher reports on its standard error, e.g. ":3".
QString displayIn(const QByteArray &said)
{
    const int at = said.indexOf("Xvfb :");
    return at < 0 ? QString() : QString::fromLatin1(said.mid(at + 5).split(' ').first());
}

// The launcher's X server, and where the phone's window sits on it.
class PhoneDisplay : public XSession
{
public:
    using XSession::XSession;

    bool findPhoneWindow()
    {
        window = findWindow(QStringLiteral("^Movara$"), 0);
        if (window)
            at = position(window);
        return window != 0;
    }
    // The phone's 240 x 320 screen as it is on the X server now.
    QImage screen() const { return grab(QRect(at, QSize(240, 320))); }
    void tap(int x, int y) const { click(window, x, y); }

    qulonglong window = 0;
    QPoint at;
};

} // namespace

class TestPhoneTour : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tourPlaysTheFolderThrough();
    void displaySleepsWhileBrowsingOnly();
    void soundAloneShowsTheNowPlayingView();
    void interruptDuringPlaybackLeavesNothing_data();
    void interruptDuringPlaybackLeavesNothing();
    void closingTheWindowDuringPlaybackEndsCleanly();
    void keepsItsPlaceWhateverEnds_data();
    void keepsItsPlaceWhateverEnds();

private:
    void makeClip(const QString &file, const QString &colour, int seconds);
    QProcessEnvironment environment() const;
    // Starts the launcher on the test's phone folder with the given arguments.
    void startLauncher(QProcess &launcher, const QStringList &arguments,
                       const QProcessEnvironment &env) const;

    QTemporaryDir work;
    QByteArray marker;
    QString phone;
};

void TestPhoneTour::initTestCase()
{
    MOVARA_REQUIRE_TOOLS("bwrap", "ffmpeg", "Xvfb", "xdotool", "import", "/usr/bin/mplayer");
    QVERIFY(QFile::exists(binDir + "/movara") && QFile::exists(binDir + "/mplayer"));
    QVERIFY(work.isValid());

    // A phone folder that needs no demo media: the tests bring their own clips.
    marker = "tour-" + QByteArray::number(QRandomGenerator::global()->generate());
    phone = work.filePath("phone");
    for (const char *dir : {"video", "audio", "playlist", "card"})
        QVERIFY(QDir().mkpath(phone + "/" + dir));
    QFile config(phone + "/ezx_system.cfg");
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 1\n");
    config.close();
    QFile(phone + "/.demo-made").open(QIODevice::WriteOnly);

    const QString m = QString::fromLatin1(marker);
    makeClip(work.filePath("folder " + m + "/1 red " + m + ".avi"), "red", 2);
    makeClip(work.filePath("folder " + m + "/2 blue " + m + ".avi"), "blue", 2);
    makeClip(work.filePath("sleep " + m + "/red " + m + ".avi"), "red", 5);
    makeClip(work.filePath("long " + m + "/long red " + m + ".avi"), "red", 30);

    QVERIFY(QDir().mkpath(work.filePath("sound")));
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                            "sine=frequency=440:sample_rate=44100:duration=4", "-c:a", "pcm_s16le",
                            work.filePath("sound/tone.wav")});
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);
}

void TestPhoneTour::makeClip(const QString &file, const QString &colour, int seconds)
{
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                  QString("color=c=%1:size=320x240:rate=10:duration=%2").arg(colour).arg(seconds),
                  "-c:v", "mpeg4", "-q:v", "5", "-f", "avi", file});
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);
}

QProcessEnvironment TestPhoneTour::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("MOVARA_PHONE");
    environment.remove("QT_QPA_PLATFORM");
    return environment;
}

void TestPhoneTour::startLauncher(QProcess &launcher, const QStringList &arguments,
                                  const QProcessEnvironment &env) const
{
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(work.path());
    launcher.start(launcherPath, QStringList{"--phone", phone} + arguments);
}

void TestPhoneTour::tourPlaysTheFolderThrough()
{
    const QString tour = work.filePath("tour");
    const QString m = QString::fromLatin1(marker);
    QProcess launcher;
    startLauncher(launcher, {"--video", work.filePath("folder " + m), "--tour", tour},
                  environment());
    QVERIFY(launcher.waitForFinished(120000));
    const QByteArray said = launcher.readAllStandardOutput();
    QVERIFY2(launcher.exitStatus() == QProcess::NormalExit && launcher.exitCode() == 0,
             (said + launcher.readAllStandardError()).constData());
    QVERIFY2(said.contains("movara exited with status 0"), said.constData());

    // The program's own account: both files in order, then its whole teardown.
    QFile output(tour + "/movara-output.txt");
    QVERIFY(output.open(QIODevice::ReadOnly));
    QList<QByteArray> lines;
    for (const QByteArray &line : output.readAll().split('\n')) {
        if (line.startsWith("fileChanged : ") || line.endsWith("::destroy()"))
            lines << line;
    }
    const QList<QByteArray> expected = {
        "fileChanged : " + (videoRoot + "1 red " + m + ".avi").toUtf8(),
        "fileChanged : " + (videoRoot + "2 blue " + m + ".avi").toUtf8(),
        "MvPlayerControl::destroy()",
        "Movara::destroy()",
        "MvSharePixmap::destroy()",
        "MvApplication::destroy()"};
    QCOMPARE(lines, expected);

    // The screenshots: each clip's colour fills the phone's screen while it plays.
    const QStringList shots = QDir(tour).entryList({"*.png"}, QDir::Files, QDir::Name);
    const QStringList names = {"01-browser.png",   "02-video-root.png",    "03-playing-1.png",
                               "04-playing-2.png", "05-browser-again.png", "06-roots.png"};
    QCOMPARE(shots, names);
    QImage image[6];
    for (int i = 0; i < 6; ++i) {
        QVERIFY(image[i].load(tour + "/" + names[i]));
        image[i] = image[i].convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image[i].size(), QSize(PhoneGeometry::ScreenWidth, PhoneGeometry::ScreenHeight));
    }
    QVERIFY2(shareOf(image[2], red) > 0.9, qPrintable(QString::number(shareOf(image[2], red))));
    QVERIFY2(shareOf(image[3], blue) > 0.9, qPrintable(QString::number(shareOf(image[3], blue))));
    for (int i : {0, 1, 4, 5}) {
        QVERIFY(shareOf(image[i], red) < 0.02);
        QVERIFY(shareOf(image[i], blue) < 0.02);
        QVERIFY(shareOf(image[i], black) < 0.5);
    }
    // Back at the roots the screen is the one the tour began with.
    QCOMPARE(image[5], image[0]);
    QVERIFY(image[4] != image[0]);

    QVERIFY(processesWith(marker).isEmpty());
}

void TestPhoneTour::displaySleepsWhileBrowsingOnly()
{
    // LcdSleepTime = 1 is 60 s; here a second of it lasts 50 ms, so 3 s.
    const qint64 sleepMs = 3000;
    const QString m = QString::fromLatin1(marker);
    QProcessEnvironment env = environment();
    env.insert("MOVARA_LCD_SECOND_MS", "50");
    QProcess launcher;
    startLauncher(launcher, {"--video", work.filePath("sleep " + m), "--", binDir + "/movara"},
                  env);
    QVERIFY(launcher.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    PhoneDisplay x(displayIn(said));
    QTRY_VERIFY_WITH_TIMEOUT(x.findPhoneWindow(), 20000);
    QElapsedTimer idle;
    idle.start();

    auto darkWithin = [&](const char *when) {
        QImage shot;
        QTRY_VERIFY_WITH_TIMEOUT(shareOf(shot = x.screen(), black) > 0.99, sleepMs * 3);
        QVERIFY2(idle.elapsed() > sleepMs * 4 / 5, when);
    };

    // Browsing: lit, then dark after the configured time without input.
    QVERIFY(shareOf(x.screen(), black) < 0.5);
    darkWithin("went dark too early at start-up");
    x.tap(RowTextX, FirstRowY); // wakes the display, nothing else
    QTRY_VERIFY_WITH_TIMEOUT(shareOf(x.screen(), black) < 0.5, 20000);

    // Playing: the clip runs twice the sleep time without input and the screen stays lit.
    QByteArray out;
    for (const char *key : {"Return", "Return"}) // the video root, its clip
        QVERIFY(x.key(x.window, QLatin1String(key)));
    QTRY_VERIFY_WITH_TIMEOUT((out += launcher.readAllStandardOutput()).contains("fileChanged : "),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(shareOf(x.screen(), red) > 0.9, 5000);
    QElapsedTimer playing;
    playing.start();
    // Lit until the clip has ended, well past the sleep time.
    while (!(out += launcher.readAllStandardOutput()).contains("slotIdleTimerShot")) {
        QVERIFY2(playing.elapsed() < 4 * sleepMs + 10000, out.constData());
        QVERIFY(shareOf(x.screen(), black) < 0.5);
        launcher.waitForReadyRead(300);
    }
    QVERIFY2(playing.elapsed() > sleepMs + 1000, qPrintable(QString::number(playing.elapsed())));

    // Back in the browser the configured sleep time holds again.
    QTRY_VERIFY_WITH_TIMEOUT(shareOf(x.screen(), red) < 0.02, 5000);
    idle.restart();
    darkWithin("went dark too early after playing");

    launcher.terminate();
    QVERIFY(launcher.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(marker).isEmpty(), 5000);
}

void TestPhoneTour::soundAloneShowsTheNowPlayingView()
{
    QProcess launcher;
    startLauncher(launcher, {"--audio", work.filePath("sound"), "--", binDir + "/movara"},
                  environment());
    QVERIFY(launcher.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    PhoneDisplay x(displayIn(said));
    QTRY_VERIFY_WITH_TIMEOUT(x.findPhoneWindow(), 20000);

    const QImage roots = x.screen();
    for (const char *key : {"Down", "Return", "Return"}) // the audio root, its file
        QVERIFY(x.key(x.window, QLatin1String(key)));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += launcher.readAllStandardOutput()).contains("fileChanged : "),
                             10000);

    // The now-playing view: the program's own drawing on black, no window of the engine's.
    auto view = [](const QImage &image) {
        const double share = shareOf(image, black);
        return share > 0.7 && share < 0.99;
    };
    QImage playing;
    QTRY_VERIFY_WITH_TIMEOUT(view(playing = x.screen()), 5000);
    QVERIFY(playing != roots);
    QVERIFY(!(out += launcher.readAllStandardOutput()).contains("slotIdleTimerShot"));
    QCOMPARE(x.findWindow("MPlayer", 0), 0ull);

    launcher.terminate();
    QVERIFY(launcher.waitForFinished(10000));
}

void TestPhoneTour::interruptDuringPlaybackLeavesNothing_data()
{
    QTest::addColumn<bool>("toProgram");
    QTest::addColumn<int>("exitCode");
    QTest::addRow("Ctrl-C to the launcher") << false << 130;
    // The tour then says that movara ended while playing.
    QTest::addRow("SIGINT to movara itself") << true << 1;
}

void TestPhoneTour::interruptDuringPlaybackLeavesNothing()
{
    QFETCH(bool, toProgram);
    QFETCH(int, exitCode);
    const QString tour = work.filePath("interrupted");
    const QString m = QString::fromLatin1(marker);
    QProcess launcher;
    startLauncher(launcher, {"--video", work.filePath("long " + m), "--tour", tour}, environment());
    QVERIFY(launcher.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    const QString socket = "/tmp/.X11-unix/X" + displayIn(said).mid(1);

    // MPlayer plays the long clip: its command line names the file.
    const QByteArray clip = "long red " + marker;
    QTRY_VERIFY_WITH_TIMEOUT(!processesWith(clip).isEmpty(), 60000);
    QVERIFY(QFileInfo::exists(socket));

    const qint64 target = toProgram ? processBelow(launcher.processId()) : launcher.processId();
    QVERIFY(target > 0);
    ::kill(pid_t(target), SIGINT);
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(launcher.exitCode(), exitCode);
    // Movara itself was asked to end, so its own teardown ran.
    QFile output(tour + "/movara-output.txt");
    QVERIFY(output.open(QIODevice::ReadOnly));
    QVERIFY(output.readAll().endsWith("MvPlayerControl::destroy()\nMovara::destroy()\n"
                                      "MvSharePixmap::destroy()\nMvApplication::destroy()\n"));
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(marker).isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(socket), 5000);
}

void TestPhoneTour::closingTheWindowDuringPlaybackEndsCleanly()
{
    const QString m = QString::fromLatin1(marker);
    QProcess launcher;
    startLauncher(launcher, {"--video", work.filePath("long " + m), "--", binDir + "/movara"},
                  environment());
    QVERIFY(launcher.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    PhoneDisplay x(displayIn(said));
    QTRY_VERIFY_WITH_TIMEOUT(x.findPhoneWindow(), 20000);
    for (const char *key : {"Return", "Return"}) // the video root, its clip
        QVERIFY(x.key(x.window, QLatin1String(key)));
    QTRY_VERIFY_WITH_TIMEOUT(!processesWith("long red " + marker).isEmpty(), 20000);

    QVERIFY(x.closeWindow(x.window));
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
    QCOMPARE(launcher.exitCode(), 0);
    const QByteArray out = launcher.readAllStandardOutput();
    QVERIFY2(
        out.contains("MvPlayerControl::destroy()\nMovara::destroy()\nMvSharePixmap::destroy()\n"
                     "MvApplication::destroy()\n"),
        out.right(300).constData());
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(marker).isEmpty(), 5000);
}

void TestPhoneTour::keepsItsPlaceWhateverEnds_data()
{
    QTest::addColumn<bool>("display");
    // As a service stopped or a session ended sends it: the engine, bubblewrap
    // and the launcher get it at the same moment as the program.
    QTest::addRow("SIGTERM to the launcher's process group") << false;
    QTest::addRow("the display ends") << true;
}

void TestPhoneTour::keepsItsPlaceWhateverEnds()
{
    QFETCH(bool, display);
    // The program with the scripted engine beside it: a 10-minute medium at
    // 41 s for a second, then at 47 s. 41 s is written as it plays, 47 s
    // within the next 10 s only when the program ends.
    // The engine writes its log where the sandbox lets it: in the audio root.
    const QString program = work.filePath("place " + marker),
                  log = work.filePath("sound/place.log");
    QVERIFY(QDir().mkpath(program));
    QFile::copy(binDir + "/movara", program + "/movara");
    QFile::copy(binDir + "/movara_scripted_engine", program + "/mplayer");
    QString script = "on get_time_length => line ANS_LENGTH=600.00\n"
                     "line Audio file file format detected.\nline AO: [pulse]\n";
    for (int i = 0; i < 610; ++i)
        script += QString("raw A:  %1.0 (%1.0) of 600.0 \\r\nsleep 100\n").arg(i < 10 ? 41 : 47);
    QFile scriptFile(work.filePath("place.script"));
    QVERIFY(scriptFile.open(QIODevice::WriteOnly) && scriptFile.write(script.toLatin1()));
    scriptFile.close();
    for (const char *kept : {"/user/resume", "/user/places"})
        QFile::remove(phone + kept);
    QFile::remove(log);
    QProcessEnvironment env = environment();
    env.insert("MOVARA_SCRIPT", scriptFile.fileName());
    env.insert("MOVARA_ENGINE_LOG", "/ezxlocal/download/mystuff/MyRingTone/place.log");
    QProcess launcher;
    // The launcher leads a process group of its own, as a service's or a session's.
    launcher.setChildProcessModifier([] { ::setpgid(0, 0); });
    startLauncher(launcher, {"--audio", work.filePath("sound"), "--", program + "/movara"}, env);
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    PhoneDisplay x(displayIn(said));
    QTRY_VERIFY_WITH_TIMEOUT(x.findPhoneWindow(), 20000);
    for (const char *key : {"Down", "Return", "Return"}) // the audio root, its file
        QVERIFY(x.key(x.window, QLatin1String(key)));
    QTRY_COMPARE_WITH_TIMEOUT(keptPlace(phone), 41, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(log).texts("out").filter("A:  47.0").size() >= 2, 10000);
    // The engine's 47 s was out before the window answered a key given after it.
    QVERIFY(x.key(x.window, "Prior"));
    QTRY_VERIFY_WITH_TIMEOUT(EngineLog(log).stdinLines().contains("volume 55 100"), 10000);

    const qint64 server = processBelow(launcher.processId(), "Xvfb");
    QVERIFY(server > 0);
    QCOMPARE(::kill(display ? pid_t(server) : -pid_t(launcher.processId()), SIGTERM), 0);
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(keptPlace(phone), 47);
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(program.toUtf8()).isEmpty(), 5000);
}

QTEST_MAIN(TestPhoneTour)
#include "tst_phonetour.moc"
