#include "platform/phonescreen.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zmessagebox.h"
#include "platform/zpushbutton.h"
#include "support/scopedenv.h"

#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QTest>
#include <QTimer>

class TestZPlatform : public QObject
{
    Q_OBJECT

private slots:
    void resourceLabels_data();
    void resourceLabels();
    void frameLivesOnItsPhoneScreen();
    void fullScreenFillsThePhoneNotTheMonitor();
    void videoSurfaceOnTopOnlyWhenFrameShowsNothing();
    void screenWindowIdExported();
    void frameTakesKeysWhenTheListIsHidden();
    void scrollViewAddsChildAtPosition();
    void messageBoxAnswersPressedButton_data();
    void messageBoxAnswersPressedButton();
};

void TestZPlatform::resourceLabels_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");
    QTest::addRow("exit") << "CST_Exit"
                          << "Exit";
    QTest::addRow("back") << "CST_Back"
                          << "Back";
    QTest::addRow("menu") << "CST_Menu"
                          << "Menu";
    QTest::addRow("unknown id") << "CST_Send_Now"
                                << "Send Now";
    QTest::addRow("plain text") << "Main Page"
                                << "Main Page";
    QTest::addRow("empty") << ""
                           << "";
}

void TestZPlatform::resourceLabels()
{
    QFETCH(QString, given);
    QFETCH(QString, shown);
    ZPushButton made(given);
    QCOMPARE(made.text(), shown);
    ZPushButton later(QStringLiteral("x"));
    later.setResourceID(given);
    QCOMPARE(later.text(), shown);
    QCOMPARE(later.resourceID(), given);
}

void TestZPlatform::frameLivesOnItsPhoneScreen()
{
    QPointer<PhoneScreen> screen;
    {
        ZMainWidget frame(QStringLiteral("Movara"), false);
        screen = PhoneScreen::of(&frame);
        QVERIFY(screen);
        QCOMPARE(screen->frame(), &frame);
        QCOMPARE(screen->size(), QSize(240, 320));
        QCOMPARE(qobject_cast<QLabel *>(frame.getTitleBarWidget())->text(),
                 QStringLiteral("Movara"));
    }
    // The screen made for a frame goes with it.
    QTRY_VERIFY(!screen);

    QWidget parent;
    ZMainWidget child(false, &parent, "child");
    QVERIFY(!PhoneScreen::of(&child));
    QCOMPARE(child.parentWidget(), &parent);
}

void TestZPlatform::fullScreenFillsThePhoneNotTheMonitor()
{
    ZMainWidget frame(QStringLiteral("Movara"), false);
    ZApplication::showMainWidget(&frame);
    QWidget *screen = frame.window();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
    QCOMPARE(frame.geometry(), QRect(0, 45, 240, 275));
    frame.showFullScreen();
    QCOMPARE(frame.geometry(), QRect(0, 0, 240, 320));
    QCOMPARE(screen->size(), QSize(240, 320));
    QVERIFY(!screen->isFullScreen());
    frame.showNormal();
    QCOMPARE(frame.geometry(), QRect(0, 45, 240, 275));
    screen->hide();
}

void TestZPlatform::videoSurfaceOnTopOnlyWhenFrameShowsNothing()
{
    ZMainWidget frame(QStringLiteral("Movara"), false);
    auto *bar =
        new UTIL_CST(&frame, QString(), QStringLiteral("CST_Menu"), QStringLiteral("CST_Exit"));
    QVERIFY(frame.setSoftKeyWidget(bar));
    PhoneScreen *screen = frame.phoneScreen();
    ZApplication::showMainWidget(&frame);
    QVERIFY(QTest::qWaitForWindowExposed(screen));
    QWidget *surface = screen->videoSurface();

    frame.showFullScreen();
    QVERIFY(!surface->isVisible()); // title bar and soft keys still shown
    frame.getTitleBarWidget()->hide();
    QVERIFY(!surface->isVisible());
    bar->hide();
    QVERIFY(surface->isVisible());
    QCOMPARE(surface->geometry(), QRect(0, 0, 240, 320));
    // Nothing of ours stacks above it while it shows.
    QCOMPARE(screen->childAt(120, 160), surface);
    QVERIFY(!surface->autoFillBackground());
    QVERIFY(surface->testAttribute(Qt::WA_PaintOnScreen));

    bar->show();
    QVERIFY(!surface->isVisible());
    bar->hide();
    frame.showNormal();
    QVERIFY(!surface->isVisible());
    screen->hide();
}

void TestZPlatform::screenWindowIdExported()
{
    const ScopedEnv exportedId("MOVARA_SCREEN_WID");
    ZMainWidget frame(QStringLiteral("Movara"), false);
    ZApplication::showMainWidget(&frame);
    const QByteArray exported = qgetenv("MOVARA_SCREEN_WID");
    bool number = false;
    const quint64 id = exported.toULongLong(&number);
    QVERIFY2(number, exported.constData());
    QCOMPARE(id, quint64(frame.phoneScreen()->videoSurface()->winId()));
    QVERIFY(id != 0);
    frame.window()->hide();
}

void TestZPlatform::frameTakesKeysWhenTheListIsHidden()
{
    ZMainWidget frame(QStringLiteral("Movara"), false);
    auto *view = static_cast<QScrollView *>(frame.getContentWidget(true));
    auto *list = new QListWidget(view);
    list->addItems({QStringLiteral("one"), QStringLiteral("two")});
    view->addChild(list, 0, 0);
    list->show();
    ZApplication::showMainWidget(&frame);
    QWindow *window = frame.window()->windowHandle();
    QVERIFY(QTest::qWaitForWindowActive(window));
    list->setFocus();
    QCOMPARE(QApplication::focusWidget(), list);

    list->hide();
    QCOMPARE(QApplication::focusWidget(), &frame);
    QList<int> seen;
    struct Spy : QObject
    {
        QList<int> *seen;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::KeyPress)
                seen->append(static_cast<QKeyEvent *>(e)->key());
            return false;
        }
    } spy;
    spy.seen = &seen;
    frame.installEventFilter(&spy);
    QTest::keyClick(window, Qt::Key_Right);
    QCOMPARE(seen, QList<int>{Qt::Key_Right});
    frame.window()->hide();
}

void TestZPlatform::scrollViewAddsChildAtPosition()
{
    QScrollView view(nullptr, "view");
    QWidget child;
    child.resize(50, 20);
    view.addChild(&child, 3, 4);
    QCOMPARE(child.parentWidget(), view.contents());
    QCOMPARE(child.pos(), QPoint(3, 4));
    QVERIFY(!child.isHidden());
    QCOMPARE(view.focusPolicy(), Qt::NoFocus);
    view.addChild(nullptr, 0, 0);
    QCOMPARE(view.objectName(), QStringLiteral("view"));
    child.setParent(nullptr);
}

void TestZPlatform::messageBoxAnswersPressedButton_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::addRow("first") << "button0" << 0;
    QTest::addRow("second") << "button1" << 1;
    QTest::addRow("third") << "button2" << 2;
    QTest::addRow("escape") << "" << -1;
}

void TestZPlatform::messageBoxAnswersPressedButton()
{
    QFETCH(QString, press);
    QFETCH(int, answer);
    QString shownText;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<ZMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownText = box->findChild<QLabel *>(QStringLiteral("MessageText"))->text();
        if (press.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        auto *button = box->findChild<QPushButton *>(press);
        QVERIFY(button);
        button->click();
    });
    const QString text = QStringLiteral("<qt><center><b>Movara</b></center></qt>");
    const int result = ZMessageBox::information(nullptr, QPixmap(), text, QStringLiteral("OK"),
                                                QStringLiteral("Later"), QStringLiteral("No"), 1);
    QCOMPARE(result, answer);
    QCOMPARE(shownText, text);
}

QTEST_MAIN(TestZPlatform)
#include "tst_zplatform.moc"
