// Where long media were stopped: the rules for what is kept, and files in
// the store's place that it cannot use.

#include "player/mvplaymodes.h"
#include "player/mvresumestore.h"
#include "player/mvresumetracker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestResumeStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rules_data();
    void rules();
    void replacedMediumStartsOver();
    void oldestDropped();
    void writesOncePerInterval();
    void badFile_data();
    void badFile();
    void trackerSeeksOnceAndStartsOver();
    void trackerEnd_data();
    void trackerEnd();
    void linksAndTemporaries_data();
    void linksAndTemporaries();
    void failedWriteKeepsTheFile_data();
    void failedWriteKeepsTheFile();
    void limitCountedRight();
    void instancesKeepEachOthersPlaces();

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
    QTest::newRow("40 s into 10 min") << 40 << 600 << 40;
    QTest::newRow("30 s in: too early") << 30 << 600 << -1;
    QTest::newRow("30 s before the end: too late") << 570 << 600 << -1;
    QTest::newRow("just inside the end") << 569 << 600 << 569;
    QTest::newRow("shorter than 5 min") << 100 << 299 << -1;
    QTest::newRow("exactly 5 min") << 100 << 300 << 100;
    QTest::newRow("beyond the end") << 900 << 600 << -1;
    QTest::newRow("unknown length") << 100 << -1 << -1;
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
}

void TestResumeStore::trackerEnd_data()
{
    QTest::addColumn<bool>("played");
    QTest::newRow("played to its end") << true;
    QTest::newRow("could not start") << false;
}

void TestResumeStore::trackerEnd()
{
    QFETCH(bool, played);
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore(storePath()).stopped(path, 100, 600);
    MvResumeTracker tracker(storePath());
    tracker.started(path);
    if (played) {
        QCOMPARE(tracker.lengthKnown(600), 100);
        QVERIFY(tracker.takeStartOver());
        tracker.elapsed(590);
    }
    tracker.ended();
    QCOMPARE(MvResumeStore(storePath()).positionOf(path), played ? -1 : 100);
}

namespace {
void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `changed` to the file at `path` and reads it back: whether it holds the change.
bool writeAndCheck(const QString &path, const QString &medium, bool changed)
{
    if (path.endsWith(QLatin1String(".cfg"))) {
        const bool saved =
            MvPlayModes{changed, changed ? MvPlayQueue::Repeat::All : MvPlayQueue::Repeat::Off}
                .save(path);
        return saved && MvPlayModes::load(path).shuffle == changed;
    }
    MvResumeStore store(path);
    store.stopped(medium, changed ? 200 : 100, 600);
    return MvResumeStore(path).positionOf(medium) == (changed ? 200 : 100);
}
} // namespace

void TestResumeStore::linksAndTemporaries_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("places") << "resume";
    QTest::newRow("play modes") << "playmodes.cfg";
}

void TestResumeStore::linksAndTemporaries()
{
    QFETCH(QString, name);
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("user"))));
    const QString file = dir->filePath(QStringLiteral("user/") + name);
    // A link in the file's place is replaced, its target left alone.
    const QString target = dir->filePath(QStringLiteral("precious"));
    writeFile(target, "precious\n");
    QVERIFY(QFile::link(target, file));
    // Left by a kill just before the rename; the other is someone's.
    const QString left = file + QStringLiteral(".a1B2c3");
    const QString kept = file + QStringLiteral(".bak");
    writeFile(left, "half");
    writeFile(kept, "x");
    QVERIFY(writeAndCheck(file, medium(QStringLiteral("a.mp3")), true));
    QCOMPARE(readFile(target), QByteArray("precious\n"));
    QVERIFY(!QFileInfo(file).isSymLink());
    QVERIFY(!QFile::exists(left));
    QVERIFY(QFile::exists(kept));
}

void TestResumeStore::failedWriteKeepsTheFile_data()
{
    linksAndTemporaries_data();
}

void TestResumeStore::failedWriteKeepsTheFile()
{
    QFETCH(QString, name);
    const QString file = dir->filePath(QStringLiteral("user/") + name);
    const QString path = medium(QStringLiteral("a.mp3"));
    QVERIFY(writeAndCheck(file, path, false));
    const QByteArray before = readFile(file);
    // A full disk, as the file size limit makes it: every write fails part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit normal = limit;
    limit.rlim_cur = 8;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = writeAndCheck(file, path, true);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &normal), 0);
    QVERIFY(!written);
    QCOMPARE(readFile(file), before);
    QCOMPARE(QDir(dir->filePath(QStringLiteral("user"))).entryList(QDir::Files), QStringList{name});
}

void TestResumeStore::limitCountedRight()
{
    // Off, and at the limit without counting "off": as an older version wrote it.
    const QString path = medium(QStringLiteral("a.mp3"));
    MvResumeStore(storePath()).stopped(path, 100, 600);
    const QByteArray last = readFile(storePath()).mid(16);
    QByteArray data = "movara-resume 1\noff\n";
    for (int i = 0; data.size() + last.size() < MvResumeStore::maxFileSize + 4; ++i) {
        const qsizetype room = MvResumeStore::maxFileSize + 4 - data.size() - last.size();
        const QByteArray line = "100\t600\t1\t1\t/" + QByteArray::number(i) + '/';
        data += line +
                QByteArray(qBound(qsizetype(1), room - line.size() - 1, qsizetype(999)), 'x') +
                '\n';
    }
    data += last;
    QCOMPARE(data.size(), MvResumeStore::maxFileSize + 4);
    writeFile(storePath(), data);

    MvResumeStore store(storePath());
    QCOMPARE(store.positionOf(path), 100);
    QVERIFY(!store.isEnabled());
    // Written again, "off" counts: the file keeps within the limit.
    const QString other = medium(QStringLiteral("b.mp3"));
    store.stopped(other, 200, 600);
    QVERIFY(QFileInfo(storePath()).size() <= MvResumeStore::maxFileSize);
    MvResumeStore reloaded(storePath());
    QVERIFY(!reloaded.isEnabled());
    QCOMPARE(reloaded.positionOf(path), 100);
    QCOMPARE(reloaded.positionOf(other), 200);
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

QTEST_GUILESS_MAIN(TestResumeStore)
#include "tst_resumestore.moc"
