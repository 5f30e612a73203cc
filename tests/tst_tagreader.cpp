// Titles, artists and covers read from real media made by ffmpeg, and
// pictures that must not be decoded whole.

#include "core/rawfilename.h"
#include "player/mvtagreader.h"
#include "support/requiredtools.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QSize box(100, 100);

QByteArray jpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return buffer.data();
}
} // namespace

class TestTagReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase()
    {
        std::filesystem::remove_all(QFile::encodeName(dir.path()).toStdString());
    }
    void read_data();
    void read();
    void onlyTheNewestAnswered();
    void embeddedCoverKeptOnce();
    void cover_data();
    void cover();

private:
    QTemporaryDir dir;
};

void TestTagReader::initTestCase()
{
    MOVARA_REQUIRE_TOOLS({QStringLiteral("ffmpeg")});
    QFile cover(dir.filePath(QStringLiteral("cover.jpg")));
    QVERIFY(cover.open(QIODevice::WriteOnly));
    cover.write(jpeg(300, 200));
    cover.close();
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("album")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bare")));
    QVERIFY(QFile::copy(cover.fileName(), dir.filePath(QStringLiteral("album/Folder.JPG"))));

    const QString longTitle(100000, QLatin1Char('t'));
    const auto make = [this](const QString &name, const QStringList &extra) {
        const QStringList args =
            QStringList{"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=2"} + extra +
            QStringList{dir.filePath(name)};
        return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
    };
    QVERIFY(make(QStringLiteral("tagged.mp3"),
                 {"-i", cover.fileName(), "-map", "0:a", "-map", "1", "-c:v", "copy",
                  "-id3v2_version", "3", "-metadata", "title=T\u00eftle", "-metadata",
                  "artist=Artist", "-metadata", "album=Album"}));
    QVERIFY(make(QStringLiteral("album/plain.mp3"), {"-metadata", "title=" + longTitle}));
    QVERIFY(make(QStringLiteral("bare/plain.ogg"), {"-c:a", "libvorbis"}));
    QFile noise(dir.filePath(QStringLiteral("bare/noise.mp3")));
    QVERIFY(noise.open(QIODevice::WriteOnly));
    for (int i = 0; i < 64 * 1024; ++i)
        noise.putChar(char(QRandomGenerator::global()->bounded(256)));
    // A picture beside that is a pipe holds no reader up.
    for (const char *pipe : {"bare/pipe.mp3", "bare/cover.jpg"})
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QLatin1String(pipe))).constData(), 0600) ==
                0);
    // A folder whose name is not UTF-8, with a tagged medium and one beside a picture.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9";
    QVERIFY(::mkdir(latin1.constData(), 0700) == 0);
    for (const char *name : {"tagged.mp3", "album/plain.mp3", "cover.jpg"}) {
        QFile from(dir.filePath(QLatin1String(name)));
        QVERIFY(from.open(QIODevice::ReadOnly));
        QFile to;
        QVERIFY(to.open(::fopen(latin1 + '/' + QFileInfo(from).fileName().toUtf8(), "w"),
                        QIODevice::WriteOnly, QFile::AutoCloseHandle));
        QVERIFY(to.write(from.readAll()) > 0);
    }
}

void TestTagReader::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<bool>("cover");
    QTest::addColumn<QString>("coverFile");
    QTest::newRow("tags and a picture inside")
        << "tagged.mp3" << QStringLiteral("T\u00eftle") << "Artist" << true << "";
    QTest::newRow("a picture beside, a title cut short")
        << "album/plain.mp3" << QString(MvTagReader::maxTextLength, QLatin1Char('t')) << "" << true
        << "album/Folder.JPG";
    QTest::newRow("a folder not UTF-8: tags")
        << fileNameFromRaw("caf\xe9/tagged.mp3") << QStringLiteral("T\u00eftle") << "Artist" << true
        << "";
    QTest::newRow("a folder not UTF-8: the picture beside")
        << fileNameFromRaw("caf\xe9/plain.mp3")
        << QString(MvTagReader::maxTextLength, QLatin1Char('t')) << "" << true
        << fileNameFromRaw("caf\xe9/cover.jpg");
    QTest::newRow("nothing") << "bare/plain.ogg"
                             << ""
                             << "" << false << "";
    QTest::newRow("not a medium") << "bare/noise.mp3"
                                  << ""
                                  << "" << false << "";
    QTest::newRow("no such file") << "bare/gone.mp3"
                                  << ""
                                  << "" << false << "";
    QTest::newRow("a pipe") << "bare/pipe.mp3"
                            << ""
                            << "" << false << "";
}

void TestTagReader::read()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(bool, cover);
    QFETCH(QString, coverFile);
    // The kernel tells whether a file closed had been opened for writing.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(watch, rawFileName(dir.filePath(name)).constData(), IN_CLOSE_WRITE);
    const MvMediaTags tags = MvTagReader::read(dir.filePath(name), box);
    char event[4096];
    QCOMPARE(::read(watch, event, sizeof event), ssize_t(-1));
    ::close(watch);
    QCOMPARE(tags.title, title);
    QCOMPARE(tags.artist, artist);
    QCOMPARE(!tags.cover.isNull(), cover);
    if (cover)
        QCOMPARE(tags.cover.width(), 100);
    QCOMPARE(tags.coverFile, coverFile.isEmpty() ? QString() : dir.filePath(coverFile));
}

void TestTagReader::onlyTheNewestAnswered()
{
    MvTagReader reader;
    QSignalSpy spy(&reader, &MvTagReader::tagsRead);
    reader.request(dir.filePath(QStringLiteral("album/plain.mp3")));
    reader.request(dir.filePath(QStringLiteral("tagged.mp3")));
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<MvMediaTags>().artist, QStringLiteral("Artist"));
}

void TestTagReader::embeddedCoverKeptOnce()
{
    const auto inode = [](const QString &path) {
        struct stat info;
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    };
    QTemporaryDir covers;
    const QString medium = dir.filePath(QStringLiteral("tagged.mp3"));
    const QString kept = MvTagReader::read(medium, box, covers.path()).coverFile;
    QCOMPARE(QFileInfo(kept).path(), covers.path());
    QCOMPARE(QImage(kept).size(), QSize(300, 200));
    // Read again: the same file, not written anew.
    const auto written = inode(kept);
    QCOMPARE(MvTagReader::read(medium, box, covers.path()).coverFile, kept);
    QCOMPARE(inode(kept), written);
    // Another medium's picture takes its place; a picture beside a medium is named as it is.
    const QString other = dir.filePath(QStringLiteral("other.mp3"));
    QVERIFY(QFile::copy(medium, other));
    const QString otherKept = MvTagReader::read(other, box, covers.path()).coverFile;
    QVERIFY(!otherKept.isEmpty() && otherKept != kept);
    QCOMPARE(QDir(covers.path()).entryList(QDir::Files),
             QStringList{QFileInfo(otherKept).fileName()});
    QCOMPARE(MvTagReader::read(dir.filePath(QStringLiteral("album/plain.mp3")), box, covers.path())
                 .coverFile,
             dir.filePath(QStringLiteral("album/Folder.JPG")));
}

void TestTagReader::cover_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    const QByteArray small = jpeg(400, 200);
    // A small picture whose header says 8000 x 6250: 50 megapixels.
    QByteArray huge = jpeg(16, 16);
    const int frame = int(huge.indexOf("\xff\xc0"));
    QVERIFY(frame > 0);
    huge[frame + 5] = char(6250 >> 8);
    huge[frame + 6] = char(6250 & 0xff);
    huge[frame + 7] = char(8000 >> 8);
    huge[frame + 8] = char(8000 & 0xff);
    QTest::newRow("scaled into the box") << small << QSize(100, 50);
    QTest::newRow("50 megapixels") << huge << QSize(0, 0);
    QTest::newRow("header only") << small.left(300) << QSize(0, 0);
    QTest::newRow("not a picture") << QByteArray(5000, 'x') << QSize(0, 0);
}

void TestTagReader::cover()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QCOMPARE(MvTagReader::decodeCover(bytes, box).size(), size);
}

QTEST_GUILESS_MAIN(TestTagReader)
#include "tst_tagreader.moc"
