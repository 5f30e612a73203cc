#include "browser/medialisting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestMediaListing : public QObject
{
    Q_OBJECT

private slots:
    void wildcard_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::addRow("suffix") << "a.mp3"
                                << "*.m*" << true;
        QTest::addRow("case matters") << "a.MP3"
                                      << "*.m*" << false;
        QTest::addRow("inner dot") << "x.mov.bak"
                                   << "*.m*" << true;
        QTest::addRow("dot at end only") << "song.m"
                                         << "*.m*" << true;
        QTest::addRow("no dot") << "mp3"
                                << "*.m*" << false;
        QTest::addRow("exact suffix") << "a.ogg"
                                      << "*.ogg" << true;
        QTest::addRow("longer suffix") << "a.oggx"
                                       << "*.ogg" << false;
        QTest::addRow("backtracking") << "a.3.txt.3gp"
                                      << "*.3*" << true;
        QTest::addRow("question mark") << "ab.qt"
                                       << "a?.qt" << true;
        QTest::addRow("question mark needs one") << "a.qt"
                                                 << "a?.qt" << false;
        QTest::addRow("star alone") << ""
                                    << "*" << true;
        QTest::addRow("empty name") << ""
                                    << "*.w*" << false;
        QTest::addRow("non-ASCII") << QString::fromUtf8("ü.wav") << "?.w*" << true;
    }
    void wildcard()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(name, pattern), matches);
    }

    // Same entries, same order as the toolkit's own listing with the
    // browser's filter and sort.
    void agreesWithQDir()
    {
        QTemporaryDir tmp;
        const QString f = tmp.path();
        const QStringList files{"B.avi",
                                "a.mp3",
                                ".old.avi",
                                "song.mP3",
                                "song.m4a",
                                "clip.wmv",
                                "readme.txt",
                                "Z.asf",
                                "z.dat",
                                "x.rmvb",
                                "y.qt",
                                "c.3gp",
                                QString::fromUtf8("Ärger.avi"),
                                QString::fromUtf8("éclair.mp3"),
                                QString::fromUtf8("\U0001D11E clef.ogg"),
                                QString::fromUtf8("\uFF21wide.avi"),
                                "noext",
                                "a b.wma"};
        for (const QString &name : files) {
            QFile file(f + '/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (const char *d : {"sub", "Sub", "notes.d", ".hidden", "film.avi"})
            QVERIFY(QDir(f).mkdir(d));
        QVERIFY(QFile::link(f + "/sub", f + "/link-to-sub"));
        QVERIFY(QFile::link(f + "/B.avi", f + "/link.avi"));
        QVERIFY(QFile::link(f + "/nowhere.avi", f + "/dangling.avi"));
        QVERIFY(QFile::link(f + "/readme.txt", f + "/text.mpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(f + "/pipe.mp3").constData(), 0644), 0);
        const int fd =
            ::open(QFile::encodeName(f + "/bad\xff.avi").constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);

        const QStringList patterns =
            QStringLiteral("*.m* *.ogg *.avi *.rm* *.qt *.3* *.asf *.w* *.dat").split(' ');
        QDir dir(f);
        dir.setNameFilters(patterns);
        dir.setSorting(QDir::Name | QDir::DirsFirst);
        dir.setFilter(QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot);
        const QStringList expected = dir.entryList();

        QList<MediaEntry> entries;
        QVERIFY(listMediaFolder(f, patterns, &entries));
        QStringList names;
        for (const MediaEntry &e : entries) {
            names << e.name;
            QCOMPARE(e.dir, QFileInfo(f + '/' + e.name).isDir());
        }
        QCOMPARE(names, expected);
        QVERIFY(names.contains("text.mpg")); // a link named like media counts as media
        QVERIFY(!names.contains("pipe.mp3"));
    }

    void unreadableFolder()
    {
        QList<MediaEntry> entries{{"stale", false}};
        QVERIFY(!listMediaFolder("/nonexistent/folder", {"*"}, &entries));
        QVERIFY(entries.isEmpty());
    }
};

QTEST_MAIN(TestMediaListing)
#include "tst_medialisting.moc"
