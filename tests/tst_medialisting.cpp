#include "core/medialisting.h"
#include "core/rawfilename.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(MediaKind)

class TestMediaListing : public QObject
{
    Q_OBJECT

private slots:
    void kind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<MediaKind>("kind");
        const MediaKind A = MediaKind::Audio, V = MediaKind::Video, N = MediaKind::None;
        QTest::addRow("mp3") << "a.mp3" << A;
        QTest::addRow("capitals") << "A.MP3" << A;
        QTest::addRow("mixed case") << "song.mP3" << A;
        QTest::addRow("m4a") << "song.m4a" << A;
        QTest::addRow("audiobook") << "book.M4B" << A;
        QTest::addRow("flac") << "a.flac" << A;
        QTest::addRow("oga") << "a.oga" << A;
        QTest::addRow("opus") << "a.opus" << A;
        QTest::addRow("aac") << "a.aac" << A;
        QTest::addRow("ogg") << "a.ogg" << A;
        QTest::addRow("wma") << "a.wma" << A;
        QTest::addRow("trailing spaces") << "a.wav  " << A;
        QTest::addRow("avi") << "B.avi" << V;
        QTest::addRow("wmv") << "clip.wmv" << V;
        QTest::addRow("webm") << "clip.WebM" << V;
        QTest::addRow("ogv") << "clip.ogv" << V;
        QTest::addRow("mkv") << "a.b.mkv" << V;
        QTest::addRow("3gp") << "c.3gp" << V;
        QTest::addRow("vcd") << "z.dat" << V;
        QTest::addRow("text") << "readme.txt" << N;
        QTest::addRow("markdown") << "readme.md" << N;
        QTest::addRow("backup of media") << "x.mov.bak" << N;
        QTest::addRow("no dot") << "mp3" << N;
        QTest::addRow("dot at start") << ".mp3" << N;
        QTest::addRow("dot at end") << "song." << N;
        QTest::addRow("longer suffix") << "a.oggx" << N;
        QTest::addRow("non-ASCII suffix") << QString::fromUtf8("a.mp\u00b3") << N;
    }
    void kind()
    {
        QFETCH(QString, name);
        QFETCH(MediaKind, kind);
        QCOMPARE(mediaKindOf(name), kind);
    }

    void rawNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addRow("ASCII") << QByteArray("a b.mp3") << "a b.mp3";
        QTest::addRow("UTF-8") << QByteArray("\xc3\xbc.ogg") << QString::fromUtf8("ü.ogg");
        QTest::addRow("4-byte UTF-8")
            << QByteArray("\xf0\x9d\x84\x9e.ogg") << QString::fromUtf8("\U0001D11E.ogg");
        QTest::addRow("Latin-1") << QByteArray("caf\xe9.mp3") << QString::fromUtf8("café.mp3");
        QTest::addRow("Windows quote")
            << QByteArray("don\x92t.mp3") << QString::fromUtf8("don\u2019t.mp3");
        QTest::addRow("UTF-8 and Latin-1")
            << QByteArray("\xc3\xbc\xfc.avi") << QString::fromUtf8("üü.avi");
        QTest::addRow("4-byte then Latin-1")
            << QByteArray("\xf0\x9d\x84\x9e\xe9") << QString::fromUtf8("\U0001D11Eé");
        QTest::addRow("overlong") << QByteArray("\xc0\xaf") << QString::fromUtf8("À¯");
        QTest::addRow("encoded surrogate")
            << QByteArray("\xed\xb2\x80") << QString::fromUtf8("í²€");
        QTest::addRow("beyond Unicode")
            << QByteArray("\xf4\x90\x80\x80") << QString::fromUtf8("ô\u0090€€");
        QTest::addRow("cut at end") << QByteArray("a\xe2\x82") << QString::fromUtf8("aâ‚");
    }
    // Every name turns back into its very bytes; UTF-8 names stay plain text.
    void rawNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = fileNameFromRaw(bytes);
        QCOMPARE(rawFileName(name), bytes);
        QCOMPARE(displayFileName(name), shown);
        const bool utf8 = QUtf8StringView(bytes).isValidUtf8();
        QCOMPARE(hasRawBytes(name), !utf8);
        if (utf8)
            QCOMPARE(name, QString::fromUtf8(bytes));
    }

    void listing()
    {
        QTemporaryDir tmp;
        const QString f = tmp.path();
        const QByteArray raw = QFile::encodeName(f);
        for (const char *name :
             {"B.avi", "a.mp3", ".old.avi", "song.MP3", "book.m4b", "x.flac", "clip.webm",
              "readme.txt", "noext", "caf\xe9.mp3", "\xe9t\xe9.txt"}) {
            const int fd = ::open(raw + '/' + name, O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        for (const char *d : {"sub", "notes.d", ".hidden", "film.avi", "Ordner\xfc"})
            QCOMPARE(::mkdir(raw + '/' + d, 0755), 0);
        QVERIFY(QFile::link(f + "/sub", f + "/link-to-sub"));
        QVERIFY(QFile::link(f + "/nowhere.avi", f + "/dangling.avi"));
        QVERIFY(QFile::link(f + "/readme.txt", f + "/text.mpg"));
        QCOMPARE(::mkfifo(raw + "/pipe.mp3", 0644), 0);

        QList<MediaEntry> entries;
        QVERIFY(listMediaFolder(f, &entries));
        QList<QByteArray> names;
        QList<MediaKind> kinds;
        for (const MediaEntry &e : entries) {
            names << rawFileName(e.name);
            kinds << e.kind;
            struct stat st;
            QVERIFY(::stat(raw + '/' + names.last(), &st) == 0);
            QCOMPARE(e.dir, S_ISDIR(st.st_mode));
        }
        const MediaKind A = MediaKind::Audio, V = MediaKind::Video, N = MediaKind::None;
        QCOMPARE(names, (QList<QByteArray>{"film.avi", "link-to-sub", "notes.d", "Ordner\xfc",
                                           "sub", "a.mp3", "B.avi", "book.m4b", "caf\xe9.mp3",
                                           "clip.webm", "song.MP3", "text.mpg", "x.flac"}));
        QCOMPARE(kinds, (QList<MediaKind>{N, N, N, N, N, A, V, A, A, V, A, V, A}));
        // QTemporaryDir cannot name these.
        QCOMPARE(::unlink(raw + "/caf\xe9.mp3") + ::unlink(raw + "/\xe9t\xe9.txt"), 0);
        QCOMPARE(::rmdir(raw + "/Ordner\xfc"), 0);
    }

    // As people read, whatever the system's locale (the tests run under C.UTF-8),
    // and one order however the names came.
    void sortOrder_data()
    {
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("numbers by value")
            << QStringList{"Track 1.mp3", "Track 2.mp3", "Track 10.mp3", "Track 100.mp3"};
        QTest::newRow("any case") << QStringList{"apple.mp3", "Banana.mp3", "cherry.mp3",
                                                 "Date.mp3"};
        QTest::newRow("equal but for zeros or case")
            << QStringList{"A.mp3", "a.mp3", "Track 01.mp3", "Track 1.mp3", "Track 2.mp3"};
        QTest::newRow("folders first") << QStringList{"/a 10", "/Z", "a.mp3", "B.mp3"};
    }

    void sortOrder()
    {
        QFETCH(QStringList, sorted);
        QList<MediaEntry> entries;
        for (const QString &name : sorted)
            entries.prepend({name.startsWith('/') ? name.mid(1) : name, name.startsWith('/'),
                             MediaKind::Audio});
        for (int pass = 0; pass < 2; ++pass) {
            sortMediaEntries(&entries);
            QStringList got;
            for (const MediaEntry &e : entries)
                got << (e.dir ? "/" + e.name : e.name);
            QCOMPARE(got, sorted);
            std::rotate(entries.begin(), entries.begin() + 1, entries.end());
        }
    }

    void unreadableFolder()
    {
        QList<MediaEntry> entries{{"stale", false, MediaKind::Video}};
        QVERIFY(!listMediaFolder("/nonexistent/folder", &entries));
        QVERIFY(entries.isEmpty());
    }
};

QTEST_MAIN(TestMediaListing)
#include "tst_medialisting.moc"
