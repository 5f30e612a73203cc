#include "platform/phonescreen.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zpushbutton.h"
#include "widgets/mvmainwidget.h"

#include <QKeyEvent>
#include <QPointer>
#include <QTest>

namespace {
class Frame : public MvMainWidget
{
public:
    using MvMainWidget::MvMainWidget;
    int height() const { return clientHeight; }
    int width() const { return clientWidth; }
};

// Sees what gets past the wrapper to the frame.
class KeySpy : public QObject
{
public:
    QList<int> keys;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            keys.append(static_cast<QKeyEvent *>(event)->key());
        return false;
    }
};
} // namespace

class TestMvMainWidget : public QObject
{
    Q_OBJECT

private slots:
    void constructorsNameTheFrame();
    void layouts_data();
    void layouts();
    void layoutsWithoutBars_data() { layouts_data(); }
    void layoutsWithoutBars();
    void softKeyBarMadeOnce();
    void contentWidgetOnRequest();
    void clientWidgetGeometry();
    void frameWithoutTitleBar();
    void keyHooks_data();
    void keyHooks();
    void keysThroughTheWindowStopAtTheWrapper();
    void destructorDeletesFrame();
};

void TestMvMainWidget::constructorsNameTheFrame()
{
    Frame first("Movara");
    QCOMPARE(first.mainWidget->title(), QStringLiteral("Movara"));
    QCOMPARE(first.mainWidget->objectName(), QStringLiteral("Movara"));
    QCOMPARE(first.objectName(), QStringLiteral("Movara"));
    QVERIFY(!first.getTitleBarWidget()->isHidden() || !first.mainWidget->isVisible());

    QWidget parent;
    Frame second(&parent, "second");
    QCOMPARE(second.mainWidget->parentWidget(), &parent);
    QCOMPARE(second.parent(), &parent);
    QCOMPARE(second.mainWidget->objectName(), QStringLiteral("second"));

    Frame third(false, &parent, "third");
    QCOMPARE(third.mainWidget->objectName(), QStringLiteral("third"));
    QVERIFY(third.getTitleBarWidget());
}

void TestMvMainWidget::layouts_data()
{
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<bool>("title");
    QTest::addColumn<bool>("softKeys");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("softKeysY");
    QTest::addRow("full, both") << true << true << true << 259 << 285;
    QTest::addRow("full, title") << true << true << false << 295 << -1;
    QTest::addRow("full, soft keys") << true << false << true << 284 << 285;
    QTest::addRow("full, neither") << true << false << false << 320 << -1;
    QTest::addRow("normal, both") << false << true << true << 214 << 240;
    QTest::addRow("normal, title") << false << true << false << 250 << -1;
    QTest::addRow("normal, soft keys") << false << false << true << 239 << 240;
    QTest::addRow("normal, neither") << false << false << false << 275 << -1;
}

void TestMvMainWidget::layouts()
{
    QFETCH(bool, fullScreen);
    QFETCH(bool, title);
    QFETCH(bool, softKeys);
    QFETCH(int, height);
    QFETCH(int, softKeysY);
    Frame frame("Movara");
    frame.show();
    UTIL_CST *bar = frame.getCSTWidget(true);
    QWidget *titleBar = frame.getTitleBarWidget();
    QWidget *content = frame.getContentWidget(true);
    QWidget client;
    frame.setClientWidget(&client);
    // Start from the other layout so that every value has to change.
    if (fullScreen)
        frame.showNormalLayout(!title, !softKeys);
    else
        frame.showFullScreenLayout(!title, !softKeys);

    if (fullScreen)
        frame.showFullScreenLayout(title, softKeys);
    else
        frame.showNormalLayout(title, softKeys);

    QCOMPARE(frame.height(), height);
    QCOMPARE(frame.width(), 240);
    QCOMPARE(content->size(), QSize(240, height));
    QCOMPARE(client.size(), QSize(240, height));
    QCOMPARE(titleBar->isHidden(), !title);
    QCOMPARE(bar->isHidden(), !softKeys);
    if (softKeysY >= 0)
        QCOMPARE(bar->pos(), QPoint(0, softKeysY));
    QCOMPARE(bool(frame.mainWidget->windowState() & Qt::WindowFullScreen), fullScreen);
}

void TestMvMainWidget::layoutsWithoutBars()
{
    QFETCH(bool, fullScreen);
    QFETCH(bool, title);
    QFETCH(bool, softKeys);
    QFETCH(int, height);
    // A frame with no title bar area, and no soft-key bar ever made.
    Frame frame(true, nullptr, "bare");
    QVERIFY(!frame.getTitleBarWidget());
    QVERIFY(!frame.getCSTWidget(false));
    if (fullScreen)
        frame.showFullScreenLayout(title, softKeys);
    else
        frame.showNormalLayout(title, softKeys);
    QCOMPARE(frame.height(), height);
    QVERIFY(!frame.contentWidget);
    frame.showTitleBar(true);
    frame.showCST(true);
}

void TestMvMainWidget::softKeyBarMadeOnce()
{
    Frame frame("Movara");
    QVERIFY(!frame.getCSTWidget(false));
    QCOMPARE(frame.mainWidget->findChildren<UTIL_CST *>().size(), 0);
    UTIL_CST *bar = frame.getCSTWidget(true);
    QVERIFY(bar);
    QCOMPARE(frame.getCSTWidget(true), bar);
    QCOMPARE(frame.getCSTWidget(false), bar);
    QCOMPARE(frame.mainWidget->findChildren<UTIL_CST *>().size(), 1);
    QCOMPARE(frame.mainWidget->getSoftKeyWidget(), bar);
    QCOMPARE(bar->parentWidget(), frame.mainWidget);
    QCOMPARE(bar->getLeftBtn()->text(), QString());
    QCOMPARE(bar->getMidBtn()->text(), QStringLiteral("Menu"));
    QCOMPARE(bar->getRightBtn()->text(), QStringLiteral("Exit"));
}

void TestMvMainWidget::contentWidgetOnRequest()
{
    Frame frame("Movara");
    QVERIFY(!frame.getContentWidget(false));
    QWidget *content = frame.getContentWidget(true);
    QVERIFY(qobject_cast<QScrollView *>(content));
    QCOMPARE(frame.getContentWidget(false), content);
    QCOMPARE(frame.getContentWidget(true), content);

    Frame other("other");
    auto *own = new QWidget;
    QVERIFY(other.setContentWidget(own));
    QCOMPARE(other.getContentWidget(false), own);
    QCOMPARE(own->parentWidget(), other.mainWidget);
    QVERIFY(!other.setContentWidget(nullptr));
    QCOMPARE(other.contentWidget, own);
}

void TestMvMainWidget::clientWidgetGeometry()
{
    Frame frame("Movara");
    frame.getContentWidget(true);
    QWidget client;
    frame.setClientWidget(&client);
    QCOMPARE(client.geometry(), QRect(0, 0, 240, 214));
    frame.showFullScreenLayout(true, true);
    client.setGeometry(5, 5, 10, 10);
    frame.setClientWidget(&client);
    QCOMPARE(client.geometry(), QRect(0, 0, 240, 259));

    frame.setClientWidget(nullptr);
    QVERIFY(!frame.clientWidget);
    frame.showNormalLayout(true, true);
    QCOMPARE(client.size(), QSize(240, 259));
    QCOMPARE(frame.contentWidget->size(), QSize(240, 214));
}

void TestMvMainWidget::frameWithoutTitleBar()
{
    Frame frame(true, nullptr, "bare");
    QVERIFY(!frame.getTitleBarWidget());
    QVERIFY(!frame.titleBar);
    QWidget bar;
    QVERIFY(!frame.setTitleBarWidget(&bar));
    QVERIFY(!frame.titleBar);
    QVERIFY(!frame.setCSTWidget(nullptr));
    QVERIFY(!frame.cst);

    Frame titled("titled");
    auto *replacement = new QWidget;
    QVERIFY(titled.setTitleBarWidget(replacement));
    QCOMPARE(titled.titleBar, replacement);
    QCOMPARE(titled.getTitleBarWidget(), replacement);
}

void TestMvMainWidget::keyHooks_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("passedOn");
    QTest::addColumn<bool>("accepted");
    QTest::addRow("left, active") << int(Qt::Key_Left) << true << false << true;
    QTest::addRow("left, inactive") << int(Qt::Key_Left) << false << false << false;
    QTest::addRow("letter, active") << int(Qt::Key_A) << true << false << true;
    QTest::addRow("F2, active") << int(Qt::Key_F2) << true << true << true;
    QTest::addRow("F2, inactive") << int(Qt::Key_F2) << false << true << false;
    QTest::addRow("page down, inactive") << int(Qt::Key_PageDown) << false << false << false;
}

void TestMvMainWidget::keyHooks()
{
    QFETCH(int, key);
    QFETCH(bool, active);
    QFETCH(bool, passedOn);
    QFETCH(bool, accepted);
    Frame frame("Movara");
    if (active) {
        ZApplication::showMainWidget(frame.mainWidget);
        QVERIFY(QTest::qWaitForWindowActive(frame.mainWidget->window()));
    }
    QCOMPARE(frame.mainWidget->isActiveWindow(), active);
    KeySpy spy;
    frame.mainWidget->installEventFilter(&spy);
    frame.setFiltering(true);
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier);
        event.setAccepted(!accepted);
        QCoreApplication::sendEvent(frame.mainWidget, &event);
        // A key passed on is the frame's to accept or not.
        if (!passedOn)
            QCOMPARE(event.isAccepted(), accepted);
    }
    QCOMPARE(spy.keys.size(), passedOn ? 2 : 0);
    frame.mainWidget->window()->hide();
}

void TestMvMainWidget::keysThroughTheWindowStopAtTheWrapper()
{
    Frame frame("Movara");
    frame.getContentWidget(true);
    ZApplication::showMainWidget(frame.mainWidget);
    QWindow *window = frame.mainWidget->window()->windowHandle();
    QVERIFY(QTest::qWaitForWindowActive(window));
    // The frame holds the keys once nothing inside it can.
    QCOMPARE(QApplication::focusWidget(), frame.mainWidget);
    KeySpy spy;
    frame.mainWidget->installEventFilter(&spy);
    QTest::keyClick(window, Qt::Key_Up);
    QCOMPARE(spy.keys, QList<int>({Qt::Key_Up, Qt::Key_Up}));
    spy.keys.clear();
    frame.setFiltering(true);
    QTest::keyClick(window, Qt::Key_Up);
    QTest::keyClick(window, Qt::Key_F2);
    QCOMPARE(spy.keys, QList<int>({Qt::Key_F2, Qt::Key_F2}));
    frame.mainWidget->window()->hide();
}

void TestMvMainWidget::destructorDeletesFrame()
{
    auto *frame = new Frame("Movara");
    frame->getCSTWidget(true);
    QPointer<ZMainWidget> shell = frame->mainWidget;
    QPointer<UTIL_CST> bar = frame->cst;
    frame->setFiltering(true);
    delete frame;
    QVERIFY(!shell);
    QVERIFY(!bar);
}

QTEST_MAIN(TestMvMainWidget)
#include "tst_mvmainwidget.moc"
