// Under a real X server: the engine draws video into the phone screen's
// video surface, and nothing of ours paints over it in play mode.

#include "support/requiredtools.h"

#include "platform/phonescreen.h"
#include "platform/zapplication.h"
#include "widgets/mvmainwidget.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y) & 0xf0f0f0);
    }
    return colours.size();
}
} // namespace

class TestVideoSurface : public QObject
{
    Q_OBJECT

private slots:
    void videoStaysVisibleInPlayMode();
};

void TestVideoSurface::videoStaysVisibleInPlayMode()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (isContinuousIntegration())
            QFAIL("runs on an X server, and CI has one");
        QSKIP("needs an X server");
    }
    MOVARA_REQUIRE_TOOLS(QStringLiteral("mplayer"), QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("bars.avi"));
    QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-f", "lavfi", "-i",
                                                          "testsrc=size=240x180:rate=25", "-t", "6",
                                                          "-pix_fmt", "yuv420p", clip}),
             0);

    MvMainWidget window("Movara");
    window.show();
    window.getCSTWidget(true);
    window.getTitleBarWidget();
    window.getContentWidget(true);
    ZApplication::showMainWidget(window.mainWidget);
    PhoneScreen *screen = PhoneScreen::of(window.mainWidget);
    QVERIFY(QTest::qWaitForWindowExposed(screen));
    const WId surface = qgetenv("MOVARA_SCREEN_WID").toULongLong();
    QCOMPARE(surface, screen->videoWinId());

    // Play mode as the window enters it.
    window.showFullScreenLayout(true, true);
    window.showTitleBar(false);
    window.showCST(false);
    QVERIFY(screen->videoMode());

    QProcess engine;
    engine.setStandardOutputFile(QProcess::nullDevice());
    engine.setStandardErrorFile(QProcess::nullDevice());
    engine.start(QStringLiteral("mplayer"),
                 {"-vo", "x11", "-ao", "null", "-nosound", "-wid", QString::number(surface), clip});
    QVERIFY(engine.waitForStarted());
    auto grab = [&] { return screen->screen()->grabWindow(screen->winId()).toImage(); };
    QTRY_VERIFY_WITH_TIMEOUT(distinctColours(grab().copy(0, 80, 240, 160)) >= 6, 10000);
    // Our own repaints must not cover the picture.
    window.mainWidget->repaint();
    screen->repaint();
    const QImage shown = grab();
    engine.kill();
    engine.waitForFinished();
    QCOMPARE(shown.size(), QSize(240, 320));
    const int colours = distinctColours(shown.copy(0, 80, 240, 160));
    QVERIFY2(colours >= 6, qPrintable(QString::number(colours)));

    // Back in browse mode the frame is on top again.
    window.showNormalLayout(true, true);
    window.showTitleBar(true);
    window.showCST(true);
    QVERIFY(!screen->videoMode());
}

QTEST_MAIN(TestVideoSurface)
#include "xvfb_videosurface.moc"
