// Where long media were stopped: the rules for what is kept, and files in
// the store's place that it cannot use.

#include "core/rawfilename.h"
#include "player/mvbookmarks.h"
#include "player/mvfolderplaces.h"
#include "player/mvplaymodes.h"
#include "player/mvresumestore.h"
#include "player/mvresumetracker.h"
#include "player/mvspeedstore.h"
#include "player/mvstepback.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

class TestResumeStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rules_data();
    void rules();
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
    void replacedMediumStartsOver();
    void oldestDropped();
    void writesOncePerInterval();
    void badFile_data();
    void badFile();
    void trackerSeeksOnceAndStartsOver();
    void writesSafely_data();
    void writesSafely();
    void limitCountedRight();
    void instancesKeepEachOthersPlaces();
    void stepBack_data();
    void stepBack();
    void bookResumesFromItsFolder_data();
    void bookResumesFromItsFolder();
    void bookmarksOfTwoInstances();
    void speedsPerFolder();

private:
    QString medium(const QString &name, const QByteArray &content = "x");
    QString storePath() const { return dir->filePath(QStringLiteral("user/resume")); }

    std::unique_ptr<QTemporaryDir> dir;
};

void TestResumeStore::init()
{
    dir = std::make_unique<QTemporaryDir>();
}

QString TestResumeStore::medium(const QString &name, const QByteArray &content)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

void TestResumeStore::rules_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kept");
    const int margin = MvResumeStore::margin;
    const int shortest = MvResumeStore::minLength;
    const int length = 2 * shortest;
    const int inside = shortest / 3;
    QTest::newRow("past the start's margin") << margin + 10 << length << margin + 10;
    QTest::newRow("at the start's margin: too early") << margin << length << -1;
    QTest::newRow("at the end's margin: too late") << length - margin << length << -1;
    QTest::newRow("just inside the end") << length - margin - 1 << length << length - margin - 1;
    QTest::newRow("shorter than the shortest") << inside << shortest - 1 << -1;
    QTest::newRow("exactly the shortest") << inside << shortest << inside;
    QTest::newRow("beyond the end") << length + shortest << length << -1;
    QTest::newRow("unknown length") << inside << -1 << -1;
}

void TestResumeStore::rules()
{
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(int, kept);
    const QString path = medium(QStringLiteral("long\tname ü.mp3"));
    {
        MvResumeStore store(storePath());
        // A place kept before is replaced, or forgotten by a stop that is not worth keeping.
        store.stopped(path, 200, 600);
        store.stopped(path, position, length);
    }
    MvResumeStore reloaded(storePath());
    QCOMPARE(reloaded.positionOf(path), kept);
    QCOMPARE(reloaded.lastMedium(), kept < 0 ? QString() : path);
}

void TestResumeStore::namesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9 %41.mp3");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9 %41.mp3");
}

void TestResumeStore::namesKeepTheirBytes()
{
    QFETCH(QByteArray, name);
    const QString path = fileNameFromRaw(QFile::encodeName(dir->path()) + '/' + name);
    QFile file;
    QVERIFY(file.open(::fopen(rawFileName(path).constData(), "w"), QIODevice::WriteOnly,
                      QFile::AutoCloseHandle));
    file.write("x");
    file.close();
    MvResumeStore(storePath()).stopped(path, 100, 600);
    MvResumeStore reloaded(storePath());
    QCOMPARE(reloaded.positionOf(path), 100);
    QCOMPARE(reloaded.lastMedium(), path);
    QCOMPARE(::unlink(rawFileName(path).constData()), 0);
}

void TestResumeStore::replacedMediumStartsOver()
{
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore store(storePath());
    store.stopped(path, 100, 600);
    QCOMPARE(store.positionOf(path), 100);
    medium(QStringLiteral("a.mp3"), "longer");
    QCOMPARE(store.positionOf(path), -1);
    QCOMPARE(store.lastMedium(), QString());
}

void TestResumeStore::oldestDropped()
{
    MvResumeStore store(storePath());
    const QString first = medium(QStringLiteral("0.mp3"));
    store.progress(first, 100, 600);
    for (int i = 1; i <= MvResumeStore::maxEntries; ++i)
        store.progress(medium(QString::number(i) + QStringLiteral(".mp3")), 100, 600);
    QVERIFY(store.flush());
    MvResumeStore reloaded(storePath());
    QCOMPARE(reloaded.count(), MvResumeStore::maxEntries);
    QCOMPARE(reloaded.positionOf(first), -1);
    QCOMPARE(reloaded.positionOf(dir->filePath(QStringLiteral("1.mp3"))), 100);
}

void TestResumeStore::writesOncePerInterval()
{
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore store(storePath());
    store.progress(path, 40, 600);
    store.progress(path, 41, 600);
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), 40);
    // A stop writes at once.
    store.stopped(path, 42, 600);
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), 42);
}

void TestResumeStore::badFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind"); // 0 file, 1 empty folder, 2 folder with a file, 3 unreadable
    QByteArray noise(4096, '\0');
    for (char &c : noise)
        c = char(QRandomGenerator::global()->bounded(256));
    QTest::newRow("random bytes") << noise << 0;
    QTest::newRow("10 MB") << QByteArray("movara-resume 1\n") + QByteArray(10 << 20, '1') << 0;
    QTest::newRow("foreign") << QByteArray("[Resume]\nposition=40\n") << 0;
    QTest::newRow("damaged lines")
        << QByteArray("movara-resume 1\n40\tx\t1\t1\t/a\n\t\t\t\n9\t9\n") << 0;
    QTest::newRow("empty folder") << QByteArray() << 1;
    QTest::newRow("folder with a file") << QByteArray() << 2;
    QTest::newRow("unreadable") << QByteArray("movara-resume 1\n") << 3;
}

void TestResumeStore::badFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("user"))));
    if (kind == 0 || kind == 3) {
        QFile file(storePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        if (kind == 3)
            QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    } else {
        QVERIFY(QDir().mkpath(storePath()));
        if (kind == 2)
            QVERIFY(QFile(storePath() + QStringLiteral("/keep")).open(QIODevice::WriteOnly));
    }
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore store(storePath());
    QCOMPARE(store.count(), 0);
    store.stopped(path, 100, 600);
    QCOMPARE(store.positionOf(path), 100);
    // Replaced, except a folder that holds something of someone's.
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), kind == 2 ? -1 : 100);
    QCOMPARE(QFile::exists(storePath() + QStringLiteral("/keep")), kind == 2);
}

void TestResumeStore::trackerSeeksOnceAndStartsOver()
{
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeTracker tracker(storePath());
    tracker.started(path);
    QCOMPARE(tracker.lengthKnown(600), -1);
    tracker.elapsed(40);
    tracker.stopped();

    // Stopped a moment ago: a little before the place.
    tracker.started(path);
    QCOMPARE(tracker.lengthKnown(600.5f), 40 - MvStepBack::shortest);
    QCOMPARE(tracker.lengthKnown(600.5f), -1);
    // A reading from before the seek took effect is not the medium's place.
    tracker.elapsed(1);
    QCOMPARE(tracker.position(), 40 - MvStepBack::shortest);
    QVERIFY(tracker.takeStartOver());
    QVERIFY(!tracker.takeStartOver());
    tracker.elapsed(2);
    tracker.stopped();
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), -1);

    // A medium shorter now than its record starts from 0.
    MvResumeStore(storePath()).stopped(path, 500, 600);
    tracker.started(path);
    QCOMPARE(tracker.lengthKnown(400), -1);

    // Turned off, it stays off, keeps nothing new and resumes nothing.
    MvResumeTracker(storePath()).setEnabled(false);
    MvResumeTracker again(storePath());
    QVERIFY(!again.isEnabled());
    again.started(path);
    QCOMPARE(again.lengthKnown(600), -1);
    again.elapsed(100);
    again.stopped();
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), 500);

    // An engine that ends the medium on the resume seek leaves the place kept.
    MvResumeTracker on(storePath());
    on.setEnabled(true);
    on.started(path);
    QCOMPARE(on.lengthKnown(600), 500 - MvStepBack::shortest);
    on.ended();
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), 500);
    // So does a medium that could not start.
    on.started(path);
    on.ended();
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), 500);
}

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Saves a setting or a place, by the file's name; whether it reads back.
bool save(const QString &path, const QString &medium, bool on)
{
    if (path.endsWith(QLatin1String(".cfg")))
        return MvPlayModes{on, MvPlayQueue::Repeat::Off}.save(path) &&
               MvPlayModes::load(path).shuffle == on;
    if (path.endsWith(QLatin1String("speeds")))
        return MvSpeedStore(path).setSpeed(medium, on ? 2 : 1.5) &&
               MvSpeedStore(path).speedOf(medium) == (on ? 2 : 1.5);
    const int place = on ? 200 : 100;
    if (path.endsWith(QLatin1String("bookmarks"))) {
        const bool added = MvBookmarks(path).add({medium, place, -1, place});
        return added && MvBookmarks(path).list().value(0).position == place;
    }
    if (path.endsWith(QLatin1String("places"))) {
        MvFolderPlaces(path).stopped(medium, place, 600);
        return MvFolderPlaces(path).placeIn(MvFolderPlaces::folderOf(medium)).position == place;
    }
    MvResumeStore(path).stopped(medium, place, 600);
    return MvResumeStore(path).positionOf(medium) == place;
}
} // namespace

void TestResumeStore::writesSafely_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("full");
    for (const char *name : {"resume", "playmodes.cfg", "places", "bookmarks", "speeds"}) {
        QTest::addRow("%s, a link in its place", name) << name << false;
        QTest::addRow("%s, a full disk", name) << name << true;
    }
}

void TestResumeStore::writesSafely()
{
    QFETCH(QString, name);
    QFETCH(bool, full);
    const QString file = dir->filePath(QStringLiteral("user/") + name);
    const QString target = dir->filePath(QStringLiteral("precious"));
    const QString path = medium(QStringLiteral("a.mp3"));
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("user"))));
    // A temporary a kill left behind, and someone's file.
    QVERIFY(writeFile(file + QStringLiteral(".a1B2c3"), "half"));
    QVERIFY(writeFile(file + QStringLiteral(".bak"), "x"));
    QVERIFY(full ? save(file, path, false)
                 : writeFile(target, "precious\n") && QFile::link(target, file));
    const QByteArray before = readFile(file);
    // The file size limit makes every write fail part-way, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
    rlimit limit = normal;
    limit.rlim_cur = full ? 8 : normal.rlim_cur;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool saved = save(file, path, true);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &normal), 0);
    QCOMPARE(saved, !full);
    QCOMPARE(readFile(full ? file : target), before);
    QVERIFY(!QFileInfo(file).isSymLink());
    QCOMPARE(QDir(dir->filePath(QStringLiteral("user"))).entryList(QDir::Files),
             QStringList({name, name + QStringLiteral(".bak")}));
}

void TestResumeStore::limitCountedRight()
{
    // Off, and 4 bytes past the limit: an older version did not count "off".
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore(storePath()).stopped(path, 100, 600);
    QByteArray data = "movara-resume 1\noff\n" + readFile(storePath()).mid(16);
    data += QByteArray(MvResumeStore::maxFileSize + 3 - data.size(), 'x') + '\n';
    QVERIFY(writeFile(storePath(), data));
    MvResumeStore store(storePath());
    QCOMPARE(store.positionOf(path), 100);
    QVERIFY(!store.isEnabled());
}

void TestResumeStore::instancesKeepEachOthersPlaces()
{
    const QString a = medium(QStringLiteral("a.mp3"));
    const QString b = medium(QStringLiteral("b.mp3"));
    MvResumeStore one(storePath());
    MvResumeStore two(storePath());
    MvResumeTracker three(storePath());
    one.stopped(a, 100, 600);
    two.stopped(a, 150, 600);
    // One's a at 100 is older than two's: it does not come back.
    one.stopped(b, 300, 600);
    MvResumeStore reloaded(storePath());
    QCOMPARE(reloaded.positionOf(a), 150);
    QCOMPARE(reloaded.positionOf(b), 300);
    // A medium started in a third finds the place the others left (when,
    // they did not say: as if a day ago).
    three.started(b);
    QCOMPARE(three.lengthKnown(600), 300 - MvStepBack::longest);
}

void TestResumeStore::stepBack_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<qint64>("away");
    QTest::addColumn<QList<double>>("chapterStarts");
    QTest::addColumn<int>("target");
    QTest::newRow("a stop under a minute old") << 70 << qint64(59) << QList<double>{} << 68;
    // Halfway between a minute and an hour as time doubles, halfway up.
    QTest::newRow("eight minutes") << 70 << qint64(465) << QList<double>{} << 64;
    QTest::newRow("an hour") << 70 << qint64(3600) << QList<double>{} << 60;
    QTest::newRow("a day or more") << 70 << qint64(9 * 86400) << QList<double>{} << 40;
    QTest::newRow("not known: as a day") << 70 << qint64(-1) << QList<double>{} << 40;
    QTest::newRow("never before 0") << 5 << qint64(3600) << QList<double>{} << 0;
    QTest::newRow("never before the chapter's start")
        << 70 << qint64(86400) << QList<double>{0, 61.5, 80} << 62;
}

void TestResumeStore::stepBack()
{
    QFETCH(int, place);
    QFETCH(qint64, away);
    QFETCH(QList<double>, chapterStarts);
    QFETCH(int, target);
    QVector<MvChapter> chapters;
    for (double start : chapterStarts)
        chapters.append({start, 0, QString()});
    QCOMPARE(MvStepBack::target(place, away, chapters), target);
}

void TestResumeStore::bookResumesFromItsFolder_data()
{
    QTest::addColumn<QString>("then");   // how the first play ended, and after it
    QTest::addColumn<QString>("picked"); // the next pick
    QTest::addColumn<int>("resumedAt");
    QTest::newRow("the place, a moment later") << "stop"
                                               << "23.mp3" << 68;
    QTest::newRow("the place, two days later") << "stop, two days"
                                               << "23.mp3" << 40;
    QTest::newRow("another file of the folder") << "stop"
                                                << "05.mp3" << -1;
    // Resumed at 68 and stopped at 69: the place stays 70.
    QTest::newRow("stopped again short of the place") << "stop, again"
                                                      << "23.mp3" << 68;
    QTest::newRow("played to its end") << "end"
                                       << "23.mp3" << -1;
}

// Three-minute files, too short for the resume store: the folder keeps its place.
void TestResumeStore::bookResumesFromItsFolder()
{
    QFETCH(QString, then);
    QFETCH(QString, picked);
    QFETCH(int, resumedAt);
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("book"))));
    const QString stopped = medium(QStringLiteral("book/23.mp3"));
    medium(QStringLiteral("book/05.mp3"));
    const QString placesPath = dir->filePath(QStringLiteral("user/places"));
    {
        MvResumeTracker tracker(storePath());
        tracker.started(stopped);
        tracker.lengthKnown(180);
        tracker.elapsed(70);
        if (then == QLatin1String("end"))
            tracker.ended();
        else
            tracker.stopped();
    }
    if (then.endsWith(QLatin1String("two days"))) {
        QByteArray data = readFile(placesPath);
        const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
        const qsizetype at = data.indexOf(now.left(8));
        QVERIFY(at > 0);
        data.replace(at, now.size(), QByteArray::number(now.toLongLong() - 2 * 86400));
        QVERIFY(writeFile(placesPath, data));
    }
    if (then.endsWith(QLatin1String("again"))) {
        MvResumeTracker tracker(storePath());
        tracker.started(stopped);
        QCOMPARE(tracker.lengthKnown(180), 68);
        tracker.elapsed(68);
        tracker.elapsed(69);
        tracker.stopped();
    }
    const MvFolderPlaces::Place place =
        MvFolderPlaces(placesPath).placeIn(dir->filePath(QStringLiteral("book")));
    QCOMPARE(place.medium, then == QLatin1String("end") ? QString() : stopped);
    QCOMPARE(place.position, then == QLatin1String("end") ? -1 : 70);
    QCOMPARE(MvResumeStore(storePath()).positionOf(stopped), -1);

    MvResumeTracker next(storePath());
    next.started(dir->filePath(QStringLiteral("book/") + picked));
    QCOMPARE(next.lengthKnown(180), resumedAt);
}

void TestResumeStore::bookmarksOfTwoInstances()
{
    const QString path = dir->filePath(QStringLiteral("user/bookmarks"));
    const QString a = medium(QStringLiteral("a.mp3"));
    MvBookmarks one(path);
    MvBookmarks two(path);
    QVERIFY(one.add({a, 10, -1, 1}));
    QVERIFY(two.add({a, 20, 3, 2}));
    QVERIFY(one.add({a, 30, -1, 3}));
    const auto positions = [](const QList<MvBookmarks::Bookmark> &marks) {
        QList<int> at;
        for (const MvBookmarks::Bookmark &mark : marks)
            at.append(mark.position);
        return at;
    };
    // Newest first, whoever made them; a removal in one is gone in the other.
    QCOMPARE(positions(MvBookmarks(path).list()), QList<int>({30, 20, 10}));
    QCOMPARE(two.list().at(1).chapter, 3);
    QVERIFY(two.remove(two.list().last()));
    QCOMPARE(positions(one.list()), QList<int>({30, 20}));
    for (int i = 0; i < MvBookmarks::maxEntries; ++i)
        QVERIFY(two.add({a, 100 + i, -1, 100 + i}));
    const QList<MvBookmarks::Bookmark> kept = MvBookmarks(path).list();
    QCOMPARE(kept.size(), MvBookmarks::maxEntries);
    QCOMPARE(kept.last().position, 100);
}

// Two instances keep each other's folders; 1 is a folder's own speed, never
// kept; a folder's name keeps its bytes.
void TestResumeStore::speedsPerFolder()
{
    const QString path = dir->filePath(QStringLiteral("user/speeds"));
    const QString latin1 = fileNameFromRaw("/books/caf\xe9\t%41");
    MvSpeedStore one(path), two(path);
    QVERIFY(one.setSpeed(QStringLiteral("/books/a"), 1.5) && two.setSpeed(latin1, 2));
    QCOMPARE(one.speedOf(latin1), 2.0);
    QVERIFY(two.setSpeed(QStringLiteral("/books/a"), 1));
    QCOMPARE(one.speedOf(QStringLiteral("/books/a")), 1.0);
    QCOMPARE(MvSpeedStore(path).speedOf(latin1), 2.0);
    QCOMPARE(readFile(path).count('\n'), 2);
}

QTEST_GUILESS_MAIN(TestResumeStore)
#include "tst_resumestore.moc"
