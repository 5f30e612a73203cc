#include "platform/phonekeys.h"
#include "platform/phonekeytranslator.h"
#include "platform/phonescreen.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"
#include "platform/zpushbutton.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

namespace {
class KeyRecorder : public QWidget
{
public:
    using QWidget::QWidget;
    QList<QPair<int, int>> keys; // event type, key

protected:
    void keyPressEvent(QKeyEvent *e) override { record(e); }
    void keyReleaseEvent(QKeyEvent *e) override { record(e); }
    void record(QKeyEvent *e)
    {
        if (e->key() != Qt::Key_Control)
            keys.append({int(e->type()), e->key()});
    }
};
} // namespace

class TestPhoneKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void phoneCode_data();
    void phoneCode();
    void desktopKeysOnThePhone_data();
    void desktopKeysOnThePhone();
    void keysElsewhereUntouched();
    void rightSoftKeyFromTheKeyboard_data();
    void rightSoftKeyFromTheKeyboard();
};

void TestPhoneKeys::initTestCase()
{
    qApp->installEventFilter(new PhoneKeyTranslator(qApp));
}

void TestPhoneKeys::phoneCode_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("phone");
    QTest::addRow("F2") << int(Qt::Key_F2) << PhoneKey::Key_F2;
    QTest::addRow("Return") << int(Qt::Key_Return) << PhoneKey::Key_Return;
    QTest::addRow("Left") << int(Qt::Key_Left) << PhoneKey::Key_Left;
    QTest::addRow("Up") << int(Qt::Key_Up) << PhoneKey::Key_Up;
    QTest::addRow("Right") << int(Qt::Key_Right) << PhoneKey::Key_Right;
    QTest::addRow("Down") << int(Qt::Key_Down) << PhoneKey::Key_Down;
    QTest::addRow("Prior") << int(Qt::Key_PageUp) << PhoneKey::Key_Prior;
    QTest::addRow("Next") << int(Qt::Key_PageDown) << PhoneKey::Key_Next;
    QTest::addRow("F26") << int(Qt::Key_F26) << PhoneKey::Key_F26;
    QTest::addRow("F28") << int(Qt::Key_F28) << PhoneKey::Key_F28;
    QTest::addRow("F29") << int(Qt::Key_F29) << PhoneKey::Key_F29;
    QTest::addRow("Escape") << int(Qt::Key_Escape) << 0x1000;
    QTest::addRow("letter") << int(Qt::Key_A) << 0x41;
    QTest::addRow("space") << int(Qt::Key_Space) << 0x20;
    QTest::addRow("digit") << int(Qt::Key_5) << 0x35;
    QTest::addRow("unknown") << int(Qt::Key_unknown) << PhoneKey::Key_unknown;
}

void TestPhoneKeys::phoneCode()
{
    QFETCH(int, qtKey);
    QFETCH(int, phone);
    const QKeyEvent event(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QCOMPARE(phoneKeyCode(&event), phone);
    QCOMPARE(phoneKeyCode(nullptr), 0);
}

void TestPhoneKeys::desktopKeysOnThePhone_data()
{
    QTest::addColumn<int>("pressed");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("received");
    QTest::addRow("space pauses") << int(Qt::Key_Space) << 0 << int(Qt::Key_F26);
    QTest::addRow("media play") << int(Qt::Key_MediaPlay) << 0 << int(Qt::Key_F26);
    QTest::addRow("media toggle") << int(Qt::Key_MediaTogglePlayPause) << 0 << int(Qt::Key_F26);
    QTest::addRow("P previous") << int(Qt::Key_P) << 0 << int(Qt::Key_F28);
    QTest::addRow("comma previous") << int(Qt::Key_Comma) << 0 << int(Qt::Key_F28);
    QTest::addRow("media previous") << int(Qt::Key_MediaPrevious) << 0 << int(Qt::Key_F28);
    QTest::addRow("N next") << int(Qt::Key_N) << 0 << int(Qt::Key_F29);
    QTest::addRow("period next") << int(Qt::Key_Period) << 0 << int(Qt::Key_F29);
    QTest::addRow("media next") << int(Qt::Key_MediaNext) << 0 << int(Qt::Key_F29);
    QTest::addRow("arrow unchanged") << int(Qt::Key_Left) << 0 << int(Qt::Key_Left);
    QTest::addRow("F2 unchanged") << int(Qt::Key_F2) << 0 << int(Qt::Key_F2);
    QTest::addRow("ctrl+P unchanged")
        << int(Qt::Key_P) << int(Qt::ControlModifier) << int(Qt::Key_P);
}

void TestPhoneKeys::desktopKeysOnThePhone()
{
    QFETCH(int, pressed);
    QFETCH(int, modifiers);
    QFETCH(int, received);
    ZMainWidget frame(QStringLiteral("Movara"), false);
    auto *target = new KeyRecorder(&frame);
    target->setFocusPolicy(Qt::StrongFocus);
    QWidget *screen = frame.window();
    QVERIFY(qobject_cast<PhoneScreen *>(screen));
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    target->setFocus();
    // Media keys carry no text; QTest::keyClick cannot make them.
    const QString text = pressed < 0x100 ? QString(QChar(pressed).toLower()) : QString();
    QTest::sendKeyEvent(QTest::Click, screen->windowHandle(), Qt::Key(pressed), text,
                        Qt::KeyboardModifiers(modifiers));
    const QList<QPair<int, int>> expected{{int(QEvent::KeyPress), received},
                                          {int(QEvent::KeyRelease), received}};
    QCOMPARE(target->keys, expected);
    screen->hide();
}

void TestPhoneKeys::keysElsewhereUntouched()
{
    KeyRecorder window;
    window.setFocusPolicy(Qt::StrongFocus);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.windowHandle(), Qt::Key_Space);
    QCOMPARE(window.keys.size(), 2);
    QCOMPARE(window.keys.first().second, int(Qt::Key_Space));
}

void TestPhoneKeys::rightSoftKeyFromTheKeyboard_data()
{
    QTest::addColumn<int>("pressed");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QString>("bar"); // "shown", "hidden" or "disabled" right key
    QTest::addColumn<int>("clicks");
    QTest::addRow("BackSpace") << int(Qt::Key_Backspace) << false << "shown" << 1;
    QTest::addRow("held down") << int(Qt::Key_Escape) << true << "shown" << 0;
    QTest::addRow("bar hidden") << int(Qt::Key_Escape) << false << "hidden" << 0;
    QTest::addRow("key disabled") << int(Qt::Key_Backspace) << false << "disabled" << 0;
}

void TestPhoneKeys::rightSoftKeyFromTheKeyboard()
{
    QFETCH(int, pressed);
    QFETCH(bool, repeat);
    QFETCH(QString, bar);
    QFETCH(int, clicks);
    ZMainWidget frame(QStringLiteral("Movara"), false);
    auto *softKeys =
        new UTIL_CST(&frame, QString(), QStringLiteral("CST_Menu"), QStringLiteral("CST_Exit"));
    frame.setSoftKeyWidget(softKeys);
    softKeys->setVisible(bar != QLatin1String("hidden"));
    softKeys->getRightBtn()->setEnabled(bar != QLatin1String("disabled"));
    QSignalSpy clicked(softKeys->getRightBtn(), &ZPushButton::clicked);
    auto *target = new KeyRecorder(&frame);
    target->setFocusPolicy(Qt::StrongFocus);
    QWidget *screen = frame.window();
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    target->setFocus();
    QTest::simulateEvent(screen->windowHandle(), true, pressed, Qt::NoModifier, QString(), repeat);
    QTest::simulateEvent(screen->windowHandle(), false, pressed, Qt::NoModifier, QString(), repeat);
    QCOMPARE(clicked.size(), clicks);
    // A key the soft key takes goes no further; otherwise it is an ordinary key.
    QCOMPARE(target->keys.isEmpty(), bar == QLatin1String("shown"));
    screen->hide();
}

QTEST_MAIN(TestPhoneKeys)
#include "tst_phonekeys.moc"
