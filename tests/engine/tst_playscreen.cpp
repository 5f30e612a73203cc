// What the window shows in play mode, with the scripted engine: the
// now-playing view while no picture is drawn, the engine's picture once it
// reports video, and the "Cannot play" notice.

#include "support/enginetesthelpers.h"
#include "support/startedwindow.h"

#include "platform/phonescreen.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "ui/movara.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"

#include <QRegularExpression>

namespace {
// The elapsed time the view shows, as "m:ss" before any length; -1 otherwise.
int shownSeconds(const MvNowPlayingView *view)
{
    static const QRegularExpression clock(QStringLiteral("^0:([0-5][0-9])( / |$)"));
    const QRegularExpressionMatch match = clock.match(view->timeText());
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
} // namespace

class TestPlayScreen : public QObject
{
    Q_OBJECT

private slots:
    void showsWhatPlays();
    void asksItsOwnController();
};

void TestPlayScreen::showsWhatPlays()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("on get_time_length => line ANS_LENGTH=180.00\non loadlist " +
                     engine.mediaFile() +
                     " => line VIDEO:  [MP4V] 320x240 ;; line VO: [x11] 240x320 ;; status 100 100\n"
                     "line Audio file file format detected.\nline AO: [null] 44100Hz 2ch s16le\n"
                     "status 100 50\n");
    Movara window("Movara");
    PhoneScreen *screen = startWindow(window);
    auto *view = window.mainWidget->findChild<MvNowPlayingView *>();
    auto *notice = window.mainWidget->findChild<MvNotice *>();
    QVERIFY(screen && view && notice);

    // Sound alone: the view, with the name and the time as it passes.
    window.fileChanged(QStringLiteral("/media/Song one.mp3"));
    auto *control = window.findChild<MvPlayerControl *>();
    QVERIFY(control);
    control->setCurrentMediaFile(engine.mediaFile());
    QVERIFY(view->isVisible());
    QVERIFY(!screen->videoMode());
    QCOMPARE(view->nameText(), QStringLiteral("Song one.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(view) >= 1, 5000);
    QVERIFY2(view->timeText().endsWith(QLatin1String(" / 3:00")), qPrintable(view->timeText()));
    QTest::keyClick(screen->windowHandle(), Qt::Key_PageUp);
    QTest::keyClick(screen->windowHandle(), Qt::Key_Return);
    QVERIFY(view->isVolumeShown());
    QVERIFY(view->isPausedShown());
    QTest::keyClick(screen->windowHandle(), Qt::Key_Return);
    QVERIFY(!view->isPausedShown());

    // A video: a fresh view until the engine reports the picture, then the picture.
    window.fileChanged(QStringLiteral("/media/Clip.avi"));
    QVERIFY(view->isVisible());
    QCOMPARE(view->timeText(), QStringLiteral("0:00"));
    QVERIFY(!screen->videoMode());
    QTRY_VERIFY_WITH_TIMEOUT(screen->videoMode(), 5000);
    QVERIFY(!view->isVisible());

    // A skipped medium is told for a moment over the picture, which input passes by.
    emit control->mediumCannotPlay(QStringLiteral("/media/Broken.mp3"));
    MvNotice *overPicture = screen->videoSurface()->findChild<MvNotice *>();
    QVERIFY(overPicture && overPicture->isVisible());
    QCOMPARE(overPicture->text(), QStringLiteral("Cannot play Broken.mp3"));
    QVERIFY(overPicture->testAttribute(Qt::WA_TransparentForMouseEvents));
    QVERIFY(!view->isVisible());
    QVERIFY(screen->videoMode());
    QTRY_VERIFY_WITH_TIMEOUT(!overPicture->isVisible(), 5000);

    // Told before the next medium's picture, it stays over the view until the
    // engine draws, then goes over the picture at once.
    window.fileChanged(QStringLiteral("/media/Clip 2.avi"));
    emit control->mediumCannotPlay(QStringLiteral("/media/Broken.mp3"));
    QVERIFY(notice->isVisible());
    QVERIFY(view->isVisible());
    QVERIFY(!notice->geometry().intersects(view->textArea()));
    emit control->mediumCannotPlay(QStringLiteral("/media/") + QString(80, u'n') + ".mp3");
    QVERIFY(notice->height() > 2 * notice->fontMetrics().lineSpacing()); // two lines
    QVERIFY(!notice->geometry().intersects(view->textArea()));
    QVERIFY(!screen->videoMode());
    QTRY_VERIFY_WITH_TIMEOUT(screen->videoMode(), 5000);
    QVERIFY(!view->isVisible());
    QVERIFY(!notice->isVisible());
    QVERIFY(overPicture->isVisible());

    // Play mode ends: the browser, without the view or the picture.
    QTest::keyClick(screen->windowHandle(), Qt::Key_F2);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isPlayMode(), 5000);
    QVERIFY(!view->isVisible());
    QVERIFY(!screen->videoMode());
    window.destroy();
}

void TestPlayScreen::asksItsOwnController()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript("line Audio file file format detected.\nline AO: [null] 44100Hz 2ch s16le\n"
                     "status 100 50\n");
    Movara window("Movara");
    PhoneScreen *screen = startWindow(window);
    auto *view = window.mainWidget->findChild<MvNowPlayingView *>();
    QVERIFY(screen && view);
    window.fileChanged(QStringLiteral("/media/Song one.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(view) >= 1, 5000);

    // A newer controller, idle and paused, is not the one the window plays with.
    MvPlayerControl other(nullptr, 50, 0);
    QTest::keyClick(screen->windowHandle(), Qt::Key_PageUp);
    QVERIFY(!view->isPausedShown());
    const int before = shownSeconds(view);
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(view) >= before + 2, 5000);
    window.fileChanged(QStringLiteral("/media/Song two.mp3"));
    QVERIFY(window.isPlayMode());
    window.destroy();
}

QTEST_MAIN(TestPlayScreen)
#include "tst_playscreen.moc"
