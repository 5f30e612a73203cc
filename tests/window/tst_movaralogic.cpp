// The window's own logic in process, offscreen, with the scripted engine and
// the phone's media roots of a private root (phone-sandbox.sh): browse and play
// mode, the keys while playing, the soft keys, a folder played through, an
// engine that dies or is missing, a file picked while the engine quits, a
// playlist, ticks and the options menu.

#include "support/enginetesthelpers.h"
#include "support/requiredtools.h"
#include "support/startedwindow.h"

#include "browser/mvfilebrowser.h"
#include "core/mvplaylist.h"
#include "platform/phonegeometry.h"
#include "platform/phonescreen.h"
#include "platform/powermanagement.h"
#include "platform/qlistbox.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zpushbutton.h"
#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "player/mvplaymodes.h"
#include "player/mvresumestore.h"
#include "player/mvresumetracker.h"
#include "player/mvsleeptimer.h"
#include "player/mvstepback.h"
#include "remote/mvmpris.h"
#include "ui/movara.h"
#include "ui/mvlistmenu.h"
#include "ui/mvnotice.h"
#include "ui/mvnowplayingview.h"
#include "ui/mvoptions.h"
#include "ui/mvoptionsmenu.h"
#include "widgets/mvlistboxitem.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {
constexpr int softKeyY = PhoneGeometry::SoftKeyY;
constexpr int middleSoftKeyX = PhoneGeometry::MiddleSoftKeyX;
constexpr int rightSoftKeyX = PhoneGeometry::RightSoftKeyX;

const QString videoRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPhotos");
const QString clipsFolder = videoRoot + QStringLiteral("/Clips");
const QString playlistRoot = QStringLiteral("/ezxlocal/download/mystuff/MyPlaylist");
const QString loadCommand = QStringLiteral("loadlist /tmp/movara_curmedia.name");
// The next entry, queued once a medium plays.
const QString queueCommand = QStringLiteral("loadlist /tmp/movara_curmedia.name.next 1");
const QString endLine = QStringLiteral("line EOF code: 1");
const QString header = QStringLiteral("line VIDEO:  [H264]  240x320  24bpp  25.000 fps\n"
                                      "line libavformat file format detected.\n"
                                      "line VO: [x11] 240x320 => 240x320 Planar YV12\n");

// A video's status at `tenths` (no elapsed text, as the engines print it).
QString videoStatus(int tenths)
{
    return QStringLiteral("raw A:%1 V:%1 A-V:  0.038 ct:  0.004 %2/%2 10%  2%  0.5% 0 0 \\r\n")
        .arg(tenths / 10.0, 6, 'f', 1)
        .arg(tenths * 25 / 10, 3);
}

// Ten minutes long, at 40 s for ten seconds.
QString longMediumScript()
{
    QString script = QStringLiteral("on get_time_length => line ANS_LENGTH=600.00\n") + header;
    for (int i = 0; i < 100; ++i)
        script += videoStatus(400) + QStringLiteral("sleep 100\n");
    return script;
}

QString played(const char *name)
{
    return QStringLiteral("fileChanged : ") + clipsFolder + QLatin1Char('/') + QLatin1String(name);
}

// Ends the event loop on the application's quit, and takes the quit.
class QuitCatcher : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != qApp || event->type() != QEvent::Quit)
            return false;
        QCoreApplication::exit(0);
        return true;
    }
};

// Reaches the window's parts the tests look at.
class ProbeWindow : public Movara
{
public:
    using Movara::fileBrowser;
    using Movara::Movara;
    using Movara::playerControl;
};
} // namespace

class TestMovaraLogic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keysWhilePlaying_data();
    void keysWhilePlaying();
    void previousAndNextEntry();
    void quickNextKeepsThePlace();
    void playsTheFolderThrough();
    void queuedEntryFollowsTheOrder();
    void softKeys_data();
    void softKeys();
    void keysAfterGoingBack_data();
    void keysAfterGoingBack();
    void pickWhileTheEngineQuits();
    void engineDies_data();
    void engineDies();
    void noEngine();
    void wakingKeyDoesNothingElse();
    void playsAPlaylist();
    void clearedTickIsSkipped();
    void optionsMenuByKeys();
    void chaptersAndSpeedFromTheMenu();
    void resumesWhereStopped_data();
    void resumesWhereStopped();
    void remoteControl();
    void remoteFlood();
    void remoteCoverFile();
    void playlistTitleWins();
    void openUriChecksAsAPick_data();
    void openUriChecksAsAPick();
    void continuesABook_data();
    void continuesABook();
    void bookmarks();
    void gentlerSleepTimer_data();
    void gentlerSleepTimer();

private:
    // Opens the first row of the list, `times` over: the video root, Clips,
    // then its first file.
    void openFirstRow(int times);
    void playFirstClip(const QString &script);
    void key(Qt::Key key) { QTest::keyClick(screen->windowHandle(), key); }
    void tap(int x, int y)
    {
        QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {}, QPoint(x, y));
    }
    QStringList trace() { return QString::fromUtf8(capture->text()).split(QLatin1Char('\n')); }
    // Whether the next key reaches the list rather than the playing window.
    bool keysGoToTheList();
    // Whether the application quit within a generous wait after `action`.
    bool quitsOn(const std::function<void()> &action);
    QString rightKeyResource() const { return cst()->getRightBtn()->resourceID(); }
    // The texts of the notices up now.
    QStringList notices() const;
    // Chooses the options menu's entry labelled `label`, with keys.
    bool chooseOption(const QString &label);
    UTIL_CST *cst() const { return window->getCSTWidget(false); }

    EngineFixture *engine = nullptr;
    ProbeWindow *window = nullptr;
    PhoneScreen *screen = nullptr;
    StdoutCapture *capture = nullptr;
};

void TestMovaraLogic::initTestCase()
{
    // A minute of the sleep timer lasts 1.2 s.
    qputenv("MOVARA_SLEEP_SECOND_MS", "20");
    if (!QFileInfo::exists(videoRoot))
        QSKIP("needs the phone's media roots (run through phone-sandbox.sh)");
    // Folders first, then files by name: Clips is the first row of the video root.
    QVERIFY(QDir().mkpath(clipsFolder));
    for (const char *name : {"/Clips/a.avi", "/Clips/b.avi", "/Clips/c.avi", "/zz.avi"}) {
        QFile file(videoRoot + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("clip") > 0);
    }
}

void TestMovaraLogic::init()
{
    QFile::remove(QLatin1String(MvResumeStore::defaultPath));
    engine = new EngineFixture;
    // The play modes of each test start off and stay with it.
    qputenv("MOVARA_SETTINGS_DIR", QFile::encodeName(QDir::currentPath()));
    capture = new StdoutCapture;
    window = new ProbeWindow("Movara");
    screen = startWindow(*window);
    QVERIFY(screen);
}

void TestMovaraLogic::cleanup()
{
    qunsetenv("MOVARA_LCD_SECOND_MS");
    PM_setupLcdSleepTime(0);
    window->destroy();
    // The frame goes with the window, then the screen that showed it.
    delete window;
    delete screen;
    delete capture;
    delete engine;
}

void TestMovaraLogic::playFirstClip(const QString &script)
{
    QVERIFY(engine->installEngine());
    engine->setScript(script);
    openFirstRow(3);
    QVERIFY(window->isPlayMode());
    QVERIFY(trace().contains(played("a.avi")));
}

void TestMovaraLogic::openFirstRow(int times)
{
    // A listing starts on its first row.
    for (int i = 0; i < times; ++i)
        key(Qt::Key_Return);
}

bool TestMovaraLogic::keysGoToTheList()
{
    const int before = int(trace().size());
    key(Qt::Key_Down);
    const QStringList after = trace().mid(before - 1);
    return after.filter(QStringLiteral(": Kp ")).isEmpty() && !window->isPlayMode();
}

bool TestMovaraLogic::quitsOn(const std::function<void()> &action)
{
    // The application's quit, taken before it closes the windows the test still uses.
    QuitCatcher catcher;
    qApp->installEventFilter(&catcher);
    QTimer::singleShot(0, this, action);
    QTimer::singleShot(10000, this, [] { QCoreApplication::exit(1); });
    const bool quit = QCoreApplication::exec() == 0;
    qApp->removeEventFilter(&catcher);
    return quit;
}

void TestMovaraLogic::keysWhilePlaying_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("traceLine");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("Left: back 15 s")
        << int(Qt::Key_Left) << "Active : Kp 1012" << QStringList{"seek -15 "};
    QTest::newRow("Right: on 15 s")
        << int(Qt::Key_Right) << "Active : Kp 1014" << QStringList{"seek 15 "};
    QTest::newRow("Page Up: louder")
        << int(Qt::Key_PageUp) << "Active : Kp 1016" << QStringList{"volume 55 100"};
    QTest::newRow("Page Down: softer")
        << int(Qt::Key_PageDown) << "Active : Kp 1017" << QStringList{"volume 45 100"};
    QTest::newRow("Up: the engine's full screen")
        << int(Qt::Key_Up) << "Active : Kp 1013" << QStringList{"vo_fullscreen"};
    QTest::newRow("Return: pause")
        << int(Qt::Key_Return) << "Active : Kp 1004" << QStringList{"pause"};
    QTest::newRow("Space is F26: pause")
        << int(Qt::Key_Space) << "Active : Kp 1049" << QStringList{"pause"};
    QTest::newRow("Down: nothing") << int(Qt::Key_Down) << "Active : Kp 1015" << QStringList{};
    QTest::newRow("#: a bookmark, nothing for the engine")
        << int(Qt::Key_NumberSign) << "Active : Kp 0023" << QStringList{};
    QTest::newRow("P is F28, on the first entry: nothing")
        << int(Qt::Key_P) << "Active : Kp 104b" << QStringList{};
    // Chapters start at 0, 2.5 and 5 s.
    QTest::newRow("6: the next chapter")
        << int(Qt::Key_6) << "Active : Kp 0036" << QStringList{"seek 2.5 2"};
    QTest::newRow("4 early in the first chapter: its start")
        << int(Qt::Key_4) << "Active : Kp 0034" << QStringList{"seek 0 2"};
    QTest::newRow("*: faster") << int(Qt::Key_Asterisk) << "Active : Kp 002a"
                               << QStringList{"speed_set 1.25"};
}

void TestMovaraLogic::keysWhilePlaying()
{
    QFETCH(int, key);
    QFETCH(QString, traceLine);
    QFETCH(QStringList, commands);
    // The engine takes a moment to quit, as a real one does.
    playFirstClip(QStringLiteral("on quit => sleep 50 ;; exit 0\n") + chapterScript({0, 2.5, 5}) +
                  header + QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(engine->stdinLines().contains(queueCommand) &&
                window->playback()->status()->position() >= 0);

    this->key(Qt::Key(key));
    QTRY_VERIFY(trace().contains(traceLine));
    // F2 quits; the window stays in play mode until the engine has gone.
    this->key(Qt::Key_F2);
    QVERIFY(trace().contains(QStringLiteral("Active : Kp 1031")));
    QVERIFY(window->isPlayMode());
    QTRY_VERIFY(!window->isPlayMode());
    QCOMPARE(engine->stdinLines(), QStringList({"volume 50 100", "get_time_length", queueCommand}) +
                                       commands + QStringList{"quit"});
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")), QStringList{played("a.avi")});
}

void TestMovaraLogic::previousAndNextEntry()
{
    // The engine takes a moment to open each medium.
    playFirstClip(
        QStringLiteral("on %1 => sleep 100 ;; line VO: [x11] 240x320\n").arg(loadCommand) + header +
        QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("get_time_length")));
    // N is F29, P is F28; on the last entry N does nothing.
    for (Qt::Key k : {Qt::Key_N, Qt::Key_N, Qt::Key_N, Qt::Key_P})
        key(k);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")),
             QStringList({played("a.avi"), played("b.avi"), played("c.avi"), played("b.avi")}));
    QVERIFY(window->isPlayMode());
    // The first goes at once; of those made while the engine opens it, the last follows.
    QCOMPARE(trace().count(QStringLiteral("CMD:: ") + loadCommand), 1);
    QTRY_COMPARE(engine->stdinLines().count(loadCommand), 2);
    QCOMPARE(engine->entries(QStringLiteral("start")).size(), 1);
    // The window's controller keeps the file at its default place, in this test's own /tmp.
    QFile handedOver(QLatin1String(MvEngineProcess::defaultCurrentMediaFile));
    QVERIFY(handedOver.open(QIODevice::ReadOnly));
    QCOMPARE(handedOver.readAll(), QFile::encodeName(clipsFolder + "/b.avi\n"));
}

void TestMovaraLogic::quickNextKeepsThePlace()
{
    const QString c = clipsFolder + QStringLiteral("/c.avi");
    window->playback()->resumeTracker()->records().stopped(c, 100, 600);
    // Each medium opens at once and tells its length when asked.
    playFirstClip(QStringLiteral("on get_time_length => line ANS_LENGTH=600.00\n"
                                 "on %1 => line libavformat file format detected. ;; line VO: "
                                 "[x11] 240x320 => 240x320 Planar YV12\n")
                      .arg(loadCommand) +
                  header + QString(videoStatus(10) + QStringLiteral("sleep 100\n")).repeated(50));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("get_time_length")));
    // a.avi has a place, so the folder knows when it was left: just now.
    QTRY_VERIFY(window->playback()->status()->position() >= 0);
    // c.avi waits while b.avi has just been handed over: b.avi's length is not
    // c.avi's, whose place is sought once it is c.avi that plays.
    key(Qt::Key_N);
    key(Qt::Key_N);
    QTRY_COMPARE(engine->stdinLines().count(loadCommand), 2);
    QTRY_VERIFY(!engine->stdinLines().filter(QStringLiteral("seek ")).isEmpty());
    const QStringList in = engine->stdinLines();
    // A moment after a.avi and b.avi were left in the folder: a little before the place.
    const QString seek = QStringLiteral("seek %1 2").arg(100 - MvStepBack::shortest);
    QCOMPARE(in.filter(QStringLiteral("seek ")), QStringList{seek});
    QVERIFY(in.indexOf(seek) > in.lastIndexOf(loadCommand));
}

void TestMovaraLogic::playsTheFolderThrough()
{
    // Each medium a few status outputs long; later ones come through "loadlist".
    playFirstClip(
        QStringLiteral("on %1 => line VO: [x11] 240x320 ;; status 3 30\n").arg(loadCommand) +
        header + QStringLiteral("status 20 30\n"));
    QTRY_VERIFY(engine->stdinLines().contains(queueCommand));
    key(Qt::Key_PageUp);
    QTRY_VERIFY_WITH_TIMEOUT(trace().contains(played("c.avi")), 10000);
    QVERIFY(window->isPlayMode());
    // After the last entry the engine is told to quit and the browser is back.
    QTRY_VERIFY_WITH_TIMEOUT(!window->isPlayMode(), 10000);
    // Each medium falls silent: asked its time, then ended and replaced.
    QCOMPARE(engine->stdinLines(),
             QStringList({"volume 50 100", "get_time_length", queueCommand, "volume 55 100",
                          "get_time_pos", loadCommand, "volume 55 100", queueCommand,
                          "get_time_pos", loadCommand, "volume 55 100", "get_time_pos", "quit"}));
    QCOMPARE(trace().count(QStringLiteral("slotIdleTimerShot :: Shot")), 3);
    QCOMPARE(trace().filter(QStringLiteral("parent : WID ")).size(), 1);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")).size(), 3);
    QVERIFY(keysGoToTheList());
}

// The engine is told the next entry once a medium plays, and told again when
// the order changes: stopping at this medium's end takes it back.
void TestMovaraLogic::queuedEntryFollowsTheOrder()
{
    playFirstClip(header + QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(engine->stdinLines().contains(queueCommand));
    QFile next(QLatin1String(MvEngineProcess::defaultCurrentMediaFile) + QStringLiteral(".next"));
    QVERIFY(next.open(QIODevice::ReadOnly));
    QCOMPARE(next.readAll(), QFile::encodeName(clipsFolder + "/b.avi\n"));
    next.close();

    window->playback()->setSleepTimer(MvSleepTimer::EndOfFile);
    QTRY_COMPARE(engine->stdinLines().count(queueCommand), 2);
    QVERIFY(next.open(QIODevice::ReadOnly));
    QCOMPARE(next.readAll(), QByteArray("\n"));
    QVERIFY(!engine->stdinLines().contains(loadCommand));
    key(Qt::Key_F2);
    QTRY_VERIFY(!window->isPlayMode());
}

void TestMovaraLogic::softKeys_data()
{
    QTest::addColumn<QList<int>>("softKeys");
    // From two levels down: the right key goes back until the roots, where it quits.
    QTest::newRow("back, back, exit") << QList<int>{rightSoftKeyX, rightSoftKeyX, rightSoftKeyX};
    QTest::newRow("main page, exit") << QList<int>{middleSoftKeyX, rightSoftKeyX};
    QTest::newRow("back, main page, exit")
        << QList<int>{rightSoftKeyX, middleSoftKeyX, rightSoftKeyX};
}

void TestMovaraLogic::softKeys()
{
    QFETCH(QList<int>, softKeys);
    QCOMPARE(rightKeyResource(), QStringLiteral("CST_Exit"));
    QVERIFY(!cst()->getMidBtn()->isEnabled());
    openFirstRow(2);
    QCOMPARE(window->fileBrowser->depth, 2);
    QCOMPARE(rightKeyResource(), QStringLiteral("CST_Back"));
    QVERIFY(cst()->getMidBtn()->isEnabled());

    for (int i = 0; i + 1 < softKeys.size(); ++i) {
        const int depth = window->fileBrowser->depth;
        tap(softKeys.at(i), softKeyY);
        QCOMPARE(window->fileBrowser->depth, softKeys.at(i) == rightSoftKeyX ? depth - 1 : 0);
        const bool belowRoots = window->fileBrowser->depth != 0;
        QCOMPARE(rightKeyResource(),
                 belowRoots ? QStringLiteral("CST_Back") : QStringLiteral("CST_Exit"));
        QCOMPARE(cst()->getMidBtn()->isEnabled(), belowRoots);
    }
    QVERIFY(quitsOn([this, softKeys] { tap(softKeys.last(), softKeyY); }));
}

void TestMovaraLogic::keysAfterGoingBack_data()
{
    QTest::addColumn<int>("back"); // a key, or 0 for a tap on the right soft key
    QTest::newRow("Back soft key") << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("BackSpace") << int(Qt::Key_Backspace);
}

void TestMovaraLogic::keysAfterGoingBack()
{
    QFETCH(int, back);
    QVERIFY(engine->installEngine());
    engine->setScript(header + QStringLiteral("status 100 100\n"));
    openFirstRow(2);
    QCOMPARE(window->fileBrowser->depth, 2);
    if (back)
        key(Qt::Key(back));
    else
        tap(rightSoftKeyX, softKeyY);
    QCOMPARE(window->fileBrowser->depth, 1);
    // The keys that act while playing do nothing to the list.
    for (Qt::Key k : {Qt::Key_4, Qt::Key_6, Qt::Key_Asterisk})
        key(k);
    QCOMPARE(window->fileBrowser->depth, 1);
    QVERIFY(!window->isPlayMode());

    // Up a level on the folder left, the keys still open: Clips again, then its first file.
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Return})
        key(k);
    QVERIFY(trace().contains(played("a.avi")));
    QVERIFY(window->isPlayMode());
}

void TestMovaraLogic::pickWhileTheEngineQuits()
{
    // The engine takes its time to quit, within the grace it is given.
    playFirstClip(QStringLiteral("on quit => sleep 300 ;; exit 0\n") + header +
                  QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("get_time_length")));

    // Quit twice, then the next entry while the engine is still on its way out.
    for (Qt::Key k : {Qt::Key_F2, Qt::Key_F2, Qt::Key_N})
        key(k);
    QVERIFY(trace().contains(played("b.avi")));

    // The pick is not lost: once the old engine is gone, a new one plays it.
    QTRY_COMPARE(engine->entries(QStringLiteral("start")).size(), 2);
    QVERIFY(window->isPlayMode());
    QCOMPARE(engine->entries(QStringLiteral("arg")).last(),
             QStringLiteral("20 ") + clipsFolder + QStringLiteral("/b.avi"));
    QCOMPARE(engine->stdinLines().count(QStringLiteral("quit")), 2);
    QVERIFY(!engine->stdinLines().contains(loadCommand));
}

void TestMovaraLogic::engineDies_data()
{
    QTest::addColumn<QString>("extraScript");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("held");

    QTest::newRow("mid-file") << QStringLiteral("status 5 20\nkill 11\n") << QList<int>{}
                              << QString();
    QTest::newRow("during a pause")
        << QStringLiteral("on pause => kill 9\n") << QList<int>{Qt::Key_Space} << QString();
    // The second "next" arrives while the engine still handles the first:
    // it plays on a new engine.
    QTest::newRow("with a pick held")
        << QStringLiteral("on %1 => sleep 300 ;; kill 6\n").arg(loadCommand)
        << QList<int>{Qt::Key_N, Qt::Key_N} << QStringLiteral("c.avi");
}

void TestMovaraLogic::engineDies()
{
    QFETCH(QString, extraScript);
    QFETCH(QList<int>, keys);
    QFETCH(QString, held);
    playFirstClip(QStringLiteral("line VO: [x11] 240x320\n") + extraScript +
                  QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(window->playerControl->playbackState() == MvPlayerControl::PlaybackState::Playing);
    for (int k : keys)
        key(Qt::Key(k));

    QTRY_VERIFY_WITH_TIMEOUT(!engine->entries(QStringLiteral("signal")).isEmpty(), 5000);
    if (!held.isEmpty()) {
        QTRY_COMPARE(engine->entries(QStringLiteral("start")).size(), 2);
        QVERIFY(engine->entries(QStringLiteral("arg")).last().endsWith(clipsFolder + '/' + held));
        QVERIFY(window->isPlayMode());
        return;
    }
    QTRY_VERIFY(!window->isPlayMode());
    QVERIFY(keysGoToTheList());

    // Back in the browser: the list has the keys, and a pick starts a new engine.
    const int before = int(trace().size());
    key(Qt::Key_Home);
    key(Qt::Key_Return);
    QVERIFY(trace().mid(before - 1).contains(played("a.avi")));
    QTRY_COMPARE(engine->entries(QStringLiteral("start")).size(), 2);
    QVERIFY(window->isPlayMode());
}

void TestMovaraLogic::noEngine()
{
    // No engine beside the program: play mode is left at once.
    openFirstRow(3);
    QVERIFY(trace().contains(played("a.avi")));
    QVERIFY(!window->isPlayMode());
    QVERIFY(keysGoToTheList());

    // The list has the keys again, and the next pick tries again.
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")),
             QStringList({played("a.avi"), played("a.avi")}));
    QCOMPARE(trace().filter(QStringLiteral("parent : WID ")).size(), 1);
    QVERIFY(!window->isPlayMode());
}

void TestMovaraLogic::wakingKeyDoesNothingElse()
{
    playFirstClip(QStringLiteral("line Audio file file format detected.\n"
                                 "line AO: [null] 44100Hz 2ch s16le\nstatus 200 50\n"));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("get_time_length")));
    // Sound alone lets the display sleep; here a second of sleep time lasts 20 ms.
    qputenv("MOVARA_LCD_SECOND_MS", "20");
    PM_setupLcdSleepTime(1);
    QTRY_VERIFY(screen->isDark());
    // Nothing shows the time: the engine tells it once a second, and ten again once lit.
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("status_rate 1")));

    const int before = int(trace().size());
    key(Qt::Key_Right);
    QVERIFY(!screen->isDark());
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("status_rate 10")));
    QVERIFY(trace().mid(before - 1).filter(QStringLiteral(": Kp ")).isEmpty());
    // The next key acts (with the display kept lit, however long the test takes).
    PM_setupLcdSleepTime(0);
    key(Qt::Key_Right);
    QVERIFY(trace().contains(QStringLiteral("Active : Kp 1014")));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 15 ")));
    QCOMPARE(engine->stdinLines().count(QStringLiteral("seek 15 ")), 1);
}

void TestMovaraLogic::playsAPlaylist()
{
    QVERIFY(engine->installEngine());
    // Each medium ends by the engine's word: the order is what counts here.
    engine->setScript(QStringLiteral("on %1 => line VO: [x11] 240x320 ;; status 3 30 ;; %2\n")
                          .arg(loadCommand, endLine) +
                      header + QStringLiteral("status 3 30\n%1\n").arg(endLine));
    QVERIFY(QDir().mkpath(playlistRoot + QStringLiteral("/Sub")));
    for (const char *name : {"/Sub/r.avi", "/Sub/w.avi"}) {
        QFile file(playlistRoot + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("clip") > 0);
    }
    QFile list(playlistRoot + QStringLiteral("/mix.m3u"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:3,First\r\n" + QFile::encodeName(clipsFolder) +
               "/a.avi\r\nSub/r.avi\r\n/nowhere/gone.avi\r\nD:\\Sub\\w.avi\r\n");
    list.close();

    // The third root, then the playlist after the folder Sub.
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return, Qt::Key_Down, Qt::Key_Return})
        key(k);
    QVERIFY(window->isPlayMode());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isPlayMode(), 15000);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")),
             QStringList({played("a.avi"), "fileChanged : " + playlistRoot + "/Sub/r.avi",
                          "fileChanged : " + playlistRoot + "/Sub/w.avi"}));
    QCOMPARE(engine->stdinLines().count(loadCommand), 2);
    // The entry that names nothing here is not found, rather than unplayable.
    QStringList notices;
    for (const MvNotice *notice : screen->findChildren<MvNotice *>())
        notices << notice->text();
    QVERIFY2(notices.contains(QStringLiteral("Not found: gone.avi")),
             qPrintable(notices.join('|')));
    // Back in the browser on the playlist's row.
    auto *box = qobject_cast<QListBox *>(window->fileBrowser->listWidget());
    QVERIFY(box);
    QCOMPARE(box->currentItem(), 1);
    QVERIFY(keysGoToTheList());
}

void TestMovaraLogic::clearedTickIsSkipped()
{
    QVERIFY(engine->installEngine());
    // Each medium ends by the engine's word: the order is what counts here.
    engine->setScript(QStringLiteral("on %1 => line VO: [x11] 240x320 ;; status 3 30 ;; %2\n")
                          .arg(loadCommand, endLine) +
                      header + QStringLiteral("status 3 30\n%1\n").arg(endLine));
    openFirstRow(2);
    // A tap on b.avi's check box clears it; then a.avi is picked.
    tap(PhoneGeometry::CheckBoxX, PhoneGeometry::FirstRowY + PhoneGeometry::RowHeight);
    key(Qt::Key_Home);
    key(Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isPlayMode(), 10000);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")),
             QStringList({played("a.avi"), played("c.avi")}));
}

void TestMovaraLogic::optionsMenuByKeys()
{
    openFirstRow(2);
    key(Qt::Key_F1);
    MvOptionsMenu *menu = window->options();
    QVERIFY(menu && menu->isOpen());
    QCOMPARE(menu->shownLabels(),
             QStringList({"Play ticked", "Tick all", "Clear all", "Save ticked as playlist",
                          "Shuffle: off", "Repeat: off", "Resume: on", "Sleep timer: off"}));
    QCOMPARE(menu->currentIndex(), 0);
    // Up from the first entry wraps to the last, Home and End go to either
    // end; Return acts on the entry shown: it cycles the sleep timer.
    for (const auto &[k, at] : {std::pair{Qt::Key_Up, 7}, {Qt::Key_Home, 0}, {Qt::Key_End, 7}}) {
        QTest::keyClick(QApplication::activePopupWidget(), k);
        QCOMPARE(menu->currentIndex(), at);
    }
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    QTRY_VERIFY(!menu->isOpen());
    key(Qt::Key_F1);
    QTRY_COMPARE(menu->shownLabels().last(), QStringLiteral("Sleep timer: 15 min"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!menu->isOpen());
    // Closing the menu did not go up a level.
    QCOMPARE(window->fileBrowser->depth, 2);

    // The ticked files saved as a playlist, beside any of the same name.
    key(Qt::Key_F1);
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(QApplication::activePopupWidget(), k);
    const QString saved = playlistRoot + QStringLiteral("/Clips.m3u8");
    MvPlaylist list;
    QVERIFY(list.load(saved));
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.path(2), clipsFolder + QStringLiteral("/c.avi"));
}

// While a medium with chapters plays: its chapters to jump to, and the speeds.
void TestMovaraLogic::chaptersAndSpeedFromTheMenu()
{
    playFirstClip(chapterScript({0, 62.5, 125}) + header + QStringLiteral("status 100 100\n"));
    QTRY_VERIFY(window->playback()->status()->position() >= 0);
    MvOptionsMenu *menu = window->options();
    const auto keys = [](std::initializer_list<Qt::Key> pressed) {
        for (Qt::Key k : pressed)
            QTest::keyClick(QApplication::activePopupWidget(), k);
    };
    key(Qt::Key_F1);
    QCOMPARE(menu->shownLabels(), QStringList({"Chapters", "Speed: 1\u00d7", "Shuffle: off",
                                               "Repeat: off", "Resume: on", "Sleep timer: off"}));
    keys({Qt::Key_Return});
    QTRY_COMPARE(menu->shownLabels(),
                 QStringList({"C1 \u00b7 0:00", "C2 \u00b7 1:02", "C3 \u00b7 2:05"}));
    QCOMPARE(menu->currentIndex(), 0);
    // Up from the first goes round to the last.
    keys({Qt::Key_Up, Qt::Key_Return});
    QVERIFY(!menu->isOpen());
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 125 2")));
    const QList<MvNotice *> notices = screen->findChildren<MvNotice *>();
    QVERIFY(std::any_of(notices.cbegin(), notices.cend(),
                        [](MvNotice *n) { return n->isVisible() && n->text() == u"C3"; }));

    // The speeds in order, the one playing chosen.
    key(Qt::Key_F1);
    keys({Qt::Key_Down, Qt::Key_Return});
    QTRY_COMPARE(menu->shownLabels(), QStringList({"0.75\u00d7", "1\u00d7", "1.25\u00d7",
                                                   "1.5\u00d7", "1.75\u00d7", "2\u00d7"}));
    QCOMPARE(menu->currentIndex(), 1);
    keys({Qt::Key_End, Qt::Key_Return});
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("speed_set 2")));
}

void TestMovaraLogic::resumesWhereStopped_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<int>("place");
    QTest::newRow("F2") << "F2" << true << 40;
    QTest::newRow("next entry") << "N" << true << 40;
    QTest::newRow("sleep timer") << "sleep" << true << 40;
    QTest::newRow("window gone") << "destroy" << true << 40;
    QTest::newRow("played to its end") << "end" << false << 40;
    // MPlayer pads the hours: "( 1:00:40.0)".
    QTest::newRow("sound past an hour") << "F2" << true << 3640;
    QTest::newRow("fell silent: may have stopped anywhere") << "silent" << true << 40;
}

void TestMovaraLogic::resumesWhereStopped()
{
    QFETCH(QString, stop);
    QFETCH(bool, kept);
    QFETCH(int, place);
    // A video ten minutes long, 40 s in, for 6 s (or 1 s, then the engine's
    // end or silence); or sound an hour and two minutes long, past its first hour.
    const bool sound = place > 3600;
    QString script =
        sound ? QStringLiteral("on get_time_length => line ANS_LENGTH=3720.00\n"
                               "line Audio only file format detected.\n"
                               "line AO: [pulse] 44100Hz 2ch s16le (2 bytes per "
                               "sample)\nline Video: no video\n")
              : QStringLiteral("on get_time_length => line ANS_LENGTH=600.00\n") + header;
    const bool ends = stop == QLatin1String("end") || stop == QLatin1String("silent");
    for (int i = 0; i < (ends ? 10 : 60); ++i)
        script += (sound ? QStringLiteral("raw A:%1.%2 ( 1:00:40.%2) of 3720.0 ( 1:02:00.0)  "
                                          "0.0% \\r\n")
                               .arg(place)
                               .arg(i % 10)
                         : videoStatus(place * 10 + i % 10)) +
                  QStringLiteral("sleep 100\n");
    if (stop == QLatin1String("end"))
        script += QStringLiteral("line EOF code: 1\n");
    playFirstClip(script);
    const QString record = QLatin1String(MvResumeStore::defaultPath);
    const QString medium = clipsFolder + QStringLiteral("/a.avi");
    QTRY_COMPARE(MvResumeStore(record).positionOf(medium), place);

    if (stop == QLatin1String("sleep"))
        window->playback()->setSleepTimer(1);
    else if (stop == QLatin1String("destroy"))
        window->destroy();
    else if (!ends)
        key(stop == QLatin1String("F2") ? Qt::Key_F2 : Qt::Key_N);
    if (stop != QLatin1String("N") && stop != QLatin1String("destroy"))
        QTRY_VERIFY_WITH_TIMEOUT(!window->isPlayMode() || trace().contains(played("b.avi")), 10000);
    QTRY_COMPARE(MvResumeStore(record).positionOf(medium), kept ? place : -1);
    if (!kept || ends || stop == QLatin1String("destroy") || stop == QLatin1String("N"))
        return;

    // Played again it starts there, and Left at once goes back to its start.
    key(Qt::Key_Return);
    QTRY_COMPARE(engine->stdinLines().filter(QStringLiteral("seek ")).size(), 1);
    const QStringList seek =
        engine->stdinLines().filter(QStringLiteral("seek ")).first().split(QLatin1Char(' '));
    QCOMPARE(seek.size(), 3);
    QVERIFY(qAbs(seek[1].toInt() - place) <= 2);
    QCOMPARE(seek[2], QStringLiteral("2"));
    key(Qt::Key_Left);
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 0 2")));
}

// Under a session bus of its own: another program reads what plays and drives it.
void TestMovaraLogic::remoteControl()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus (run under dbus-run-session)");
    MOVARA_REQUIRE_TOOLS(QStringLiteral("playerctl"), QStringLiteral("dbus-send"));
    const auto run = [](const QString &program, const QStringList &args) {
        QProcess tool;
        tool.start(program, args);
        if (!QTest::qWaitFor([&tool] { return tool.state() == QProcess::NotRunning; }, 10000))
            tool.kill();
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    };
    const auto playerctl = [&run](const QStringList &args) {
        return run(QStringLiteral("playerctl"),
                   QStringList{QStringLiteral("--player=movara")} + args);
    };
    playFirstClip(longMediumScript());
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("get_time_length")));
    auto *mpris = window->findChild<MvMpris *>();
    QVERIFY(mpris);
    QSignalSpy seeked(mpris, &MvMpris::Seeked);

    QTRY_COMPARE(playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                            QStringLiteral("{{title}} {{mpris:length}}")}),
                 QStringLiteral("a.avi 600000000"));
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    playerctl({QStringLiteral("pause")});
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("pause")));
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Paused"));
    QVERIFY(trace().contains(QStringLiteral("Remote : Kp 1049")));
    // Seeks as the keys do, to a place, and refused out of range or mistyped.
    playerctl({QStringLiteral("position"), QStringLiteral("15+")});
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 15 ")));
    playerctl({QStringLiteral("position"), QStringLiteral("100")});
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 100 2")));
    // Each jump is told with the place it went to: 40 s and 15 s on, then 100 s.
    QCOMPARE(seeked.size(), 2);
    QCOMPARE(seeked.at(0).at(0).toLongLong(), 55000000);
    QCOMPARE(seeked.at(1).at(0).toLongLong(), 100000000);
    // Paused, the engine tells no new place: the one jumped to is the answer.
    QCOMPARE(qRound(playerctl({QStringLiteral("position")}).toDouble()), 100);
    playerctl({QStringLiteral("position"), QStringLiteral("360000")});
    run(QStringLiteral("dbus-send"),
        {QStringLiteral("--session"), QStringLiteral("--dest=org.mpris.MediaPlayer2.movara"),
         QStringLiteral("/org/mpris/MediaPlayer2"),
         QStringLiteral("org.mpris.MediaPlayer2.Player.Seek"), QStringLiteral("string:-1h")});
    QCOMPARE(engine->stdinLines().filter(QStringLiteral("seek ")).size(), 2);
    QCOMPARE(seeked.size(), 2);
    // The phone's own key as well, from the place jumped to.
    key(Qt::Key_Left);
    QTRY_COMPARE(seeked.size(), 3);
    QCOMPARE(seeked.at(2).at(0).toLongLong(), 85000000);
    // Shuffle and repeat both ways, as the options menu has them.
    QCOMPARE(playerctl({QStringLiteral("loop")}), QStringLiteral("None"));
    playerctl({QStringLiteral("loop"), QStringLiteral("Playlist")});
    QTRY_VERIFY(MvPlayModes::load().repeat == MvPlayQueue::Repeat::All);
    playerctl({QStringLiteral("shuffle"), QStringLiteral("On")});
    QTRY_VERIFY(MvPlayModes::load().shuffle);
    playerctl({QStringLiteral("loop"), QStringLiteral("Sometimes")});
    QCOMPARE(playerctl({QStringLiteral("loop")}), QStringLiteral("Playlist"));
    QCOMPARE(playerctl({QStringLiteral("shuffle")}), QStringLiteral("On"));
    playerctl({QStringLiteral("shuffle"), QStringLiteral("Off")});
    QTRY_VERIFY(!MvPlayModes::load().shuffle);
    // The player's interface as MPRIS has it, without the window's own signals.
    const QString introspection =
        run(QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.mpris.MediaPlayer2.movara"),
             QStringLiteral("/org/mpris/MediaPlayer2"),
             QStringLiteral("org.freedesktop.DBus.Introspectable.Introspect")});
    QVERIFY(introspection.contains(QStringLiteral("<signal name=\"Seeked\">")));
    QVERIFY(!introspection.contains(QStringLiteral("keyRequested")));
    QCOMPARE(run(QStringLiteral("dbus-send"),
                 {QStringLiteral("--session"), QStringLiteral("--print-reply=literal"),
                  QStringLiteral("--dest=org.mpris.MediaPlayer2.movara"),
                  QStringLiteral("/org/mpris/MediaPlayer2"),
                  QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                  QStringLiteral("string:org.mpris.MediaPlayer2"),
                  QStringLiteral("string:DesktopEntry")}),
             QStringLiteral("variant       org.movara.Movara"));
    // The speed as the rate, set and read back.
    const auto rate = [&run](const QString &method, const QStringList &value = {}) {
        return run("dbus-send",
                   QStringList{"--session", "--print-reply=literal",
                               "--dest=org.mpris.MediaPlayer2.movara", "/org/mpris/MediaPlayer2",
                               "org.freedesktop.DBus.Properties." + method,
                               "string:org.mpris.MediaPlayer2.Player", "string:Rate"} +
                       value);
    };
    rate("Set", {"variant:double:1.5"});
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("speed_set 1.5")));
    QCOMPARE(rate("Get"), QStringLiteral("variant       double 1.5"));
    // Next as its key: the folder's next entry.
    playerctl({QStringLiteral("next")});
    QTRY_VERIFY(trace().contains(played("b.avi")));
}

void TestMovaraLogic::remoteFlood()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus (run under dbus-run-session)");
    playFirstClip(longMediumScript());
    auto *mpris = window->findChild<MvMpris *>();
    QVERIFY(mpris && mpris->isRegistered());
    QTRY_VERIFY(mpris->canSeek());
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("flood"));
    QVERIFY(bus.isConnected());
    const auto message = [&](const QString &interface, const QString &method,
                             const QVariantList &args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            mpris->serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        call.setArguments(args);
        return call;
    };
    const QString player = QStringLiteral("org.mpris.MediaPlayer2.Player");
    const QDBusObjectPath foreignTrack(QStringLiteral("/org/movara/track/999"));
    const QVariant track = mpris->metadata().value(QStringLiteral("mpris:trackid"));
    // Clamped to the start, to a place, refused, wrongly typed; at last past the
    // end, to the next medium.
    const QList<QDBusMessage> calls = {
        message(player, QStringLiteral("Seek"), {qlonglong(-3600) * 1000000}),
        message(player, QStringLiteral("SetPosition"), {track, qlonglong(100000000)}),
        message(player, QStringLiteral("SetPosition"),
                {QVariant::fromValue(foreignTrack), qlonglong(10000000)}),
        message(player, QStringLiteral("Seek"), {QStringLiteral("-1h")}),
        message(player, QStringLiteral("SetPosition"), {5, QStringLiteral("x")}),
    };
    const QDBusMessage pastTheEnd =
        message(player, QStringLiteral("Seek"), {qlonglong(360000) * 1000000});
    int answered = 0;
    QElapsedTimer flood;
    flood.start();
    for (int i = 0; i < 1000; ++i) {
        auto *watcher = new QDBusPendingCallWatcher(
            bus.asyncCall(i < 999 ? calls[i % calls.size()] : pastTheEnd), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [&answered](QDBusPendingCallWatcher *done) {
                    ++answered;
                    done->deleteLater();
                });
    }
    QTRY_COMPARE_WITH_TIMEOUT(answered, 1000, 60000);
    const qint64 floodMs = flood.elapsed();
    // Answered by this very thread: waited for with the event loop running.
    QDBusPendingCall read =
        bus.asyncCall(message(QStringLiteral("org.freedesktop.DBus.Properties"),
                              QStringLiteral("Get"), {player, QStringLiteral("Position")}),
                      5000);
    QTRY_VERIFY_WITH_TIMEOUT(read.isFinished(), 10000);
    QCOMPARE(read.reply().type(), QDBusMessage::ReplyMessage);
    QVERIFY(window->isPlayMode());
    QTRY_VERIFY(trace().contains(played("b.avi")));
    // Seeks merged to one an interval, the first at once; the engine reads
    // them in its own time.
    QTRY_VERIFY(!engine->stdinLines().filter(QStringLiteral("seek ")).isEmpty());
    const QStringList commands = engine->stdinLines();
    const qsizetype seeks = commands.filter(QStringLiteral("seek ")).size();
    QVERIFY2(seeks >= 1 && seeks <= 2 + floodMs / MvMpris::seekIntervalMs,
             qPrintable(commands.join(QLatin1Char('|'))));
    QCOMPARE(commands.count(loadCommand), 1);
    QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
}

void TestMovaraLogic::remoteCoverFile()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus (run under dbus-run-session)");
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"));
    // Beside Clips, out of the way of the other tests.
    const QString folder = videoRoot + QStringLiteral("/Covers");
    QVERIFY(QDir().mkpath(folder));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(folder + QStringLiteral("/.cover.png")));
    QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                               {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1", "-i",
                                folder + "/.cover.png", "-map", "0:a", "-map", "1", "-c:v", "copy",
                                "-id3v2_version", "3", folder + "/inside.mp3"}),
             0);
    QVERIFY(engine->installEngine());
    engine->setScript(header);
    // The video root, its second folder, its first file.
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Down, Qt::Key_Return, Qt::Key_Return})
        key(k);
    QTRY_VERIFY(trace().contains(QStringLiteral("fileChanged : ") + folder + "/inside.mp3"));
    auto *mpris = window->findChild<MvMpris *>();
    QVERIFY(mpris);
    QString art;
    QTRY_VERIFY(
        !(art = mpris->metadata().value(QStringLiteral("mpris:artUrl")).toString()).isEmpty());
    const QString file = QUrl(art).toLocalFile();
    QCOMPARE(QImage(file).size(), QSize(64, 48));
    // The copy goes with the window.
    window->destroy();
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!QFileInfo::exists(QFileInfo(file).path()));
}

void TestMovaraLogic::playlistTitleWins()
{
    MOVARA_REQUIRE_TOOLS(QStringLiteral("ffmpeg"));
    QVERIFY(QDir().mkpath(playlistRoot + QStringLiteral("/Titled")));
    QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                               {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1",
                                "-metadata", "title=Tag title", "-metadata", "artist=Artist",
                                playlistRoot + "/Titled/t.mp3"}),
             0);
    QFile list(playlistRoot + QStringLiteral("/titled.m3u"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("#EXTM3U\n#EXTINF:1,Given title\nTitled/t.mp3\n");
    list.close();
    QVERIFY(engine->installEngine());
    engine->setScript(longMediumScript());
    window->filePicked(list.fileName());
    auto *view = window->mainWidget->findChild<MvNowPlayingView *>();
    QVERIFY(view);
    // Once the tags are in, the playlist's title still stands.
    QTRY_COMPARE(view->artistText(), QStringLiteral("Artist"));
    QCOMPARE(view->nameText(), QStringLiteral("Given title"));
    auto *mpris = window->findChild<MvMpris *>();
    if (mpris && mpris->isRegistered())
        QTRY_COMPARE(mpris->metadata().value(QStringLiteral("xesam:title")).toString(),
                     QStringLiteral("Given title"));
}

void TestMovaraLogic::openUriChecksAsAPick_data()
{
    QTest::addColumn<QByteArray>("name"); // in the video root's folder Given
    QTest::addColumn<QByteArray>("uriName");
    QTest::addColumn<QByteArray>("played"); // what plays
    QTest::newRow("a playlist plays its entries")
        << QByteArray("given.m3u") << QByteArray("given.m3u") << QByteArray("a.avi");
    QTest::newRow("a name not UTF-8")
        << QByteArray("caf\xe9.avi") << QByteArray("caf%E9.avi") << QByteArray("caf\xe9.avi");
    QTest::newRow("a process's memory, no medium")
        << QByteArray("-") << QByteArray("/proc/self/mem") << QByteArray();
}

void TestMovaraLogic::openUriChecksAsAPick()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, uriName);
    QFETCH(QByteArray, played);
    const QByteArray folder = QFile::encodeName(videoRoot) + "/Given";
    QVERIFY(QDir().mkpath(QString::fromUtf8(folder)));
    const QByteArray path = folder + '/' + name;
    ::unlink(path.constData());
    if (name.endsWith(".m3u")) {
        QFile list(QString::fromUtf8(path));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("http://host/stream.mp3\n" + QFile::encodeName(clipsFolder) + "/a.avi\n");
    } else if (name != "-") {
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0 && ::write(fd, "clip", 4) == 4);
        ::close(fd);
    }
    QVERIFY(engine->installEngine());
    engine->setScript(longMediumScript());
    auto *mpris = window->findChild<MvMpris *>();
    QVERIFY(mpris);
    mpris->OpenUri(
        QString::fromLatin1("file://" + (uriName[0] == '/' ? "" : folder + '/') + uriName));
    if (played.isEmpty()) {
        QVERIFY(!window->isPlayMode());
        QVERIFY(capture->text().contains("mediumCannotPlay : " + uriName));
    } else {
        const QByteArray line =
            "fileChanged : " + (played == "a.avi" ? QFile::encodeName(clipsFolder) : folder) + '/' +
            played + '\n';
        QTRY_VERIFY(capture->text().contains(line));
        QVERIFY(!capture->text().contains("fileChanged : " + path + '\n') || played == name);
    }
    ::unlink(path.constData());
}

QStringList TestMovaraLogic::notices() const
{
    QStringList texts;
    for (const MvNotice *notice : screen->findChildren<MvNotice *>())
        if (notice->isVisible())
            texts << notice->text();
    return texts;
}

bool TestMovaraLogic::chooseOption(const QString &label)
{
    MvOptionsMenu *menu = window->options();
    if (!menu->isOpen())
        key(Qt::Key_F1);
    const int at = int(menu->shownLabels().indexOf(label));
    if (!menu->isOpen() || at < 0)
        return false;
    for (int i = 0; i < at; ++i)
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    return !menu->isOpen();
}

void TestMovaraLogic::continuesABook_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("plays");
    QTest::addColumn<QStringList>("seeks");
    const QStringList stepBack{QStringLiteral("seek %1 2").arg(70 - MvStepBack::shortest)};
    QTest::newRow("the folder's own Continue") << "folder"
                                               << "b.avi" << stepBack;
    QTest::newRow("the roots' Continue") << "roots"
                                         << "b.avi" << stepBack;
    QTest::newRow("the marked row") << "row"
                                    << "b.avi" << stepBack;
    QTest::newRow("another file of the folder") << "other"
                                                << "a.avi" << QStringList{};
}

// Three-minute media: a folder keeps its place whatever their length.
void TestMovaraLogic::continuesABook()
{
    QFETCH(QString, how);
    QFETCH(QString, plays);
    QFETCH(QStringList, seeks);
    QVERIFY(engine->installEngine());
    engine->setScript(QStringLiteral("on get_time_length => line ANS_LENGTH=180.00\n") + header +
                      QString(videoStatus(700) + QStringLiteral("sleep 100\n")).repeated(100));
    openFirstRow(2);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    MvPlaybackSession *session = window->playback();
    QTRY_COMPARE(session->placeIn(clipsFolder).position, 70);
    key(Qt::Key_F2);
    QTRY_VERIFY(!window->isPlayMode());
    // Its row is marked, and no other.
    auto *box = qobject_cast<QListBox *>(window->fileBrowser->listWidget());
    QList<bool> marked;
    for (int i = 0; i < box->count(); ++i)
        marked << dynamic_cast<MvListBoxItem *>(box->item(i))->isMarked();
    QCOMPARE(marked, QList<bool>({false, true, false}));

    if (how == QLatin1String("folder")) {
        key(Qt::Key_F1);
        QCOMPARE(window->options()->shownLabels().value(0),
                 QStringLiteral("Continue: b.avi at 1:10"));
        QVERIFY(!window->options()->shownLabels().contains(QStringLiteral("Continue")));
        QVERIFY(chooseOption(QStringLiteral("Continue: b.avi at 1:10")));
    } else if (how == QLatin1String("roots")) {
        tap(middleSoftKeyX, softKeyY);
        QVERIFY(chooseOption(QStringLiteral("Continue")));
    } else {
        key(how == QLatin1String("row") ? Qt::Key_Return : Qt::Key_Up);
        if (how == QLatin1String("other"))
            key(Qt::Key_Return);
    }
    QTRY_COMPARE(trace().filter(QStringLiteral("fileChanged : ")).size(), 2);
    QCOMPARE(trace().filter(QStringLiteral("fileChanged : ")).last(), played(qPrintable(plays)));
    QTRY_COMPARE(session->status()->length(), 180.0);
    QTRY_COMPARE(engine->stdinLines().filter(QStringLiteral("seek ")), seeks);
}

void TestMovaraLogic::bookmarks()
{
    // Each medium starts at once and tells its length when asked.
    playFirstClip(QStringLiteral("on %1 => line libavformat file format detected. ;; line VO: "
                                 "[x11] 240x320\n")
                      .arg(loadCommand) +
                  longMediumScript());
    MvPlaybackSession *session = window->playback();
    QTRY_COMPARE(session->status()->position(), 40.0);
    key(Qt::Key_NumberSign);
    QCOMPARE(notices(), QStringList{"Bookmark at 0:40"});
    key(Qt::Key_N);
    QTRY_VERIFY(trace().contains(played("b.avi")));

    // The list, newest first; Return plays the place itself, no step back.
    QVERIFY(chooseOption(QStringLiteral("Bookmarks")));
    MvListMenu *list = window->options()->findChild<MvOptions *>()->bookmarksList();
    QTRY_VERIFY(list && list->isOpen());
    QCOMPARE(list->shownLabels(), QStringList{QStringLiteral("a.avi \u00b7 0:40")});
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    QTRY_COMPARE(trace().filter(QStringLiteral("fileChanged : ")).last(), played("a.avi"));
    QTRY_VERIFY(engine->stdinLines().contains(QStringLiteral("seek 40 2")));

    // Delete takes it out; the list closes with its last row.
    QVERIFY(chooseOption(QStringLiteral("Bookmarks")));
    QTRY_VERIFY(list->isOpen());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Delete);
    QTRY_VERIFY(!list->isOpen());
    QVERIFY(session->bookmarks().isEmpty());
    key(Qt::Key_F1);
    QVERIFY(!window->options()->shownLabels().contains(QStringLiteral("Bookmarks")));
}

void TestMovaraLogic::gentlerSleepTimer_data()
{
    QTest::addColumn<bool>("keyPressed");
    QTest::newRow("fades out, and the sound is back for the next play") << false;
    QTest::newRow("a key in the last minute adds its time again") << true;
}

void TestMovaraLogic::gentlerSleepTimer()
{
    QFETCH(bool, keyPressed);
    // A minute lasts 1.2 s here (initTestCase).
    playFirstClip(longMediumScript());
    QTRY_VERIFY(engine->stdinLines().contains(queueCommand));
    window->playback()->setSleepTimer(1);
    if (keyPressed) {
        key(Qt::Key_Down);
        QVERIFY(window->playback()->sleepTimer()->secondsLeft() > MvSleepTimer::extendSeconds);
        QCOMPARE(notices().size(), 1);
        QVERIFY(notices().first().startsWith(QStringLiteral("Sleep in ")));
        QCOMPARE(engine->stdinLines().filter(QStringLiteral("volume ")).size(), 1);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!window->isPlayMode(), 10000);
    // Falling to silence before the quit; the user's volume stays.
    QList<int> volumes;
    for (const QString &line : engine->stdinLines())
        if (line.startsWith(QStringLiteral("volume ")))
            volumes << line.section(QLatin1Char(' '), 1, 1).toInt();
    QVERIFY2(volumes.size() > 5 && volumes.first() == 50 && volumes.last() == 0,
             qPrintable(engine->stdinLines().join(QLatin1Char('|'))));
    QVERIFY(std::is_sorted(volumes.crbegin(), volumes.crend()));
    QCOMPARE(engine->stdinLines().last(), QStringLiteral("quit"));
    QCOMPARE(window->playback()->status()->volume(), 50);

    // The next engine starts at the user's volume.
    key(Qt::Key_Return);
    QTRY_COMPARE(engine->entries(QStringLiteral("start")).size(), 2);
    const QStringList args = engine->entries(QStringLiteral("arg"));
    QStringList second;
    for (const QString &arg : args.mid(args.size() / 2))
        second << arg.section(QLatin1Char(' '), 1);
    QCOMPARE(second,
             QStringList{QStringLiteral("./mplayer")} +
                 MvPlayerControl::engineArguments(clipsFolder + QStringLiteral("/a.avi"), 50));
    const auto afterQuit = [this] {
        const QStringList in = engine->stdinLines();
        return in.value(in.lastIndexOf(QStringLiteral("quit")) + 1);
    };
    QTRY_COMPARE(afterQuit(), QStringLiteral("volume 50 100"));
}

int main(int argc, char **argv)
{
    // The phone's application object gives the keys no keyboard has.
    ZApplication app(argc, argv);
    TestMovaraLogic test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_movaralogic.moc"
