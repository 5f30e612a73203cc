#include "core/mvsharepixmap.h"
#include "platform/res_icon_reader.h"
#include "platform/util_listbox.h"
#include "widgets/mvlistboxitem.h"
#include "widgets/mvutil_listbox.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace {

QPixmap solid(int w, int h, const QColor &c)
{
    QPixmap pm(w, h);
    pm.fill(c);
    return pm;
}

// A row that counts how often it is painted.
class CountingItem : public MvListBoxItem
{
public:
    using MvListBoxItem::MvListBoxItem;
    void paint(QPainter *p) override
    {
        ++paints;
        MvListBoxItem::paint(p);
    }
    static int paints;
};
int CountingItem::paints = 0;

bool isDark(QRgb c)
{
    return qGray(c) < 128;
}

// Leftmost column holding a dark pixel within [x0, x1) and the given rows.
int firstDarkColumn(const QImage &img, int x0, int x1, int y0, int y1)
{
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y)
            if (isDark(img.pixel(x, y)))
                return x;
    return -1;
}

} // namespace

class TestListBox : public QObject
{
    Q_OBJECT

private:
    MvUTIL_ListBox *list = nullptr;
    QWidget *screen = nullptr;

    MvListBoxItem *addRow(const QString &text, bool checkable = false, bool checked = false,
                          const QPixmap &icon = QPixmap())
    {
        auto *row = new MvListBoxItem(list->listBox, text, icon, false);
        row->setCheckable(checkable);
        list->insertItem(row, -1);
        list->setChecked(row, checked);
        return row;
    }
    QWidget *viewport() const { return list->listBox->viewport(); }
    // A tap through the window system, at a point of the list's viewport.
    void click(const QPoint &at)
    {
        QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {},
                          viewport()->mapTo(screen, at));
    }
    QPoint rowPoint(MvListBoxItem *row, int x) const
    {
        const QRect r = list->listBox->itemRect(row);
        return QPoint(x, r.center().y());
    }

private slots:
    void initTestCase() { sharePixmap = new MvSharePixmap; }
    void cleanupTestCase()
    {
        delete sharePixmap;
        QVERIFY(!sharePixmap);
    }
    void init()
    {
        screen = new QWidget;
        screen->resize(240, 320);
        list = new MvUTIL_ListBox(screen, 0);
        list->setFrameStyle(0);
        list->listBox->setGeometry(0, 0, 240, 320);
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen));
    }
    void cleanup()
    {
        delete screen;
        screen = nullptr;
        list = nullptr;
    }

    void checkBoxPictures()
    {
        const QImage on = sharePixmap->checkedPixmap->toImage();
        const QImage off = sharePixmap->uncheckedPixmap->toImage();
        QCOMPARE(on.size(), QSize(18, 18));
        QCOMPARE(off.size(), QSize(18, 18));
        QCOMPARE(QColor(off.pixel(0, 0)), QColor(0x30, 0x30, 0x30));
        QCOMPARE(QColor(off.pixel(1, 1)), QColor(0, 0, 0));
        QCOMPARE(QColor(off.pixel(17, 1)), QColor(0x80, 0x80, 0x80));
        QCOMPARE(QColor(off.pixel(1, 17)), QColor(0x80, 0x80, 0x80));
        // Ticked: black with a white tick; cleared: empty inside a black edge.
        QCOMPARE(QColor(on.pixel(8, 8)), QColor(0, 0, 0));
        for (int y = 2; y < 16; ++y)
            for (int x = 2; x < 16; ++x)
                QCOMPARE(QColor(off.pixel(x, y)), QColor(0xff, 0xff, 0xff));
        QCOMPARE(QColor(off.pixel(16, 8)), QColor(0, 0, 0));
    }

    void tapOnRow_data()
    {
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<int>("x");
        QTest::addColumn<bool>("toggles");
        QTest::addRow("x=1 beside the box") << true << 1 << false;
        QTest::addRow("x=2 first band column") << true << 2 << true;
        QTest::addRow("x=20 last band column") << true << 20 << true;
        QTest::addRow("x=21 beside the box") << true << 21 << false;
        QTest::addRow("text") << true << 120 << false;
        QTest::addRow("no box, x=10") << false << 10 << false;
    }
    void tapOnRow()
    {
        QFETCH(bool, checkable);
        QFETCH(int, x);
        QFETCH(bool, toggles);
        addRow("first", checkable);
        MvListBoxItem *row = addRow("second", checkable);
        QSignalSpy clicks(list,
                          qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked));
        QSignalSpy presses(list, qOverload<MvListBoxItem *>(&MvUTIL_ListBox::pressed));

        click(rowPoint(row, x));
        QCOMPARE(presses.count(), 1);
        QCOMPARE(presses.at(0).at(0).value<MvListBoxItem *>(), row);
        QCOMPARE(row->isChecked(), toggles);
        QCOMPARE(list->currentItem(), 1);
        if (toggles) {
            QCOMPARE(clicks.count(), 0);
            click(rowPoint(row, x));
            QCOMPARE(row->isChecked(), false);
            QCOMPARE(clicks.count(), 0);
        } else {
            QCOMPARE(clicks.count(), 1);
            QCOMPARE(clicks.at(0).at(0).value<MvListBoxItem *>(), row);
            QCOMPARE(clicks.at(0).at(1).toPoint(), rowPoint(row, x));
        }
    }

    void tapBesideRowsGivesNoRow()
    {
        addRow("only", true);
        QSignalSpy clicks(list,
                          qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked));
        click(QPoint(10, 300));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).value<MvListBoxItem *>(), nullptr);
        QCOMPARE(list->isChecked(0), false);
    }

    void keysMoveAndActivate()
    {
        for (int i = 0; i < 3; ++i)
            addRow(QString("row %1").arg(i), true, true);
        list->listBox->setFocus();
        QSignalSpy current(list, &MvUTIL_ListBox::currentChanged);
        QSignalSpy clicks(list,
                          qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked));
        QSignalSpy returns(list, &MvUTIL_ListBox::returnPressed);
        QWindow *window = screen->windowHandle();

        QTest::keyClick(window, Qt::Key_Down);
        QTest::keyClick(window, Qt::Key_Down);
        QCOMPARE(list->currentItem(), 1);
        QCOMPARE(current.count(), 2);
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(returns.count(), 1);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).value<MvListBoxItem *>(), MvUTIL_ListBox::toRow(list->item(1)));
        const int x = clicks.at(0).at(1).toPoint().x();
        QVERIFY(x > MvUTIL_ListBox::CheckBandRight);
        QVERIFY(list->isChecked(1));
        QTest::keyClick(window, Qt::Key_Down);
        QTest::keyClick(window, Qt::Key_Down);
        QCOMPARE(list->currentItem(), 2);
        QVERIFY(list->isCurrentLast());
    }

    void currentRowStaysInView()
    {
        for (int i = 0; i < 100; ++i)
            addRow(QString("row %1").arg(i));
        list->listBox->setFocus();
        QTest::keyClick(screen->windowHandle(), Qt::Key_End);
        QCOMPARE(list->currentItem(), 99);
        QVERIFY(viewport()->rect().contains(list->listBox->itemRect(list->listBox->item(99))));
        QTest::keyClick(screen->windowHandle(), Qt::Key_PageUp);
        const int at = list->currentItem();
        QVERIFY(at < 99 && at > 80);
        QVERIFY(viewport()->rect().contains(list->listBox->itemRect(list->listBox->item(at))));
        list->setSelected(list->item(0), true);
        QCOMPARE(list->listBox->verticalScrollBar()->value(), 0);
    }

    void clearingInsideAHandlerIsSafe()
    {
        addRow("a", true);
        MvListBoxItem *row = addRow("b", true);
        auto clearing =
            connect(list, qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked),
                    list, [this](MvListBoxItem *, const QPoint &) { list->clear(); });
        connect(list, qOverload<>(&MvUTIL_ListBox::selectionChanged), list, [this]() {
            if (list->count() == 3)
                list->removeItem(2);
        });
        click(rowPoint(row, 100));
        QCOMPARE(list->count(), 0);
        QCOMPARE(list->currentItem(), -1);
        disconnect(clearing);
        QSignalSpy clicks(list,
                          qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked));
        addRow("c");
        addRow("d");
        MvListBoxItem *third = addRow("e");
        click(rowPoint(third, 100));
        QCOMPARE(list->count(), 2);
        // The pressed row is gone: the tap reaches no row.
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).value<MvListBoxItem *>(), nullptr);
    }

    void checkedItemsInOrder()
    {
        QList<MvListBoxItem *> rows;
        for (int i = 0; i < 5; ++i)
            rows << addRow(QString::number(i), true, i == 0 || i == 2 || i == 3);
        QList<UTIL_ListBoxItem *> *first = list->checkedItems();
        const QList<UTIL_ListBoxItem *> expected{rows[0], rows[2], rows[3]};
        QCOMPARE(*first, expected);
        QCOMPARE(list->checkedItems(), first);
        QCOMPARE(*first, expected);

        rows[2]->setCheckable(false);
        QCOMPARE(*list->checkedItems(), (QList<UTIL_ListBoxItem *>{rows[0], rows[3]}));
        QVERIFY(!list->isChecked(2));
        rows[2]->setCheckable(true);
        QCOMPARE(*list->checkedItems(), expected);

        MvListBoxItem *plain = addRow("plain");
        list->setChecked(plain, true);
        QVERIFY(!plain->isChecked());
        plain->setCheckable(true);
        QVERIFY(!list->isChecked(plain));
        list->setAllChecked(true);
        QCOMPARE(list->checkedItems()->size(), 6);
        QVERIFY(!list->isChecked(nullptr));
        QVERIFY(!list->isChecked(42));
    }

    void emptyListEnds()
    {
        QVERIFY(list->isCurrentLast());
        QVERIFY(!list->isCurrentFirst());
        QCOMPARE(list->currentItem(), -1);
        QCOMPARE(list->item(0), nullptr);
    }

    void rowHeightFollowsIcon_data()
    {
        QTest::addColumn<int>("iconHeight");
        QTest::addRow("no icon") << 0;
        QTest::addRow("16") << 16;
        QTest::addRow("30") << 30;
        QTest::addRow("60") << 60;
    }
    void rowHeightFollowsIcon()
    {
        QFETCH(int, iconHeight);
        const QPixmap icon = iconHeight ? solid(16, iconHeight, Qt::red) : QPixmap();
        MvListBoxItem *plain = addRow("plain");
        MvListBoxItem *row = addRow("tall", false, false, icon);
        const int base = plain->height(list->listBox);
        QVERIFY(base >= 19); // room for the check box and a readable line
        QCOMPARE(row->height(list->listBox), std::max(base, iconHeight + 1));
        QCOMPARE(list->listBox->itemRect(row).height(), std::max(base, iconHeight + 1));
        QCOMPARE(list->listBox->itemRect(row).top(), list->listBox->itemRect(plain).bottom() + 1);
    }

    void paintedColumns()
    {
        MvListBoxItem *bare = addRow("Hello");
        MvListBoxItem *boxed = addRow("Hello", true, true);
        MvListBoxItem *both = addRow("Hello", true, false, solid(16, 16, QColor(0xff, 0, 0)));
        MvListBoxItem *selected = addRow("Hello", true, true);
        list->setSelected(selected, true);
        const QImage img = viewport()->grab().toImage();
        const QRect r0 = list->listBox->itemRect(bare);
        const QRect r1 = list->listBox->itemRect(boxed);
        const QRect r2 = list->listBox->itemRect(both);
        const QRect r3 = list->listBox->itemRect(selected);
        auto textRows = [](const QRect &r) { return std::pair(r.top() + 3, r.bottom() - 1); };

        auto [a0, a1] = textRows(r0);
        const int bareText = firstDarkColumn(img, 0, 240, a0, a1);
        QVERIFY2(bareText >= 3 && bareText <= 6, qPrintable(QString::number(bareText)));

        // The box: grey frame corner at (3, 2), black inside, nothing left of it.
        QCOMPARE(QColor(img.pixel(3, r1.top() + 2)), QColor(0x30, 0x30, 0x30));
        QCOMPARE(QColor(img.pixel(4, r1.top() + 3)), QColor(0, 0, 0));
        QCOMPARE(QColor(img.pixel(20, r1.top() + 10)), QColor(0x80, 0x80, 0x80));
        QVERIFY(!isDark(img.pixel(2, r1.top() + 10)));
        QCOMPARE(QColor(img.pixel(15, r1.top() + 7)), QColor(0xff, 0xff, 0xff)); // the tick
        auto [b0, b1] = textRows(r1);
        const int boxedText = firstDarkColumn(img, 21, 240, b0, b1);
        QVERIFY2(boxedText >= 24 && boxedText <= 27, qPrintable(QString::number(boxedText)));

        // Unchecked box, then the icon at 24..39, then the text from 45.
        QCOMPARE(QColor(img.pixel(15, r2.top() + 7)), QColor(0xff, 0xff, 0xff));
        QCOMPARE(QColor(img.pixel(4, r2.top() + 3)), QColor(0, 0, 0));
        QCOMPARE(QColor(img.pixel(24, r2.top())), QColor(0xff, 0, 0));
        QCOMPARE(QColor(img.pixel(39, r2.top() + 15)), QColor(0xff, 0, 0));
        QVERIFY(QColor(img.pixel(23, r2.top())) != QColor(0xff, 0, 0));
        QVERIFY(QColor(img.pixel(40, r2.top())) != QColor(0xff, 0, 0));
        auto [c0, c1] = textRows(r2);
        const int iconText = firstDarkColumn(img, 40, 240, c0, c1);
        QVERIFY2(iconText >= 45 && iconText <= 48, qPrintable(QString::number(iconText)));

        // The selected row carries the selection colour across its width.
        const QColor bar = list->listBox->palette().color(QPalette::Highlight);
        QCOMPARE(QColor(img.pixel(230, r3.top() + 1)), bar);
        QVERIFY(QColor(img.pixel(230, r0.top() + 1)) != bar);
    }

    void paintsOnlyVisibleRows()
    {
        for (int i = 0; i < 2000; ++i) {
            auto *row = new CountingItem(list->listBox, QString::number(i), QPixmap(), false);
            list->insertItem(row, -1);
        }
        CountingItem::paints = 0;
        viewport()->grab();
        const int rowHeight = list->listBox->itemRect(list->listBox->item(0)).height();
        QVERIFY(CountingItem::paints > 0);
        QVERIFY2(CountingItem::paints <= 320 / rowHeight + 2,
                 qPrintable(QString::number(CountingItem::paints)));
    }

    void rowDeletedThroughBasePointerLeavesTheList()
    {
        addRow("a");
        MvListBoxItem *b = addRow("b");
        addRow("c");
        list->setSelected(b, true);
        delete static_cast<QListBoxItem *>(b);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentItem(), -1);
        QCOMPARE(list->item(1)->text(), QString("c"));
        list->removeItem(7);
        list->removeItem(-1);
        QCOMPARE(list->count(), 2);
    }

    void ownership()
    {
        auto *withParent = new MvUTIL_ListBox(screen, 0);
        QPointer<UTIL_ListBox> kept = withParent->listBox.data();
        delete withParent;
        QVERIFY(kept);
        auto *orphan = new MvUTIL_ListBox(nullptr, 0);
        QPointer<UTIL_ListBox> gone = orphan->listBox.data();
        auto *row = new MvListBoxItem(orphan->listBox, "x", QPixmap(), false);
        orphan->insertItem(row, -1);
        delete orphan;
        QVERIFY(!gone);
        // A list box deleted under its wrapper leaves neutral answers.
        delete kept.data();
        auto *bare = new MvUTIL_ListBox(screen, 0);
        delete bare->listBox.data();
        QCOMPARE(bare->count(), 0);
        QCOMPARE(bare->currentItem(), -1);
        QVERIFY(bare->isCurrentLast());
        QVERIFY(bare->checkedItems()->isEmpty());
        delete bare;
    }

    void rowConstructorDoesNotInsert()
    {
        MvListBoxItem row(list->listBox, "loose", QPixmap(), false);
        QCOMPARE(list->count(), 0);
        QCOMPARE(row.text(), QString("loose"));
        row.setText("renamed");
        QCOMPARE(row.text(), QString("renamed"));
        QCOMPARE(row.UTIL_ListBoxItem::text(), QString("renamed"));
        QVERIFY(row.pixmap() && row.pixmap()->isNull());
        QCOMPARE(list->index(&row), -1);
    }

    // Rows keep their own positions: after each change every row and the
    // current one are where the list says, and Down goes on from there.
    void indexesFollowChanges_data()
    {
        QTest::addColumn<int>("removeAt");
        QTest::addColumn<int>("insertAt");
        QTest::addColumn<QString>("after");
        QTest::newRow("remove above current") << 0 << -2 << "bcde";
        QTest::newRow("remove below current") << 3 << -2 << "abce";
        QTest::newRow("insert above current") << -1 << 1 << "anbcde";
        QTest::newRow("append") << -1 << -1 << "abcden";
    }
    void indexesFollowChanges()
    {
        QFETCH(int, removeAt);
        QFETCH(int, insertAt);
        QFETCH(QString, after);
        for (const char *name : {"a", "b", "c", "d", "e"})
            addRow(name);
        list->setSelected(list->item(2), true);
        list->removeItem(removeAt);
        if (insertAt > -2)
            list->insertItem(new MvListBoxItem(list->listBox, "n", QPixmap(), false), insertAt);
        QString rows;
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->index(list->item(i)), i);
            rows += list->item(i)->text();
        }
        QCOMPARE(rows, after);
        QCOMPARE(list->currentItem(), after.indexOf('c'));
        QTest::keyClick(list->listBox, Qt::Key_Down);
        QCOMPARE(list->item(list->currentItem())->text(), after.at(after.indexOf('c') + 1));
    }

    void icons()
    {
        RES_ICON_Reader reader;
        const char *names[] = {"FMMS_Folder_Video_S.gif",    "FMMS_Folder_Audio_S.gif",
                               "FMMS_Personal_Folder_S.gif", "FMMS_Mmc_S.g",
                               "FMMS_File_Audio_S.g",        "FMMS_File_Video_S.g"};
        QSet<qint64> keys;
        QSet<QByteArray> looks;
        for (const char *name : names) {
            const QPixmap pm = reader.getIcon(name, false);
            QVERIFY2(!pm.isNull(), name);
            QVERIFY(pm.width() <= 24 && pm.height() <= 24);
            keys.insert(pm.cacheKey());
            const QImage img = pm.toImage();
            looks.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()),
                                    int(img.sizeInBytes())));
        }
        QCOMPARE(looks.size(), 6);
        // Shortened and full names find the same, once-made picture.
        QCOMPARE(reader.getIcon("FMMS_Mmc_S.gif", false).cacheKey(),
                 RES_ICON_Reader().getIcon("FMMS_Mmc_S.g", false).cacheKey());
        QCOMPARE(reader.getIcon("FMMS_Personal_Folder_S.g", false).cacheKey(),
                 reader.getIcon("FMMS_Personal_Folder_S.gif", false).cacheKey());
        QVERIFY(reader.getIcon("FMMS_Nothing_S.gif", false).isNull());
        QVERIFY(reader.getIcon(nullptr, false).isNull());
    }

    void longNamesEndInAnEllipsis_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("one long word") << QString(40, QLatin1Char('W'));
        QTest::newRow("words and a line break")
            << "A very long name of a song\nthat goes on and on";
    }
    void longNamesEndInAnEllipsis()
    {
        QFETCH(QString, name);
        MvListBoxItem *row = addRow(name, true, true);
        const QImage img = viewport()->grab().toImage();
        const QRect r = list->listBox->itemRect(row);
        const int right = img.width();
        // The text stops short of the edge, and reaches close to it.
        QCOMPARE(firstDarkColumn(img, right - 3, right, r.top() + 3, r.bottom() - 1), -1);
        QVERIFY(firstDarkColumn(img, right - 24, right - 3, r.top() + 3, r.bottom() - 1) >= 0);
        QCOMPARE(row->text(), name);
    }

    void rowsWithoutSharedPictures()
    {
        MvSharePixmap *saved = sharePixmap;
        sharePixmap = nullptr;
        addRow("no pictures", true, true);
        viewport()->grab(); // must not crash
        sharePixmap = saved;
        QVERIFY(list->isChecked(0));
    }
};

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
