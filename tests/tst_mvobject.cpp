#include "widgets/mvobject.h"

#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QWidget>

namespace {
// Counts every event of the types the filter knows, as the widget receives them.
class CountingWidget : public QWidget
{
public:
    QHash<int, int> received;
    bool ownFilterTakesKeys = false;

    bool event(QEvent *event) override
    {
        ++received[int(event->type())];
        return QWidget::event(event);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (ownFilterTakesKeys && watched == this && event->type() == QEvent::KeyPress)
            return true;
        return QWidget::eventFilter(watched, event);
    }
};

// Records which hook saw which event type and consumes the types it is told to.
class HookRecorder : public MvObject
{
public:
    HookRecorder() : MvObject(nullptr, "recorder") {}
    QList<QPair<QString, int>> calls;
    QSet<int> consume;

    bool record(const char *hook, QEvent *event)
    {
        calls.append({QString::fromLatin1(hook), int(event->type())});
        return consume.contains(int(event->type()));
    }
    int count(const char *hook) const
    {
        int n = 0;
        for (const auto &call : calls)
            n += call.first == QLatin1String(hook);
        return n;
    }
    bool mousePressEvent(QMouseEvent *e) override { return record("mousePress", e); }
    bool mouseReleaseEvent(QMouseEvent *e) override { return record("mouseRelease", e); }
    bool mouseMoveEvent(QMouseEvent *e) override { return record("mouseMove", e); }
    bool keyPressEvent(QKeyEvent *e) override { return record("keyPress", e); }
    bool keyReleaseEvent(QKeyEvent *e) override { return record("keyRelease", e); }
    bool focusInEvent(QFocusEvent *e) override { return record("focusIn", e); }
    bool focusOutEvent(QFocusEvent *e) override { return record("focusOut", e); }
    bool paintEvent(QPaintEvent *e) override { return record("paint", e); }
    bool resizeEvent(QResizeEvent *e) override { return record("resize", e); }
    bool windowActivateEvent(QEvent *e) override { return record("activate", e); }
    bool windowDeactivateEvent(QEvent *e) override { return record("deactivate", e); }
};
} // namespace

class TestMvObject : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void inputReachesHookOnce_data();
    void inputReachesHookOnce();
    void consumedEventNeverReachesWidget_data();
    void consumedEventNeverReachesWidget();
    void focusInAndOut();
    void doubleClickReachesNoHook();
    void filteringOffCallsNoHook();
    void watchedSetAfterFilteringOn();
    void widgetsOwnFilterStillServed();
    void watchedDeletedBeforeWrapper();

private:
    void press(const QString &input);

    CountingWidget *window = nullptr;
    HookRecorder *recorder = nullptr;
};

void TestMvObject::init()
{
    window = new CountingWidget;
    window->setFocusPolicy(Qt::StrongFocus);
    window->resize(100, 100);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->setFocus();
    recorder = new HookRecorder;
    recorder->setWatched(window);
    window->received.clear();
}

void TestMvObject::cleanup()
{
    delete recorder;
    delete window;
}

// Input the way a person gives it: through the window, not to the widget directly.
void TestMvObject::press(const QString &input)
{
    if (input == QLatin1String("mouse"))
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    else
        QTest::keyClick(window->windowHandle(), Qt::Key_A);
}

void TestMvObject::inputReachesHookOnce_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("hook");
    QTest::addColumn<int>("type");
    QTest::addRow("mouse press") << "mouse"
                                 << "mousePress" << int(QEvent::MouseButtonPress);
    QTest::addRow("mouse release") << "mouse"
                                   << "mouseRelease" << int(QEvent::MouseButtonRelease);
    QTest::addRow("key press") << "key"
                               << "keyPress" << int(QEvent::KeyPress);
    QTest::addRow("key release") << "key"
                                 << "keyRelease" << int(QEvent::KeyRelease);
}

void TestMvObject::inputReachesHookOnce()
{
    QFETCH(QString, input);
    QFETCH(QString, hook);
    QFETCH(int, type);
    recorder->setFiltering(true);
    press(input);
    QCOMPARE(recorder->count(hook.toLatin1()), 1);
    // Not consumed: the widget has it too, once.
    QCOMPARE(window->received.value(type), 1);
}

void TestMvObject::consumedEventNeverReachesWidget_data()
{
    inputReachesHookOnce_data();
}

void TestMvObject::consumedEventNeverReachesWidget()
{
    QFETCH(QString, input);
    QFETCH(QString, hook);
    QFETCH(int, type);
    recorder->consume.insert(type);
    recorder->setFiltering(true);
    press(input);
    QCOMPARE(recorder->count(hook.toLatin1()), 1);
    QCOMPARE(window->received.value(type), 0);
    // The other half of the click is not consumed and arrives.
    const int other = type == QEvent::KeyPress           ? QEvent::KeyRelease
                      : type == QEvent::KeyRelease       ? QEvent::KeyPress
                      : type == QEvent::MouseButtonPress ? QEvent::MouseButtonRelease
                                                         : QEvent::MouseButtonPress;
    QCOMPARE(window->received.value(other), 1);
}

void TestMvObject::focusInAndOut()
{
    auto *first = new CountingWidget;
    first->setParent(window);
    first->setFocusPolicy(Qt::StrongFocus);
    auto *second = new QWidget(window);
    second->setFocusPolicy(Qt::StrongFocus);
    first->show();
    second->show();
    HookRecorder child;
    child.setWatched(first);
    child.setFiltering(true);
    first->setFocus();
    QTRY_COMPARE(child.count("focusIn"), 1);
    second->setFocus();
    QTRY_COMPARE(child.count("focusOut"), 1);
    QCOMPARE(first->received.value(QEvent::FocusIn), 1);
    QCOMPARE(first->received.value(QEvent::FocusOut), 1);
}

void TestMvObject::doubleClickReachesNoHook()
{
    recorder->setFiltering(true);
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(window->received.value(QEvent::MouseButtonDblClick), 1);
    for (const auto &call : recorder->calls)
        QVERIFY2(call.second != QEvent::MouseButtonDblClick, qPrintable(call.first));
    QCOMPARE(recorder->count("mousePress"), window->received.value(QEvent::MouseButtonPress));
}

void TestMvObject::filteringOffCallsNoHook()
{
    recorder->setFiltering(true);
    recorder->setFiltering(false);
    press(QStringLiteral("mouse"));
    press(QStringLiteral("key"));
    window->resize(120, 90);
    QVERIFY(recorder->calls.isEmpty());
    QCOMPARE(window->received.value(QEvent::KeyPress), 1);
    QCOMPARE(window->received.value(QEvent::MouseButtonPress), 1);
}

void TestMvObject::watchedSetAfterFilteringOn()
{
    HookRecorder late;
    late.setWatched(nullptr);
    late.setFiltering(true);
    late.setWatched(window);
    window->resize(130, 80);
    QCOMPARE(late.count("resize"), 1);
}

void TestMvObject::widgetsOwnFilterStillServed()
{
    // A key the hook leaves alone is offered to the widget's own filter first.
    window->ownFilterTakesKeys = true;
    recorder->setFiltering(true);
    press(QStringLiteral("key"));
    QCOMPARE(recorder->count("keyPress"), 1);
    QCOMPARE(window->received.value(QEvent::KeyPress), 0);
    QCOMPARE(window->received.value(QEvent::KeyRelease), 1);
}

void TestMvObject::watchedDeletedBeforeWrapper()
{
    auto *widget = new QWidget;
    auto *wrapper = new HookRecorder;
    wrapper->setWatched(widget);
    wrapper->setFiltering(true);
    delete widget;
    wrapper->setFiltering(true);
    wrapper->setFiltering(false);
    // The wrapper stays usable and serves the next widget it is given.
    QWidget next;
    wrapper->setWatched(&next);
    wrapper->setFiltering(true);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&next, &key);
    QCOMPARE(wrapper->count("keyPress"), 1);
    delete wrapper;
}

QTEST_MAIN(TestMvObject)
#include "tst_mvobject.moc"
