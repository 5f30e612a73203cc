// The engine control with Debian's MPlayer behind the engine adapter, on
// media made by ffmpeg for the test.

#include "support/requiredtools.h"
#include "support/testmedia.h"

#include "enginetesthelpers.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

class TestRealEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsTwoMediaAndQuits();
    void vbrWithoutHeaderShowsTrueLength();

private:
    QTemporaryDir media;
};

void TestRealEngine::initTestCase()
{
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"), QStringLiteral("/usr/bin/mplayer"));
    // Headless: the adapter picks drivers that play in real time without a
    // display or a sound card.
    qunsetenv("DISPLAY");
    QVERIFY(makeTestMedium(media.filePath(QStringLiteral("song.mp3")), false));
    QVERIFY(makeTestMedium(media.filePath(QStringLiteral("clip.avi")), true));
}

void TestRealEngine::playsTwoMediaAndQuits()
{
    EngineFixture engine;
    QVERIFY(QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                        engine.dirPath + QStringLiteral("/mplayer")));

    MvPlayerControl control(nullptr, 50, 0);
    control.setCurrentMediaFile(engine.mediaFile());
    QSignalSpy length(&control, &MvPlayerControl::signaTotalTimeLengthChanged);
    QSignalSpy elapsed(&control, &MvPlayerControl::signalTimeElapse);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    QSignalSpy exited(&control, &MvPlayerControl::processExited);

    control.playFile(media.filePath(QStringLiteral("song.mp3")));
    QVERIFY(MvPlayerControl::isEngineRunning());
    QVERIFY(ended.wait(15000));
    QCOMPARE(length.size(), 1);
    QVERIFY2(qAbs(length.first().first().toFloat() - 3.0f) <= 0.2f,
             qPrintable(QString::number(length.first().first().toFloat())));
    QVERIFY(elapsed.size() > 3);

    // The second medium goes to the same engine through the playlist file.
    control.playFile(media.filePath(QStringLiteral("clip.avi")));
    QVERIFY(ended.wait(15000));
    QCOMPARE(ended.size(), 2);
    QCOMPARE(length.size(), 2);
    QVERIFY(qAbs(length.last().first().toFloat() - 3.0f) <= 0.2f);
    QCOMPARE(exited.size(), 0);

    control.quitPlayer();
    QVERIFY(exited.wait(3000));
    QCOMPARE(exited.size(), 1);
    QVERIFY(!MvPlayerControl::isEngineRunning());
}

// A tone, then noise: the engine's guess from the first frames is far short.
// Handed over second, through the playlist file.
void TestRealEngine::vbrWithoutHeaderShowsTrueLength()
{
    const QString vbr = media.filePath(QStringLiteral("vbr.mp3"));
    QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), {"-v",
                                                          "error",
                                                          "-y",
                                                          "-f",
                                                          "lavfi",
                                                          "-i",
                                                          "sine=d=2",
                                                          "-f",
                                                          "lavfi",
                                                          "-i",
                                                          "anoisesrc=d=4:a=0.5",
                                                          "-filter_complex",
                                                          "[0][1]concat=n=2:v=0:a=1",
                                                          "-c:a",
                                                          "libmp3lame",
                                                          "-q:a",
                                                          "4",
                                                          "-write_xing",
                                                          "0",
                                                          vbr}),
             0);
    EngineFixture engine;
    QVERIFY(QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                        engine.dirPath + QStringLiteral("/mplayer")));
    MvPlayerControl control(nullptr, 50, 0);
    control.setCurrentMediaFile(engine.mediaFile());
    QSignalSpy length(&control, &MvPlayerControl::signaTotalTimeLengthChanged);
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(media.filePath(QStringLiteral("song.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(length.size(), 1, 10000);
    control.playFile(vbr);
    QTRY_VERIFY_WITH_TIMEOUT(
        length.size() > 1 && qAbs(length.last().first().toFloat() - 6.0f) < 0.2f, 4000);
    control.quitPlayer();
    QCOMPARE(ended.size(), 0);
}

QTEST_MAIN(TestRealEngine)
#include "tst_realengine.moc"
