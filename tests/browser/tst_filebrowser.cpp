#include "browser/mvfilebrowser.h"
#include "core/mvsharepixmap.h"
#include "core/rawfilename.h"
#include "platform/qlistbox.h"
#include "platform/res_icon_reader.h"
#include "widgets/mvlistboxitem.h"
#include "widgets/mvutil_listbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Card = QStringLiteral("/mmc/mmca1");

void makeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, "x", 1), ssize_t(1));
    ::close(fd);
}

void makeFiles(const QString &folder, const QStringList &names)
{
    QVERIFY(QDir().mkpath(folder));
    for (const QString &name : names)
        makeFile(QFile::encodeName(folder + '/' + name));
}

qint64 iconKey(const char *name)
{
    return RES_ICON_Reader().getIcon(name, false).cacheKey();
}

} // namespace

class TestFileBrowser : public QObject
{
    Q_OBJECT

private:
    QWidget *screen = nullptr;
    MvFileBrowser *browser = nullptr;

    QListBox *box() const { return static_cast<QListBox *>(browser->listWidget()); }
    MvListBoxItem *row(int i) const { return MvUTIL_ListBox::toRow(box()->item(i)); }
    QStringList rowTexts() const
    {
        QStringList texts;
        for (int i = 0; i < box()->count(); ++i)
            texts << row(i)->text();
        return texts;
    }
    int rowOf(const QString &text) const { return int(rowTexts().indexOf(text)); }
    void tap(int index, int x = 120)
    {
        QListBoxItem *item = box()->item(index);
        QVERIFY(item);
        box()->setCurrentItem(item); // scrolls it into view
        const QPoint at(x, box()->itemRect(item).center().y());
        QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {},
                          box()->viewport()->mapTo(screen, at));
    }
    // Opens a folder below the card: tap the card, then each name in turn.
    void open(const QStringList &names)
    {
        tap(3);
        for (const QString &name : names) {
            const int at = rowOf(name);
            QVERIFY2(at >= 0, qPrintable(name));
            tap(at);
        }
        QCOMPARE(browser->depth, 1 + int(names.size()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PHONE_SANDBOX_DIR"),
                 "run inside tests/phone-sandbox.sh: the test writes below /mmc");
        sharePixmap = new MvSharePixmap;
        QVERIFY(QDir(Card).exists());
        makeFiles(Card, {"B.avi", "a.mp3", ".old.avi", "song.mP3", "song.m4a", "clip.wmv",
                         "readme.txt", "track.wav", "tune.ogg", "voice.wma"});
        QVERIFY(QDir().mkpath(Card + "/sub"));
        QVERIFY(QDir().mkpath(Card + "/notes.d"));
        makeFiles(Card + "/Clips", {"a.avi"});
        makeFiles(Card + "/Clips/deep/deeper", {"x.ogg"});
        makeFiles(Card + "/Files", {"a.avi", "b.mp3", "c.ogg"});
        QVERIFY(QDir().mkpath(Card + "/Empty"));
    }
    void cleanupTestCase() { delete sharePixmap; }

    void init()
    {
        screen = new QWidget;
        screen->resize(240, 320);
        browser = new MvFileBrowser(screen, nullptr);
        browser->listWidget()->setGeometry(0, 0, 240, 320);
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen));
    }
    void cleanup()
    {
        delete screen;
        screen = nullptr;
        browser = nullptr;
    }

    void rootsOnConstruction()
    {
        QCOMPARE(rowTexts(), (QStringList{"MyVideo", "MyAudio", "My playlists", "Memory card"}));
        for (int i = 0; i < 4; ++i)
            QVERIFY(!row(i)->isCheckable());
        QCOMPARE(row(0)->pixmap()->cacheKey(), iconKey("FMMS_Folder_Video_S.gif"));
        QCOMPARE(row(3)->pixmap()->cacheKey(), iconKey("FMMS_Mmc_S.g"));
        QCOMPARE(browser->depth, 0);
        QCOMPARE(browser->path(), QString("BASEPATH"));
        QCOMPARE(browser->metaObject()->className(), "MvFileBrowser");
    }

    void rootLabelsAreTranslated()
    {
        struct Translator : QTranslator
        {
            QString translate(const char *context, const char *source, const char *,
                              int) const override
            {
                return QByteArray(context) == "MvFileBrowser" ? QString("<%1>").arg(source)
                                                              : QString();
            }
            bool isEmpty() const override { return false; }
        } translator;
        QCoreApplication::installTranslator(&translator);
        MvFileBrowser translated(screen, nullptr);
        QCoreApplication::removeTranslator(&translator);
        auto *rows = static_cast<QListBox *>(translated.listWidget());
        QCOMPARE(rows->item(0)->text(), QString("<MyVideo>"));
        QCOMPARE(rows->item(3)->text(), QString("<Memory card>"));
    }

    void keysOpenRows()
    {
        box()->setFocus();
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        QWindow *window = screen->windowHandle();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(window, Qt::Key_Down);
        QCOMPARE(box()->currentItem(), 3);
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(browser->depth, 1);
        QTest::keyClick(window, Qt::Key_Enter); // the first row, "Clips", opens: not its box
        QCOMPARE(browser->depth, 2);
        QCOMPARE(dirs.count(), 2);
        QCOMPARE(browser->path(), Card + "/Clips");
    }

    void doubleTapOpensOnce()
    {
        tap(3);
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        const int clips = rowOf("Clips");
        const QPoint at(120, box()->itemRect(box()->item(clips)).center().y());
        QTest::mouseDClick(screen->windowHandle(), Qt::LeftButton, {},
                           box()->viewport()->mapTo(screen, at));
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(browser->depth, 2);
    }

    void rootRowOpensOnTapAnywhere()
    {
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        tap(3, 10); // root rows have no check box
        QCOMPARE(browser->depth, 1);
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(dirs.at(0).at(0).toString(), Card);
        QCOMPARE(browser->path(), Card);
    }

    void folderListing()
    {
        tap(3);
        QCOMPARE(rowTexts(), (QStringList{"Clips", "Empty", "Files", "notes.d", "sub", "a.mp3",
                                          "B.avi", "clip.wmv", "song.m4a", "song.mP3", "track.wav",
                                          "tune.ogg", "voice.wma"}));
        const qint64 folder = iconKey("FMMS_Personal_Folder_S.g");
        const qint64 audio = iconKey("FMMS_File_Audio_S.g");
        const qint64 video = iconKey("FMMS_File_Video_S.g");
        const QList<qint64> expected{folder, folder, folder, folder, folder, audio, video,
                                     video,  audio,  audio,  audio,  audio,  audio};
        for (int i = 0; i < box()->count(); ++i) {
            QCOMPARE(row(i)->pixmap()->cacheKey(), expected.at(i));
            QVERIFY(row(i)->isCheckable() && row(i)->isChecked());
        }
    }

    void checkBandTogglesInsteadOfOpening()
    {
        tap(3);
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        const int clips = rowOf("Clips");
        const int video = rowOf("B.avi");
        tap(clips, 10);
        tap(video, 20);
        QVERIFY(!row(clips)->isChecked());
        QVERIFY(!row(video)->isChecked());
        QCOMPARE(dirs.count() + files.count(), 0);
        QCOMPARE(browser->depth, 1);
        tap(video, 21);
        QCOMPARE(files.count(), 1);
        QCOMPARE(files.at(0).at(0).toString(), Card + "/B.avi");
        tap(clips, 1);
        QCOMPARE(browser->depth, 2);
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(dirs.at(0).at(0).toString(), Card + "/Clips");
    }

    void filePickedNamesTheFile()
    {
        open({"Clips"});
        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        const QStringList before = rowTexts();
        tap(rowOf("a.avi"));
        QCOMPARE(files.count(), 1);
        QCOMPARE(files.at(0).at(0).toString(), Card + "/Clips/a.avi");
        QCOMPARE(rowTexts(), before);
        QCOMPARE(browser->depth, 2);
    }

    void goingUp()
    {
        open({"Clips", "deep"});
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        browser->goUp(0);
        QCOMPARE(browser->depth, 2);
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(dirs.at(0).at(0).toString(), Card + "/Clips");
        QCOMPARE(rowTexts(), (QStringList{"deep", "a.avi"}));
        browser->goUp(0);
        browser->goUp(0);
        QCOMPARE(browser->depth, 0);
        QCOMPARE(dirs.count(), 3);
        QCOMPARE(dirs.at(2).at(0).toString(), Card); // the folder listed last
        QCOMPARE(box()->count(), 4);
        QCOMPARE(browser->path(), QString("BASEPATH"));
    }

    // A listing has a current row from the start: going up, the folder left.
    void currentRow_data()
    {
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<int>("up"); // goUp's n; -1: not at all
        QTest::addColumn<QString>("current");
        QTest::addRow("the roots") << QStringList{} << -1 << "MyVideo";
        QTest::addRow("a folder") << QStringList{"Files"} << -1 << "a.avi";
        QTest::addRow("back at the roots") << QStringList{} << 0 << "Memory card";
        QTest::addRow("back one level") << QStringList{"Clips", "deep"} << 0 << "deep";
        QTest::addRow("back two levels") << QStringList{"Clips", "deep"} << 1 << "Clips";
    }

    void currentRow()
    {
        QFETCH(QStringList, opened);
        QFETCH(int, up);
        QFETCH(QString, current);
        if (!opened.isEmpty() || up >= 0)
            open(opened);
        if (up >= 0)
            browser->goUp(up);
        QCOMPARE(box()->currentItem(), rowOf(current));
        QVERIFY(row(rowOf(current))->isSelected());
    }

    void goUpOutOfRange_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("rows");
        QTest::addRow("n=-1 stays") << -1 << 3 << 1;
        QTest::addRow("n=1 two up") << 1 << 1 << 13;
        QTest::addRow("n=2 to the roots") << 2 << 0 << 4;
        QTest::addRow("n=7 stops at the roots") << 7 << 0 << 4;
    }
    void goUpOutOfRange()
    {
        QFETCH(int, n);
        QFETCH(int, depth);
        QFETCH(int, rows);
        open({"Clips", "deep"});
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        browser->goUp(n);
        QCOMPARE(browser->depth, depth);
        QCOMPARE(box()->count(), rows);
        QCOMPARE(dirs.count(), 1);
        browser->goUp(0);
        QVERIFY(browser->depth >= 0);
    }

    void goToLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("emitted");
        QTest::addRow("0") << 0 << 0 << 1;
        QTest::addRow("-2 acts as 0") << -2 << 0 << 1;
        QTest::addRow("1") << 1 << 1 << 1;
        QTest::addRow("3 is here") << 3 << 3 << 0;
        QTest::addRow("5 is beyond") << 5 << 3 << 0;
    }
    void goToLevel()
    {
        QFETCH(int, level);
        QFETCH(int, depth);
        QFETCH(int, emitted);
        open({"Clips", "deep"});
        const QStringList before = rowTexts();
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        browser->goToLevel(level);
        QCOMPARE(browser->depth, depth);
        QCOMPARE(dirs.count(), emitted);
        if (depth == 0)
            QCOMPARE(box()->count(), 4);
        if (depth == 3)
            QCOMPARE(rowTexts(), before);
    }

    void selectionAtTheEnds()
    {
        open({"Files"});
        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        QCOMPARE(box()->currentItem(), 0);
        QVERIFY(!browser->selectPrevious());
        QVERIFY(browser->selectNext());
        QVERIFY(browser->selectNext());
        QVERIFY(!browser->selectNext());
        QCOMPARE(box()->currentItem(), 2);
        QVERIFY(browser->selectPrevious());
        QVERIFY(browser->selectPrevious());
        QVERIFY(!browser->selectPrevious());
        QStringList picked;
        for (const auto &args : files)
            picked << QFileInfo(args.at(0).toString()).fileName();
        QCOMPARE(picked, (QStringList{"b.mp3", "c.ogg", "b.mp3", "a.avi"}));

        browser->goUp(0);
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        QVERIFY(browser->selectPrevious()); // from "Files", the folder left
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(browser->depth, 2);
        QCOMPARE(browser->path(), Card + "/Empty");
    }

    // Folders have no place among the media.
    void filePlace()
    {
        tap(3);
        QCOMPARE(browser->fileCount(), 8);
        const QList<QPair<QString, int>> places{
            {"Clips", 0}, {"sub", 0}, {"a.mp3", 1}, {"B.avi", 2}, {"voice.wma", 8}};
        for (const auto &[name, place] : places) {
            box()->setCurrentItem(rowOf(name));
            QCOMPARE(browser->filePlace(), place);
        }
    }

    // Played through while hidden at the full screen's size, the list shows
    // the last medium's row where it can be seen.
    void currentAfterPlayThrough()
    {
        const QString folder = Card + "/Many";
        QStringList names;
        for (int i = 0; i < 40; ++i)
            names << QString::asprintf("clip %02d.avi", i);
        makeFiles(folder, names);
        open({"Many"});
        QWidget *list = browser->listWidget();
        list->hide();
        list->setGeometry(0, 0, 240, 320);
        while (browser->selectNext()) {
        }
        list->setGeometry(0, 0, 240, 200);
        list->show();
        browser->showCurrent();
        QCOMPARE(box()->currentItem(), 39);
        QVERIFY(box()->isSelected(39));
        const QRect shown = box()->itemRect(box()->item(39));
        QVERIFY(box()->viewport()->rect().contains(shown));
        QVERIFY(QDir(folder).removeRecursively());
    }

    void emptyFolder()
    {
        open({"Empty"});
        QCOMPARE(box()->count(), 0);
        QVERIFY(!browser->selectNext());
        QVERIFY(!browser->selectPrevious());
        QTest::mouseClick(screen->windowHandle(), Qt::LeftButton, {}, QPoint(120, 100));
        QCOMPARE(browser->depth, 2);
    }

    // A missing root is an empty folder at level 1, not the working directory.
    void missingRoot()
    {
        QTemporaryDir work;
        makeFiles(work.path(), {"decoy.avi"});
        const QString saved = QDir::currentPath();
        QDir::setCurrent(work.path());
        QVERIFY(QDir("/mmc").rename("mmca1", "away"));
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        tap(3);
        QDir("/mmc").rename("away", "mmca1");
        QDir::setCurrent(saved);
        QCOMPARE(browser->depth, 1);
        QCOMPARE(box()->count(), 0);
        QCOMPARE(dirs.count(), 1);
        QCOMPARE(dirs.at(0).at(0).toString(), Card);
        browser->goUp(0);
        QCOMPARE(browser->depth, 0);
        QCOMPARE(box()->count(), 4);
    }

    void unreadableFolder()
    {
        const QString locked = Card + "/Locked";
        makeFiles(locked, {"hidden.avi"});
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        QVERIFY2(!QDir(locked).isReadable(), "the sandbox must not read past permissions");
        tap(3);
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        tap(rowOf("Locked"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(browser->depth, 2);
        QCOMPARE(box()->count(), 0);
        QCOMPARE(browser->path(), locked);
        QCOMPARE(dirs.count(), 1);
        browser->goUp(0);
        QCOMPARE(browser->depth, 1);
        QCOMPARE(browser->path(), Card);
        QVERIFY(rowOf("Locked") >= 0);
        QVERIFY(QDir(locked).removeRecursively());
    }

    void vanishedEntries()
    {
        const QString folder = Card + "/Vanish";
        makeFiles(folder, {"a.avi", "b.avi", "c.avi", "d.avi"});
        QVERIFY(QDir().mkpath(folder + "/gone"));
        open({"Vanish"});
        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        QSignalSpy dirs(browser, &MvFileBrowser::dirPicked);
        QVERIFY(QFile::remove(folder + "/b.avi"));
        QVERIFY(QFile::remove(folder + "/d.avi"));
        QVERIFY(QDir(folder + "/gone").removeRecursively());

        tap(rowOf("gone"));
        QCOMPARE(dirs.count(), 0);
        QCOMPARE(rowOf("gone"), -1);
        QVERIFY(browser->selectNext()); // a.avi
        QVERIFY(browser->selectNext()); // b.avi is gone: c.avi
        QCOMPARE(files.count(), 2);
        QCOMPARE(files.at(1).at(0).toString(), folder + "/c.avi");
        QVERIFY(!browser->selectNext()); // only d.avi was left, and it is gone
        QCOMPARE(files.count(), 2);
        QCOMPARE(rowTexts(), (QStringList{"a.avi", "c.avi"}));
        QCOMPARE(box()->currentItem(), 1);
        QVERIFY(QDir(folder).removeRecursively());
    }

    void listedFolderDisappears()
    {
        makeFiles(Card + "/G1/G2", {"x.avi"});
        open({"G1", "G2"});
        QVERIFY(QDir(Card + "/G1").removeRecursively());
        browser->goUp(0);
        QCOMPARE(browser->depth, 2);
        QCOMPARE(browser->path(), Card + "/G1");
        QCOMPARE(box()->count(), 0);
        browser->goUp(0);
        QCOMPARE(browser->depth, 1);
        QCOMPARE(browser->path(), Card);
        QCOMPARE(rowOf("G1"), -1);
        QVERIFY(rowOf("Clips") >= 0);
    }

    void symbolicLinks()
    {
        const QString folder = Card + "/Links";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(Card + "/Clips", folder + "/toClips"));
        QVERIFY(QFile::link(".", folder + "/self"));
        QVERIFY(QFile::link(folder + "/nowhere.avi", folder + "/dangling.avi"));
        QVERIFY(QFile::link(folder + "/loop.avi", folder + "/loop.avi"));
        QVERIFY(QFile::link(Card + "/Files/a.avi", folder + "/link.avi"));
        QVERIFY(QFile::link("../..", folder + "/up")); // above the root
        open({"Links"});
        QCOMPARE(rowTexts(), (QStringList{"self", "toClips", "up", "link.avi"}));
        QCOMPARE(row(0)->pixmap()->cacheKey(), iconKey("FMMS_Personal_Folder_S.g"));

        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        tap(rowOf("link.avi"));
        QCOMPARE(files.count(), 1);
        QCOMPARE(files.at(0).at(0).toString(), folder + "/link.avi");

        for (int i = 0; i < 3; ++i)
            tap(rowOf("self")); // a loop only adds levels
        QCOMPARE(browser->depth, 5);
        QCOMPARE(browser->path(), folder + "/self/self/self");
        tap(rowOf("toClips"));
        QCOMPARE(browser->path(), folder + "/self/self/self/toClips");
        QCOMPARE(rowTexts(), (QStringList{"deep", "a.avi"}));
        browser->goUp(0);
        tap(rowOf("up"));
        tap(rowOf("mmca1"));
        QCOMPARE(browser->path(), folder + "/self/self/self/up/mmca1");
        // Back retraces the way in: out of the root and in again, then through the loop.
        for (const char *back :
             {"/self/self/self/up", "/self/self/self", "/self/self", "/self", "", "/.."}) {
            browser->goUp(0);
            QCOMPARE(browser->path(), QDir::cleanPath(folder + back));
        }
        QVERIFY(QDir(folder).removeRecursively());
    }

    void unusualNames()
    {
        const QString folder = Card + "/Odd";
        const QByteArray raw = QFile::encodeName(folder);
        const QString longName = QString(250, QLatin1Char('n')) + ".avi";
        const QList<QByteArray> names{"with space.avi", "new\nline.mp3",
                                      "\xc3\xbcnic\xc3\xb6"
                                      "de.ogg",
                                      "bad\xff\xfe.avi", QFile::encodeName(longName)};
        QVERIFY(QDir().mkpath(folder));
        for (const QByteArray &name : names)
            makeFile(raw + '/' + name);
        open({"Odd"});
        box()->viewport()->grab(); // painting odd names is safe too
        QCOMPARE(box()->count(), 5);
        QVERIFY(rowTexts().contains(QString::fromUtf8("badÿþ.avi"))); // as Latin-1
        QSignalSpy files(browser, &MvFileBrowser::filePicked);
        for (int i = 0; i < box()->count(); ++i)
            browser->slotItemClicked(row(i), QPoint(120, 0));
        QCOMPARE(files.count(), 5);
        QSet<QByteArray> reached;
        for (const auto &args : files) {
            const QByteArray path = rawFileName(args.at(0).toString());
            struct stat st;
            QVERIFY2(::stat(path.constData(), &st) == 0, path.constData());
            reached.insert(path.mid(raw.size() + 1));
        }
        QCOMPARE(reached, QSet<QByteArray>(names.begin(), names.end()));
        // A folder whose name is not UTF-8 is no medium to tick.
        QCOMPARE(::mkdir((raw + "/dir\xe9").constData(), 0700), 0);
        browser->listDir(folder, false);
        QCOMPARE(box()->count(), 6);
        QCOMPARE(browser->tickedMedia().size(), 5);
        QCOMPARE(::rmdir((raw + "/dir\xe9").constData()), 0);
        QCOMPARE(::unlink((raw + '/' + names[3]).constData()), 0);
        QVERIFY(QDir(folder).removeRecursively());
    }
};

QTEST_MAIN(TestFileBrowser)
#include "tst_filebrowser.moc"
