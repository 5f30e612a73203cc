#include "platform/lcdsleeptimer.h"
#include "platform/phonescreen.h"
#include "platform/powermanagement.h"

#include <QKeyEvent>
#include <QTest>

namespace {
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
    void init();
    void cleanup();
    void darkAfterIdleAndLitByInput();
    void inputPostponesTheDark();
    void zeroKeepsLit();

private:
    PhoneScreen *screen = nullptr;
    KeyCounter *focus = nullptr;
};

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
}

void TestLcdSleep::cleanup()
{
    PM_setupLcdSleepTime(0);
    delete screen;
}

void TestLcdSleep::darkAfterIdleAndLitByInput()
{
    PM_setupLcdSleepTime(1);
    QVERIFY(!screen->isDark());
    QTest::qWait(600);
    QVERIFY(!screen->isDark());
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
    QCOMPARE(screen->childAt(120, 160)->objectName(), QStringLiteral("LcdDark"));

    QTest::keyClick(screen->windowHandle(), Qt::Key_Left);
    QVERIFY(!screen->isDark());
    QCOMPARE(focus->presses, 0); // the waking key is swallowed
    QTest::keyClick(screen->windowHandle(), Qt::Key_Left);
    QCOMPARE(focus->presses, 1);
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
}

void TestLcdSleep::inputPostponesTheDark()
{
    PM_setupLcdSleepTime(1);
    for (int step = 0; step < 3; ++step) {
        QTest::qWait(500);
        QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    }
    QVERIFY(!screen->isDark());
    QCOMPARE(LcdSleepTimer::instance()->sleepTime(), 1);
}

void TestLcdSleep::zeroKeepsLit()
{
    PM_setupLcdSleepTime(1);
    QTRY_VERIFY_WITH_TIMEOUT(screen->isDark(), 2000);
    // A new setting lights the display; 0 keeps it lit.
    PM_setupLcdSleepTime(0);
    QVERIFY(!screen->isDark());
    QTest::qWait(1300);
    QVERIFY(!screen->isDark());
}

QTEST_MAIN(TestLcdSleep)
#include "tst_lcdsleep.moc"
