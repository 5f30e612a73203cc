// Where long media were stopped: the rules for what is kept, and files in
// the store's place that it cannot use.

#include "core/rawfilename.h"
#include "player/mvplaymodes.h"
#include "player/mvresumestore.h"
#include "player/mvresumetracker.h"
#include "player/mvspeedstore.h"

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

    tracker.started(path);
    QCOMPARE(tracker.lengthKnown(600.5f), 40);
    QCOMPARE(tracker.lengthKnown(600.5f), -1);
    // A reading from before the seek took effect is not the medium's place.
    tracker.elapsed(1);
    QCOMPARE(tracker.position(), 40);
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
    QCOMPARE(on.lengthKnown(600), 500);
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
    MvResumeStore(path).stopped(medium, on ? 200 : 100, 600);
    return MvResumeStore(path).positionOf(medium) == (on ? 200 : 100);
}
} // namespace

void TestResumeStore::writesSafely_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("full");
    for (const char *name : {"resume", "playmodes.cfg", "speeds"}) {
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
    // A medium started in a third finds the place the others left.
    three.started(b);
    QCOMPARE(three.lengthKnown(600), 300);
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
