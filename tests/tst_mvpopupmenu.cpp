#include "platform/custommenuitemwidget.h"
#include "platform/qpopupmenu.h"
#include "widgets/mvmenuitem.h"
#include "widgets/mvpopupmenu.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {
// Sends standard output to a file while it lives; text() reads what was written.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        file.open();
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        dup2(file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { restore(); }
    QString text()
    {
        restore();
        file.seek(0);
        return QString::fromLocal8Bit(file.readAll());
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        saved = -1;
    }
    QTemporaryFile file;
    int saved = -1;
};

// Leftmost column holding a pixel that is neither white nor the given colour, or -1.
int leftmostInk(const QImage &image, QRgb except)
{
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != qRgb(255, 255, 255) && pixel != except)
                return x;
        }
    }
    return -1;
}

QImage rendered(MvMenuItem &item)
{
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    item.paint(&painter, QPalette(), false, true, 0, 0, 120, 40);
    return image;
}

class CountingItem : public QCustomMenuItem
{
public:
    int *painted;
    explicit CountingItem(int *counter) : painted(counter) {}
    void paint(QPainter *, const QColorGroup &, bool, bool, int, int, int, int) override
    {
        ++*painted;
    }
    QSize sizeHint() override { return QSize(60, 20); }
};
} // namespace

class TestMvPopupMenu : public QObject
{
    Q_OBJECT

private slots:
    void separatorRule_data();
    void separatorRule();
    void separatorFollowsText();
    void sizeHintIgnoresPixmap_data();
    void sizeHintIgnoresPixmap();
    void textStartsAfterPixmap_data();
    void textStartsAfterPixmap();
    void menuFontHeightShared();
    void textVisibleBeforeAnyFontIsSet();
    void insertItemIds();
    void itemsPaintedInTheMenu();
    void pressesTracedAndStillReachTheMenu();
    void menuDeletedBeforeWrapper();
};

void TestMvPopupMenu::separatorRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("separator");
    QTest::addRow("dash") << "-" << true;
    QTest::addRow("two dashes") << "--" << false;
    QTest::addRow("leading blank") << " -" << false;
    QTest::addRow("trailing blank") << "- " << false;
    QTest::addRow("begins with dash") << "-x" << false;
    QTest::addRow("empty") << "" << false;
    QTest::addRow("word") << "Play" << false;
}

void TestMvPopupMenu::separatorRule()
{
    QFETCH(QString, text);
    QFETCH(bool, separator);
    MvMenuItem item(text, QPixmap());
    QCOMPARE(item.isSeparator(), separator);
    QVERIFY(item.fullSpan());
    QCOMPARE(item.text(), text);
}

void TestMvPopupMenu::separatorFollowsText()
{
    MvMenuItem item(QStringLiteral("-"), QPixmap());
    item.setText(QStringLiteral("Open"));
    QVERIFY(!item.isSeparator());
    item.setText(QStringLiteral("-"));
    QVERIFY(item.isSeparator());
    MvMenuItem plain;
    QVERIFY(plain.text().isNull());
    QVERIFY(!plain.isSeparator());
}

void TestMvPopupMenu::sizeHintIgnoresPixmap_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("short") << "Go";
    QTest::addRow("long") << "Play the whole folder";
    QTest::addRow("empty") << "";
}

void TestMvPopupMenu::sizeHintIgnoresPixmap()
{
    QFETCH(QString, text);
    QFont font;
    font.setPixelSize(13);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    MvMenuItem plain(text, QPixmap());
    MvMenuItem pictured(text, pixmap);
    plain.setFont(font);
    pictured.setFont(font);
    const QFontMetrics metrics(font);
    const QSize expected(metrics.horizontalAdvance(text) + 4, metrics.height() + 4);
    QCOMPARE(plain.sizeHint(), expected);
    QCOMPARE(pictured.sizeHint(), expected);
}

void TestMvPopupMenu::textStartsAfterPixmap_data()
{
    QTest::addColumn<int>("pixmapWidth");
    QTest::addColumn<int>("textX");
    QTest::addRow("no pixmap") << 0 << 10;
    QTest::addRow("16 pixels") << 16 << 26;
    QTest::addRow("30 pixels") << 30 << 40;
}

void TestMvPopupMenu::textStartsAfterPixmap()
{
    QFETCH(int, pixmapWidth);
    QFETCH(int, textX);
    QPixmap pixmap;
    if (pixmapWidth > 0) {
        pixmap = QPixmap(pixmapWidth, 8);
        pixmap.fill(Qt::red);
    }
    // "I" has its stem at the left edge of its cell, so the ink shows where the text starts.
    MvMenuItem item(QStringLiteral("III"), pixmap);
    QFont font;
    font.setPixelSize(16);
    font.setStyleHint(QFont::SansSerif);
    item.setFont(font);
    const QImage image = rendered(item);
    if (pixmapWidth > 0) {
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(pixmapWidth - 1, 7), qRgb(255, 0, 0));
    }
    const int ink = leftmostInk(image, qRgb(255, 0, 0));
    QVERIFY2(ink >= textX && ink <= textX + 3, qPrintable(QString::number(ink)));
}

void TestMvPopupMenu::menuFontHeightShared()
{
    QFont small;
    small.setPixelSize(11);
    QFont large;
    large.setPixelSize(22);
    MvMenuItem first(QStringLiteral("one"), QPixmap());
    MvMenuItem second(QStringLiteral("two"), QPixmap());
    first.setFont(large);
    QCOMPARE(MvMenuItem::menuFontHeight, QFontMetrics(large).height());
    second.setFont(small);
    QCOMPARE(MvMenuItem::menuFontHeight, QFontMetrics(small).height());
    // The font an item already has changes nothing, not even the shared height.
    first.setFont(large);
    QCOMPARE(MvMenuItem::menuFontHeight, QFontMetrics(small).height());
    QVERIFY(QFontMetrics(small).height() != QFontMetrics(large).height());
}

void TestMvPopupMenu::textVisibleBeforeAnyFontIsSet()
{
    MvMenuItem::menuFontHeight = 0;
    MvMenuItem item(QStringLiteral("Play"), QPixmap());
    const QImage image = rendered(item);
    // Ink well below the top rows: the text is drawn whole, not clipped to a 4-pixel strip.
    int lowest = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                lowest = y;
        }
    }
    QVERIFY2(lowest >= QFontMetrics(QFont()).ascent(), qPrintable(QString::number(lowest)));
}

void TestMvPopupMenu::insertItemIds()
{
    QWidget parent;
    MvPopupMenu menu(&parent, "menu");
    const int a = menu.insertItem(new MvMenuItem(QStringLiteral("a"), QPixmap()), -1, -1);
    const int b = menu.insertItem(new MvMenuItem(QStringLiteral("b"), QPixmap()), -1, -1);
    QVERIFY(a < 0 && b < 0 && a != b);
    QCOMPARE(menu.insertItem(new MvMenuItem(QStringLiteral("c"), QPixmap()), 7, 0), 7);
    QCOMPARE(menu.insertItem(new MvMenuItem(QStringLiteral("d"), QPixmap()), 9, 99), 9);
    QCOMPARE(menu.popupMenu->count(), 4);
    QCOMPARE(menu.popupMenu->idAt(0), 7);
    QCOMPARE(menu.popupMenu->idAt(1), a);
    QCOMPARE(menu.popupMenu->idAt(3), 9);
    auto *item = static_cast<MvMenuItem *>(menu.popupMenu->customItem(b));
    QCOMPARE(item->text(), QStringLiteral("b"));
    QCOMPARE(menu.insertItem(nullptr, 3, -1), -1);
}

void TestMvPopupMenu::itemsPaintedInTheMenu()
{
    QPopupMenu menu(nullptr, "menu");
    int painted = 0;
    menu.insertItem(new CountingItem(&painted));
    const int separator = menu.insertItem(new MvMenuItem(QStringLiteral("-"), QPixmap()));
    QVERIFY(!menu.actionOf(separator)->isEnabled());
    menu.popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTRY_VERIFY(painted > 0);
    auto *shown = menu.findChild<CustomMenuItemWidget *>();
    QVERIFY(shown && shown->isVisible());
    QVERIFY(shown->height() >= 20);
    menu.hide();
}

void TestMvPopupMenu::pressesTracedAndStillReachTheMenu()
{
    QWidget parent;
    MvPopupMenu menu(&parent, "menu");
    for (const char *text : {"Play", "Stop", "About"})
        menu.insertItem(new MvMenuItem(QString::fromLatin1(text), QPixmap()), -1, -1);
    QSignalSpy shown(menu.popupMenu.data(), &QMenu::aboutToShow);
    menu.popupMenu->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(menu.popupMenu));
    QCOMPARE(shown.size(), 1);
    QVERIFY(!menu.popupMenu->activeAction());

    StdoutCapture capture;
    QTest::keyClick(menu.popupMenu->windowHandle(), Qt::Key_Down);
    // The menu handled the key: an entry is now highlighted.
    QVERIFY(menu.popupMenu->activeAction());
    // A press outside the entries closes the menu, so the menu had it too.
    QTest::mouseClick(menu.popupMenu->windowHandle(), Qt::LeftButton, {}, QPoint(-5, -5));
    QTRY_VERIFY(!menu.popupMenu->isVisible());
    const QString out = capture.text();
    QCOMPARE(out.count(QStringLiteral("MvPopupMenu::keyPressEvent\n")), 1);
    QCOMPARE(out.count(QStringLiteral("MvPopupMenu::mousePressEvent\n")), 1);
}

void TestMvPopupMenu::menuDeletedBeforeWrapper()
{
    auto *parent = new QWidget;
    auto *menu = new MvPopupMenu(parent, "menu");
    QPointer<QPopupMenu> popup = menu->popupMenu;
    delete parent; // takes wrapper and menu, in whichever order
    QVERIFY(!popup);

    QWidget other;
    MvPopupMenu wrapper(&other, "menu");
    delete wrapper.popupMenu.data();
    QVERIFY(!wrapper.popupMenu);
    QCOMPARE(wrapper.insertItem(new MvMenuItem, -1, -1), -1);
}

QTEST_MAIN(TestMvPopupMenu)
#include "tst_mvpopupmenu.moc"
