// The engine control with Debian's MPlayer or mpv behind the engine adapter, on
// media made by ffmpeg for the test.

#include "support/requiredtools.h"
#include "support/scopedenv.h"
#include "support/testmedia.h"

#include "support/enginetesthelpers.h"
#include "support/startedwindow.h"

#include "platform/phonescreen.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "ui/movara.h"
#include "ui/mvnowplayingview.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <csignal>

namespace {
const QString videoRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPhotos");
const QString flowFolder = videoRoot + QStringLiteral("/Flow/");

int elapsedSeconds(const MvPlayerControl &control)
{
    return int(control.ownElapsedSeconds());
}
} // namespace

class TestRealEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsTwoMediaAndQuits();
    void windowAcrossBrokenMediaAndANewEngine();
    void vbrWithoutHeaderShowsTrueLength();
    void stoppedEngineKeepsItsMedium();
    void chapterKeyAndSpeed();

private:
    QTemporaryDir media;
    std::optional<ScopedEnv> display;
};

void TestRealEngine::initTestCase()
{
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"), engineUnderTest());
    // Headless: the adapter picks drivers that play in real time without a
    // display or a sound card.
    display.emplace("DISPLAY");
    QVERIFY(makeTestMedium(media.filePath(QStringLiteral("song.mp3")), false, 2.5));
    // Played to their ends: short.
    QVERIFY(makeTestMedium(media.filePath(QStringLiteral("short.mp3")), false, 1.5));
    QVERIFY(makeTestMedium(media.filePath(QStringLiteral("clip.avi")), true, 1.5));
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

    control.playFile(media.filePath(QStringLiteral("short.mp3")));
    QVERIFY(control.ownEngineRunning());
    QVERIFY(ended.wait(15000));
    QCOMPARE(length.size(), 1);
    QVERIFY2(qAbs(length.first().first().toFloat() - 1.5f) <= 0.2f,
             qPrintable(QString::number(length.first().first().toFloat())));
    QVERIFY(elapsed.size() > 3);

    // The second medium goes to the same engine through the playlist file.
    control.playFile(media.filePath(QStringLiteral("clip.avi")));
    QVERIFY(ended.wait(15000));
    QCOMPARE(ended.size(), 2);
    QCOMPARE(length.size(), 2);
    QVERIFY2(qAbs(length.last().first().toFloat() - 1.5f) <= 0.2f,
             qPrintable(QString::number(length.last().first().toFloat())));
    QCOMPARE(exited.size(), 0);

    control.quitPlayer();
    QVERIFY(exited.wait(10000));
    QCOMPARE(exited.size(), 1);
    QVERIFY(!control.ownEngineRunning());
}

// The whole window on the phone's video root: Previous past a file that
// cannot play, then a file only a new engine can take, paused at once.
void TestRealEngine::windowAcrossBrokenMediaAndANewEngine()
{
    if (!QFileInfo::exists(videoRoot))
        QSKIP("needs the phone's media roots (run through phone-sandbox.sh)");
    QVERIFY(QDir().mkpath(flowFolder));
    // Long enough not to end under the test; the trailing space keeps the
    // last one out of the hand-off file.
    for (const char *name : {"a one.mp3", "b cut.mp3", "c two.mp3"})
        QVERIFY(makeTestMedium(flowFolder + QLatin1String(name), false, 30));
    QVERIFY(QFile::resize(flowFolder + QStringLiteral("b cut.mp3"), 100));
    QVERIFY(QFile::copy(flowFolder + QStringLiteral("c two.mp3"),
                        flowFolder + QStringLiteral("d three.mp3 ")));

    EngineFixture engine;
    QVERIFY(QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                        engine.dirPath + QStringLiteral("/mplayer")));
    StdoutCapture capture;
    auto played = [&] {
        QStringList names;
        for (const QByteArray &line : capture.text().split('\n'))
            if (line.startsWith("fileChanged : "))
                names.append(QFileInfo(QString::fromUtf8(line)).fileName());
        return names;
    };
    Movara window("Movara");
    PhoneScreen *screen = startWindow(window);
    auto *view = window.mainWidget->findChild<MvNowPlayingView *>();
    QVERIFY(screen && view);
    auto press = [&](Qt::Key key) { QTest::keyClick(screen->windowHandle(), key); };
    auto watching = [&] {
        const MvPlayerControl *control = window.playback()->control();
        return control && control->ownIdleTimerActive();
    };

    // The video root, Flow, then its third file.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Return, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
        press(key);
    QCOMPARE(played(), QStringList{QStringLiteral("c two.mp3")});
    QTRY_VERIFY_WITH_TIMEOUT(watching(), 10000);
    // The broken file is refused at once: it need not wait as long for a second word.
    auto *control = window.playback()->control();
    QVERIFY(control);
    MvPlayerControl::Deadlines quickRefusal;
    quickRefusal.refusalSettle = 300;
    control->setDeadlines(quickRefusal);

    // Previous reaches the broken file, and past it the one before.
    press(Qt::Key_F28);
    QTRY_COMPARE_WITH_TIMEOUT(played().size(), 3, 10000);
    QCOMPARE(played().mid(1), (QStringList{"b cut.mp3", "a one.mp3"}));
    QTRY_VERIFY_WITH_TIMEOUT(watching(), 10000);

    // Next skips it forwards; the file after needs a new engine.
    press(Qt::Key_F29);
    QTRY_COMPARE_WITH_TIMEOUT(played().size(), 5, 10000);
    QCOMPARE(played().mid(3), (QStringList{"b cut.mp3", "c two.mp3"}));
    QTRY_VERIFY_WITH_TIMEOUT(watching(), 10000);
    press(Qt::Key_F29);
    QCOMPARE(played().last(), QStringLiteral("d three.mp3 "));
    QTRY_VERIFY_WITH_TIMEOUT(watching() && elapsedSeconds(*window.playback()->control()) >= 1,
                             15000);
    QVERIFY(!view->isPausedShown());

    // Return pauses at once, and the view says so; again, and it plays on.
    press(Qt::Key_Return);
    QVERIFY(window.playback()->control()->ownPaused());
    QVERIFY(view->isPausedShown());
    const int pausedAt = elapsedSeconds(*window.playback()->control());
    press(Qt::Key_Return);
    QVERIFY(!view->isPausedShown());
    QTRY_VERIFY_WITH_TIMEOUT(elapsedSeconds(*window.playback()->control()) >= pausedAt + 1, 10000);

    press(Qt::Key_F2);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isPlayMode(), 5000);
    window.destroy();
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

// An engine stopped part-way (slow storage, a busy machine look the same)
// for longer than two silences plays on afterwards: its medium ends by the
// engine's own word, not by the silence.
void TestRealEngine::stoppedEngineKeepsItsMedium()
{
    EngineFixture engine;
    QVERIFY(QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                        engine.dirPath + QStringLiteral("/mplayer")));
    ProbeControl control(nullptr, 50, 0);
    control.setCurrentMediaFile(engine.mediaFile());
    QSignalSpy ended(&control, &MvPlayerControl::endedCurrentMedia);
    control.playFile(media.filePath(QStringLiteral("song.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(elapsedSeconds(control) >= 1, 10000);

    // The engine behind the adapter.
    const qint64 adapter = control.engineProcess()->processId();
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(adapter));
    QVERIFY(children.open(QIODevice::ReadOnly));
    const pid_t child = pid_t(children.readAll().trimmed().split(' ').first().toLongLong());
    QVERIFY(child > 0);
    ::kill(child, SIGSTOP);
    QTest::qWait(3000); // the stall itself
    ::kill(child, SIGCONT);

    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);
    QVERIFY(control.endWasSaid());
    QVERIFY2(elapsedSeconds(control) >= 2, qPrintable(control.ownElapsedTimeText()));
    control.quitPlayer();
}

// The whole window on a book of four 10 s chapters: 6 lands on the next
// chapter's start, and at 1.5 the place runs 1.5 s a second.
void TestRealEngine::chapterKeyAndSpeed()
{
    const QString book = media.filePath(QStringLiteral("book.m4b"));
    QVERIFY(makeChapteredMedium(book, 4, 10));
    EngineFixture engine;
    QVERIFY(QFile::link(QStringLiteral(MOVARA_BIN_DIR "/mplayer"),
                        engine.dirPath + QStringLiteral("/mplayer")));
    std::optional<StdoutCapture> capture(std::in_place);
    Movara window("Movara");
    PhoneScreen *screen = startWindow(window);
    auto *view = window.mainWidget->findChild<MvNowPlayingView *>();
    QVERIFY(screen && view);
    const MvPlaybackStatus *status = window.playback()->status();
    window.playback()->playFolder({book}, 0);
    QTRY_VERIFY_WITH_TIMEOUT(status->chapters().size() == 4 && status->position() >= 1, 15000);
    // Every reading of the engine's time, with the clock's.
    QList<QPointF> readings;
    QElapsedTimer clock;
    clock.start();
    const MvPlayerControl *control = window.playback()->control();
    connect(control, &MvPlayerControl::signalTimeElapse, this, [&] {
        readings.append(QPointF(clock.elapsed() / 1000.0, control->ownElapsedSeconds()));
    });
    // The first reading away from the place before the key.
    const double before = status->position();
    QTest::keyClick(screen->windowHandle(), Qt::Key_6);
    QTRY_VERIFY_WITH_TIMEOUT(!readings.isEmpty() && qAbs(readings.last().y() - before) > 1, 10000);
    const double off = std::find_if(readings.cbegin(), readings.cend(),
                                    [&](QPointF r) { return qAbs(r.y() - before) > 1; })
                           ->y() -
                       status->chapters().at(1).start;
    QVERIFY2(qAbs(off) <= 0.3, qPrintable(QString::number(off)));
    QTRY_VERIFY(view->chapterText().startsWith(QStringLiteral("2 / 4")));

    for (int i = 0; i < 2; ++i)
        QTest::keyClick(screen->windowHandle(), Qt::Key_Asterisk);
    QCOMPARE(view->speedText(), QStringLiteral("1.5\u00d7"));
    // From half a second after the change, over 15 s of the medium.
    const double changed = clock.elapsed() / 1000.0;
    QTRY_VERIFY_WITH_TIMEOUT(readings.last().x() >= changed + 0.5, 5000);
    const QPointF first = readings.last();
    QTRY_VERIFY_WITH_TIMEOUT(readings.last().y() >= first.y() + 15, 20000);
    const QPointF last = readings.last();
    const double rate = (last.y() - first.y()) / (last.x() - first.x());
    capture.reset();
    qInfo("6 landed %+.3f s from the chapter's start; at 1.5: %.3f s a second over %.1f s", off,
          rate, last.x() - first.x());
    QVERIFY2(qAbs(rate - 1.5) <= 0.1, qPrintable(QString::number(rate)));
    window.destroy();
}

QTEST_MAIN(TestRealEngine)
#include "tst_realengine.moc"
