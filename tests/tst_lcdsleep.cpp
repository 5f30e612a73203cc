#include "platform/lcdsleeptimer.h"
#include "platform/phonescreen.h"
#include "platform/powermanagement.h"
#include "support/scopedenv.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <optional>

namespace {
// One second of the sleep time lasts this long here (the program's knob for tests).
constexpr int secondMs = 40;
// A coarse timer may fire up to 5% early.
constexpr qint64 shortestDark = secondMs * 9 / 10;

class KeyCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};
} // namespace

// The display goes dark after the sleep time without input; the next input
// lights it and does nothing else.
class TestLcdSleep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void darkAfterIdleAndLitByInput();
    void inputPostponesTheDark();
    void zeroKeepsLit();

private:
    // Sets the sleep time; from now on each dark is timed from the last input.
    void setSleepTime(int seconds);
    void tap();

    PhoneScreen *screen = nullptr;
    KeyCounter *focus = nullptr;
    std::optional<ScopedEnv> secondLength;
    QElapsedTimer clock;
    qint64 lastInput = 0;
    // For each time the display went dark: how long after the last input.
    QList<qint64> darkAfter;
};

void TestLcdSleep::initTestCase()
{
    secondLength.emplace("MOVARA_LCD_SECOND_MS", QByteArray::number(secondMs));
    clock.start();
}

void TestLcdSleep::init()
{
    PM_setupLcdSleepTime(0);
    screen = new PhoneScreen;
    focus = new KeyCounter;
    focus->setParent(screen);
    focus->setFocusPolicy(Qt::StrongFocus);
    screen->setFrame(focus);
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    focus->setFocus();
    darkAfter.clear();
    connect(LcdSleepTimer::instance(), &LcdSleepTimer::darkChanged, screen, [this](bool dark) {
        if (dark)
            darkAfter.append(clock.elapsed() - lastInput);
    });
}

void TestLcdSleep::cleanup()
{
    PM_setupLcdSleepTime(0);
    delete screen;
}

void TestLcdSleep::setSleepTime(int seconds)
{
    // A new setting counts as input.
    lastInput = clock.elapsed();
    PM_setupLcdSleepTime(seconds);
}

void TestLcdSleep::tap()
{
    lastInput = clock.elapsed();
    QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
}

void TestLcdSleep::darkAfterIdleAndLitByInput()
{
    setSleepTime(1);
    QVERIFY(!screen->isDark());
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
    QCOMPARE(screen->childAt(120, 160)->objectName(), QStringLiteral("LcdDark"));

    lastInput = clock.elapsed();
    QTest::keyClick(screen->windowHandle(), Qt::Key_Left);
    QVERIFY(!screen->isDark());
    QCOMPARE(focus->presses, 0); // the waking key is swallowed
    lastInput = clock.elapsed();
    QTest::keyClick(screen->windowHandle(), Qt::Key_Left);
    QCOMPARE(focus->presses, 1);
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
    // Never before the sleep time has passed without input.
    QCOMPARE(darkAfter.size(), 2);
    for (qint64 ms : darkAfter)
        QVERIFY2(ms >= shortestDark, qPrintable(QString::number(ms)));
}

void TestLcdSleep::inputPostponesTheDark()
{
    // The sleep time is six times the gap between taps, a margin a loaded
    // machine keeps; the taps go on for four sleep times.
    const int sleepSeconds = 6;
    setSleepTime(sleepSeconds);
    for (int step = 0; step < 4 * sleepSeconds; ++step) {
        QTest::qWait(secondMs); // the gap between taps is what is tested
        tap();
        QVERIFY(!screen->isDark());
    }
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 4000);
    for (qint64 ms : darkAfter)
        QVERIFY2(ms >= sleepSeconds * shortestDark, qPrintable(QString::number(ms)));
    QCOMPARE(LcdSleepTimer::instance()->sleepTime(), sleepSeconds);
}

void TestLcdSleep::zeroKeepsLit()
{
    setSleepTime(1);
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
    // A new setting lights the display; 0 keeps it lit.
    setSleepTime(0);
    QVERIFY(!screen->isDark());
    // Timers fire in the order they fall due: by the time this one has, a
    // timer kept from the old setting, or one of no length, has fired too.
    QTimer later;
    later.setSingleShot(true);
    QSignalSpy fired(&later, &QTimer::timeout);
    later.start(3 * secondMs);
    QVERIFY(fired.wait());
    QVERIFY(!screen->isDark());
    QCOMPARE(darkAfter.size(), 1);
}

QTEST_MAIN(TestLcdSleep)
#include "tst_lcdsleep.moc"
