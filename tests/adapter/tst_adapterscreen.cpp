// The engine adapter under X: with the phone screen's window id it draws video
// into that window and opens no window of its own, for video or for sound.
// Like the program, the test shows the screen window on the "VIDEO:" line.
#include "player/mvplayercontrol.h"
#include "support/requiredtools.h"
#include "support/xsession.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString adapterPath = QStringLiteral(MOVARA_BIN_DIR "/mplayer");
const int samples = (320 / 8) * (240 / 8);

// How many of the screen's sample points differ between the two pictures.
int changedSamples(const QImage &before, const QImage &after)
{
    if (after.size() != before.size())
        return -1;
    int changed = 0;
    for (int y = 0; y < 320; y += 8) {
        for (int x = 0; x < 240; x += 8)
            changed += before.pixel(x, y) != after.pixel(x, y);
    }
    return changed;
}

} // namespace

class TestAdapterScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void drawsIntoThePhoneScreen_data();
    void drawsIntoThePhoneScreen();

private:
    QProcessEnvironment xEnvironment() const;
    QByteArray run(const QString &program, const QStringList &args);
    QStringList topLevelWindows();
    QImage grabScreen();

    QTemporaryDir media;
    XSession server;
    QProcess screen;
    QProcess adapter;
    QString display;
    qulonglong screenWindow = 0;
};

void TestAdapterScreen::initTestCase()
{
    MOVARA_REQUIRE_TOOLS("Xvfb", "xev", "xwininfo", "xdotool", "import", "ffmpeg",
                         mpvUnderTest() ? "mpv" : "mplayer");
    QVERIFY(media.isValid());
    const QString sine = "sine=frequency=440:duration=3";
    QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", sine,
                                          media.filePath("a.mp3")}),
             0);
    QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                          "testsrc=size=160x120:rate=15:duration=3", "-f", "lavfi",
                                          "-i", sine, "-shortest", "-c:v", "mpeg4", "-c:a", "mp2",
                                          media.filePath("v.avi")}),
             0);

    QVERIFY(server.start("640x480x24"));
    display = server.display();

    // A 240 x 320 window stands in for the phone's screen. It takes no say over
    // its children's mapping (substructure events), as the program's does not.
    screen.setProcessEnvironment(xEnvironment());
    screen.start("xev", {"-geometry", "240x320+0+0", "-event", "structure"});
    QVERIFY(screen.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(screen.canReadLine(), 5000);
    static const QRegularExpression outer("Outer window is (0x[0-9a-f]+)");
    const auto match = outer.match(QString::fromLatin1(screen.readLine()));
    QVERIFY(match.hasMatch());
    screenWindow = match.captured(1).toULongLong(nullptr, 16);
    QVERIFY(screenWindow != 0);
}

void TestAdapterScreen::cleanupTestCase()
{
    if (screen.state() != QProcess::NotRunning) {
        screen.kill();
        screen.waitForFinished(2000);
    }
    server.stop();
}

void TestAdapterScreen::cleanup()
{
    if (adapter.state() != QProcess::NotRunning) {
        adapter.kill();
        adapter.waitForFinished(2000);
    }
}

QProcessEnvironment TestAdapterScreen::xEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.remove("XAUTHORITY");
    return environment;
}

QByteArray TestAdapterScreen::run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessEnvironment(xEnvironment());
    process.start(program, args);
    if (!process.waitForFinished(5000))
        return {};
    return process.readAllStandardOutput();
}

QStringList TestAdapterScreen::topLevelWindows()
{
    QStringList windows;
    static const QRegularExpression child(R"(^\s+(0x[0-9a-f]+) )");
    for (const QByteArray &line : run("xwininfo", {"-root", "-children"}).split('\n')) {
        const auto match = child.match(QString::fromLatin1(line));
        if (match.hasMatch())
            windows << match.captured(1);
    }
    return windows;
}

QImage TestAdapterScreen::grabScreen()
{
    return QImage::fromData(run("import", {"-window", QString::number(screenWindow), "png:-"}),
                            "PNG");
}

void TestAdapterScreen::drawsIntoThePhoneScreen_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");
    QTest::addRow("video") << "v.avi" << true;
    QTest::addRow("sound only") << "a.mp3" << false;
}

void TestAdapterScreen::drawsIntoThePhoneScreen()
{
    QFETCH(QString, file);
    QFETCH(bool, video);

    const QStringList windowsBefore = topLevelWindows();
    QVERIFY(!windowsBefore.isEmpty());
    const QImage before = grabScreen();
    QCOMPARE(before.size(), QSize(240, 320));

    QProcessEnvironment environment = xEnvironment();
    environment.insert("MOVARA_SCREEN_WID", QString::number(screenWindow));
    adapter.setProcessEnvironment(environment);
    adapter.start(adapterPath, MvPlayerControl::engineArguments(media.filePath(file)));
    QVERIFY(adapter.waitForStarted());
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    // Sound starts with "Starting playback...", video a little later with its "VO: ".
    const QByteArray started = video ? "\nVO: [x11]" : "Starting playback...";
    if (video)
        run("xdotool", {"windowunmap", "--sync", QString::number(screenWindow)});
    bool shown = !video;
    while (!out.contains(started) && clock.elapsed() < 15000 && adapter.waitForReadyRead(15000)) {
        out += adapter.readAllStandardOutput();
        if (!shown && out.contains("\nVIDEO: ")) {
            run("xdotool", {"windowmap", "--sync", QString::number(screenWindow)});
            shown = true;
        }
    }
    QVERIFY2(out.contains(started), out.constData());
    QVERIFY(shown);

    // Video covers the screen window; sound alone leaves it as it was.
    int changed = -1;
    if (video) {
        QTRY_VERIFY2_WITH_TIMEOUT((changed = changedSamples(before, grabScreen())) > samples / 2,
                                  qPrintable(QString::number(changed)), 10000);
    } else {
        // What must not show has had its chance: half a second has played.
        static const QRegularExpression status(R"(A:\s*(\d+\.\d))");
        auto playedSeconds = [&] {
            double most = 0;
            for (auto it = status.globalMatch(QString::fromLatin1(out)); it.hasNext();)
                most = qMax(most, it.next().captured(1).toDouble());
            return most;
        };
        QTRY_VERIFY2_WITH_TIMEOUT((out += adapter.readAllStandardOutput(), playedSeconds() >= 0.5),
                                  out.constData(), 10000);
        changed = changedSamples(before, grabScreen());
    }
    QCOMPARE(topLevelWindows(), windowsBefore);
    adapter.write("quit\n");
    QVERIFY(adapter.waitForFinished(10000));
    if (!video)
        QCOMPARE(changed, 0);
}

QTEST_MAIN(TestAdapterScreen)
#include "tst_adapterscreen.moc"
