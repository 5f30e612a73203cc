#include "core/mvplaylist.h"
#include "core/rawfilename.h"
#include "player/mvplaymodes.h"
#include "player/mvplayqueue.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using Repeat = MvPlayQueue::Repeat;

class TestMvPlaylist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void entries_data();
    void entries();
    void badInput_data();
    void badInput();
    void saveNeverOverwrites();
    void resolves_data();
    void resolves();
    void savesNamesByTheirBytes();
    void createsOnlyANewName_data();
    void createsOnlyANewName();
    void order_data();
    void order();
    void shufflePlaysEachOnce();
    void shuffleRepeatAllPasses_data();
    void shuffleRepeatAllPasses();
    void modesSurviveARun();

private:
    QString write(const QString &name, const QByteArray &data)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return QString();
        return file.fileName();
    }
    QTemporaryDir dir;
};

void TestMvPlaylist::entries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("skipped");

    // "@" stands for the playlist's folder in the expected paths.
    QTest::newRow("absolute, relative, blank lines, comments")
        << "a.m3u" << QByteArray("/x/a.mp3\n\n  \n# note\nsub/b.ogg\n")
        << QStringList{"/x/a.mp3", "@/sub/b.ogg"} << QStringList{"", ""} << 0;
    QTest::newRow("BOM, CRLF, #EXTINF titles")
        << "a.m3u"
        << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,Song One\r\n/x/1.mp3\r\n/x/2.mp3\r\n")
        << QStringList{"/x/1.mp3", "/x/2.mp3"} << QStringList{"Song One", ""} << 0;
    QTest::newRow("Windows paths, drive letter dropped")
        << "a.m3u" << QByteArray("C:\\Music\\a.mp3\n..\\b.mp3\n\\c.mp3\n")
        << QStringList{"@/Music/a.mp3", "@/../b.mp3", "@/c.mp3"} << QStringList{"", "", ""} << 0;
    QTest::newRow("file URLs, percent-decoded")
        << "a.m3u8" << QByteArray("file:///x/a%20b%C3%A9.mp3\nfile://localhost/y/c.mp3\n")
        << QStringList{"/x/a b\u00e9.mp3", "/y/c.mp3"} << QStringList{"", ""} << 0;
    QTest::newRow("m3u not UTF-8 is Latin-1")
        << "a.m3u" << QByteArray("/x/caf\xe9.mp3\n") << QStringList{"/x/caf\u00e9.mp3"}
        << QStringList{""} << 0;
    QTest::newRow("m3u8 is UTF-8") << "a.m3u8" << QByteArray("/x/caf\xc3\xa9.mp3\n")
                                   << QStringList{"/x/caf\u00e9.mp3"} << QStringList{""} << 0;
    QTest::newRow("trailing space kept")
        << "a.m3u" << QByteArray("/x/a.mp3 \n") << QStringList{"/x/a.mp3 "} << QStringList{""} << 0;
    QTest::newRow("network URLs and playlists inside skipped")
        << "a.m3u" << QByteArray("http://host/a.mp3\n/x/other.m3u\nmms://h/s\n/x/a.mp3\n")
        << QStringList{"/x/a.mp3"} << QStringList{""} << 3;
    QTest::newRow("pls: numbered entries in number order with titles")
        << "a.pls"
        << QByteArray("[playlist]\r\nFile2=/x/b.mp3\r\nTitle1=First\r\nFile1=/x/a.mp3\r\n"
                      "NumberOfEntries=2\r\nVersion=2\r\n")
        << QStringList{"/x/a.mp3", "/x/b.mp3"} << QStringList{"First", ""} << 0;
}

void TestMvPlaylist::entries()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, titles);
    QFETCH(int, skipped);
    MvPlaylist list;
    QVERIFY(list.load(write(name, data)));
    QStringList gotPaths, gotTitles;
    for (int i = 0; i < list.count(); ++i) {
        gotPaths << QString(list.path(i)).replace(dir.path(), QStringLiteral("@"));
        gotTitles << list.title(i);
    }
    QCOMPARE(gotPaths, paths);
    QCOMPARE(gotTitles, titles);
    QCOMPARE(list.skipped(), skipped);
}

void TestMvPlaylist::badInput_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("maxEntries");
    QTest::addColumn<int>("minSkipped");
    QTest::addColumn<int>("cut"); // playable entries left out past the limit
    // Entries that load but must never reach the engine.
    QTest::addColumn<QString>("notHandedOver");

    QByteArray random(10 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(19);
    for (char &c : random)
        c = char(gen.generate());
    QTest::newRow("10 MB of random bytes") << random << 10 * 1024 * 1024 << 0 << 0 << QString();
    QTest::newRow("a 1 MB line") << QByteArray(1024 * 1024, 'a') + "\n/x/a.mp3\n"
                                 << 1 << 1 << 0 << QString();
    QByteArray many;
    for (int i = 0; i < MvPlaylist::MaxEntries + 5; ++i)
        many += "/x/" + QByteArray::number(i) + ".mp3\n";
    QTest::newRow("more entries than kept")
        << many << MvPlaylist::MaxEntries << 0 << 5 << QString();
    QTest::newRow("NUL bytes") << QByteArray("/x/a\0b.mp3\n/x/c.mp3\n", 20) << 1 << 1 << 0
                               << QString();
    QTest::newRow("a folder") << QByteArray("sub\n") << 1 << 0 << 0 << "sub";
    QTest::newRow("a device") << QByteArray("/dev/null\n") << 1 << 0 << 0 << "/dev/null";
    QTest::newRow("itself") << QByteArray("bad.m3u\n") << 0 << 1 << 0 << QString();
}

void TestMvPlaylist::badInput()
{
    QFETCH(QByteArray, data);
    QFETCH(int, maxEntries);
    QFETCH(int, minSkipped);
    QFETCH(int, cut);
    QFETCH(QString, notHandedOver);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    MvPlaylist list;
    QVERIFY(list.load(write(QStringLiteral("bad.m3u"), data)));
    QVERIFY(list.count() <= maxEntries);
    QVERIFY(list.skipped() >= minSkipped);
    QCOMPARE(list.cut(), cut);
    if (minSkipped == 0 && list.skipped() == 0)
        QVERIFY(list.firstSkipped().isEmpty()); // no playable entry named as unplayable
    for (int i = 0; i < list.count(); ++i)
        QVERIFY(list.text(i).size() <= MvPlaylist::MaxEntryLength);
    if (!notHandedOver.isEmpty()) {
        QCOMPARE(list.text(0), notHandedOver);
        QVERIFY(!MvPlaylist::canHandOver(list.path(0)));
    }
}

void TestMvPlaylist::saveNeverOverwrites()
{
    const QString media = write(QStringLiteral("song.mp3"), "x");
    const QString first = MvPlaylist::save(dir.path(), QStringLiteral("Clips"), {media});
    const QString second = MvPlaylist::save(dir.path(), QStringLiteral("Clips"), {media, media});
    QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("Clips.m3u8"));
    QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("Clips 2.m3u8"));
    MvPlaylist list;
    QVERIFY(list.load(first));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.path(0), media);
    QCOMPARE(list.title(0), QStringLiteral("song"));
    QVERIFY(MvPlaylist::save(dir.filePath(QStringLiteral("missing")), QStringLiteral("x"), {media})
                .isEmpty());
}

void TestMvPlaylist::resolves_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data"); // "@" stands for the test's folder
    QTest::addColumn<QByteArrayList>("files");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("Latin-1 m3u naming a Latin-1 name")
        << "l.m3u" << QByteArray("#EXTINF:1,Caf\xe9\ncaf\xe9.mp3\n")
        << QByteArrayList{"caf\xe9.mp3"} << QByteArray("@/caf\xe9.mp3");
    QTest::newRow("file URL of a Latin-1 name")
        << "u.m3u8" << QByteArray("file://@/caf%E9.mp3\n") << QByteArrayList{"caf\xe9.mp3"}
        << QByteArray("@/caf\xe9.mp3");
    QTest::newRow("file://name is the list's")
        << "lists/u.m3u" << QByteArray("file://mplayer\n") << QByteArrayList{"lists/mplayer"}
        << QByteArray("@/lists/mplayer");
    QTest::newRow("Windows path below the list, other letter case")
        << "lists/w.m3u" << QByteArray("c:\\music\\album\\02 song.mp3\r\n")
        << QByteArrayList{"lists/Music/Album/02 Song.mp3"}
        << QByteArray("@/lists/Music/Album/02 Song.mp3");
    QTest::newRow("Windows path with a deeper root, below a media folder")
        << "lists/w.m3u" << QByteArray("C:\\Users\\Bob\\Music\\Album\\02 Song.mp3\n")
        << QByteArrayList{"roots/audio/Album/02 Song.mp3", "roots/video/02 Song.mp3"}
        << QByteArray("@/roots/audio/Album/02 Song.mp3");
    QTest::newRow("Windows path in a Latin-1 list, other case, UTF-8 name")
        << "lists/w.m3u" << QByteArray("D:\\CAF\xc9\\a.mp3\n")
        << QByteArrayList{"roots/audio/caf\xc3\xa9/a.mp3"}
        << QByteArray("@/roots/audio/caf\xc3\xa9/a.mp3");
}

void TestMvPlaylist::resolves()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(QByteArrayList, files);
    QFETCH(QByteArray, path);
    QTemporaryDir here;
    const QByteArray at = QFile::encodeName(here.path());
    for (const QByteArray &file : files) {
        const QByteArray full = at + '/' + file;
        for (qsizetype slash = at.size() + 1; (slash = full.indexOf('/', slash)) > 0; ++slash)
            ::mkdir(full.first(slash).constData(), 0700);
        const int fd = ::open(full.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        QVERIFY2(fd >= 0, full.constData());
        ::close(fd);
    }
    QVERIFY(QDir().mkpath(here.filePath(QStringLiteral("lists"))));
    const QStringList kept = MvPlaylist::searchFolders;
    MvPlaylist::searchFolders = {here.filePath(QStringLiteral("roots/video")),
                                 here.filePath(QStringLiteral("roots/audio"))};
    MvPlaylist list;
    list.parse(data.replace('@', at), here.filePath(name));
    const QString got = list.path(0);
    MvPlaylist::searchFolders = kept;
    std::filesystem::remove_all(at.toStdString()); // names Qt cannot spell
    QCOMPARE(list.count(), 1);
    QCOMPARE(rawFileName(got), path.replace('@', at));
}

void TestMvPlaylist::savesNamesByTheirBytes()
{
    const QByteArray media = QFile::encodeName(dir.path()) + "/caf\xe9.mp3";
    const int fd = ::open(media.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    const QString saved =
        MvPlaylist::save(dir.path(), QStringLiteral("Latin"), {fileNameFromRaw(media)});
    MvPlaylist list;
    QVERIFY(list.load(saved));
    QCOMPARE(list.count(), 1);
    QCOMPARE(rawFileName(list.path(0)), media);
    QCOMPARE(list.title(0), QStringLiteral("caf\u00e9"));
    QCOMPARE(::unlink(media.constData()), 0);
}

void TestMvPlaylist::createsOnlyANewName_data()
{
    QTest::addColumn<QString>("there"); // what has the name already
    QTest::newRow("nothing") << "";
    QTest::newRow("a file") << "file";
    QTest::newRow("a link to a file") << "link";
    QTest::newRow("a link that leads nowhere") << "dangling";
}

void TestMvPlaylist::createsOnlyANewName()
{
    QFETCH(QString, there);
    const QString target = dir.filePath(there + ".m3u8"), victim = dir.filePath(there + ".victim");
    if (there == u"file" || there == u"link")
        QVERIFY(!write(QFileInfo(there == u"file" ? target : victim).fileName(), "old").isEmpty());
    if (there == u"link" || there == u"dangling")
        QVERIFY(QFile::link(victim, target));
    errno = 0;
    QCOMPARE(MvPlaylist::createNew(target, "new"), there.isEmpty());
    if (!there.isEmpty())
        QCOMPARE(errno, EEXIST);
    // What had the name, or what a link leads to, is as it was; no temporary is left.
    QFile file(there == u"file" || there.isEmpty() ? target : victim);
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
             QByteArray(there.isEmpty()        ? "new"
                        : there == u"dangling" ? ""
                                               : "old"));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".playlist-").isEmpty());
}

void TestMvPlaylist::order_data()
{
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("steps"); // n: next, e: ended by itself, p: previous
    QTest::addColumn<QList<int>>("indices");

    QTest::newRow("in turn, stops at the end")
        << int(Repeat::Off) << "eeep" << QList<int>{1, 2, -1, 1};
    QTest::newRow("previous at the start") << int(Repeat::Off) << "p" << QList<int>{-1};
    QTest::newRow("repeat all starts over") << int(Repeat::All) << "eee" << QList<int>{1, 2, 0};
    QTest::newRow("repeat one replays, Next moves on")
        << int(Repeat::One) << "een" << QList<int>{0, 0, 1};
}

void TestMvPlaylist::order()
{
    QFETCH(int, repeat);
    QFETCH(QString, steps);
    QFETCH(QList<int>, indices);
    MvPlayQueue queue;
    queue.setRepeat(Repeat(repeat));
    queue.reset(3, 0);
    QList<int> got;
    for (QChar step : steps)
        got << (step == u'p' ? queue.previous() : queue.next(step == u'e'));
    QCOMPARE(got, indices);
}

void TestMvPlaylist::shufflePlaysEachOnce()
{
    MvPlayQueue queue;
    queue.setShuffle(true);
    queue.reset(50, 7);
    QList<int> played{queue.current()};
    for (int i = queue.next(); i >= 0; i = queue.next())
        played << i;
    QCOMPARE(played.size(), 50);
    QCOMPARE(QSet<int>(played.begin(), played.end()).size(), 50);
    // Previous walks back along the order played, and Next forward again.
    QCOMPARE(queue.previous(), played.at(48));
    QCOMPARE(queue.previous(), played.at(47));
    QCOMPARE(queue.next(), played.at(48));
    // A list in which every entry failed is done, whatever repeat says.
    queue.setRepeat(Repeat::All);
    for (int i = 0; i < 49; ++i)
        queue.noteResult(false);
    QVERIFY(!queue.exhausted());
    queue.noteResult(false);
    QVERIFY(queue.exhausted());
}

void TestMvPlaylist::shuffleRepeatAllPasses_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("afterEnd");
    QTest::newRow("Next presses") << 5 << false;
    QTest::newRow("played through") << 5 << true;
    QTest::newRow("two entries") << 2 << true;
    QTest::newRow("one entry") << 1 << false;
}

void TestMvPlaylist::shuffleRepeatAllPasses()
{
    QFETCH(int, count);
    QFETCH(bool, afterEnd);
    MvPlayQueue queue;
    queue.setShuffle(true);
    queue.setRepeat(Repeat::All);
    queue.reset(count, 0);
    QList<int> played{queue.current()};
    while (played.size() < count * 40)
        played << queue.next(afterEnd);
    for (int pass = 0; pass < 40; ++pass) {
        const QList<int> one = played.mid(pass * count, count);
        QVERIFY2(QSet<int>(one.begin(), one.end()).size() == count,
                 qPrintable(QStringLiteral("pass %1 repeats an entry").arg(pass)));
        if (count > 1 && pass > 0)
            QVERIFY(one.first() != played.at(pass * count - 1));
    }
}

void TestMvPlaylist::modesSurviveARun()
{
    const QString path = dir.filePath(QStringLiteral("settings/playmodes.cfg"));
    QCOMPARE(MvPlayModes::load(path).shuffle, false);
    MvPlayModes modes;
    modes.shuffle = true;
    modes.repeat = Repeat::All;
    QVERIFY(modes.save(path));
    QCOMPARE(MvPlayModes::load(path).shuffle, true);
    QCOMPARE(MvPlayModes::load(path).repeat, Repeat::All);
    // Unwritable: no error, the modes stay off on the next run.
    QVERIFY(!modes.save(QStringLiteral("/proc/movara/playmodes.cfg")));
}

QTEST_GUILESS_MAIN(TestMvPlaylist)
#include "tst_mvplaylist.moc"
