// The play queue's rules without a window: the session against the scripted
// engine, which ends each medium after a few status outputs.

#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "player/mvplaymodes.h"
#include "player/mvresumestore.h"
#include "support/enginetesthelpers.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSignalSpy>

namespace {
// The first medium plays for a second, the others through "loadlist" for a tenth.
const QString script =
    QStringLiteral("on %1 => line AO: [null] ;; status 3 30 ;; line EOF code: 1\n"
                   "line AO: [null]\nstatus 30 30\nline EOF code: 1\n")
        .arg(QStringLiteral("loadlist /tmp/movara_curmedia.name"));
} // namespace

class TestPlaybackSession : public QObject
{
    Q_OBJECT

private slots:
    void queuePolicy_data();
    void queuePolicy();
    void statusTellsChanges_data();
    void statusTellsChanges();
    void placesNotKept();
    void chapterKeys_data();
    void chapterKeys();
    void speedFollowsTheFolder();
};

void TestPlaybackSession::queuePolicy_data()
{
    QTest::addColumn<QStringList>("media");  // before a name "-": no such file, "0": empty
    QTest::addColumn<int>("start");          // -1: the first played alone
    QTest::addColumn<bool>("previous");      // Previous once the first plays
    QTest::addColumn<QStringList>("played"); // "!": a notice that it cannot play
    QTest::newRow("a folder plays through")
        << QStringList{"a", "b", "c"} << 0 << false << QStringList{"a", "b", "c"};
    QTest::newRow("a missing entry is passed over the way the user moved")
        << QStringList{"a", "-b", "c"} << 2 << true << QStringList{"c", "a", "c"};
    QTest::newRow("a medium played alone stops at its end")
        << QStringList{"a", "b"} << -1 << false << QStringList{"a"};
    QTest::newRow("an empty file never reaches the engine")
        << QStringList{"a", "0b", "c"} << 0 << false << QStringList{"a", "c", "!b"};
    QTest::newRow("an empty pick: the next plays")
        << QStringList{"0a", "b"} << 0 << false << QStringList{"b", "!a"};
}

void TestPlaybackSession::queuePolicy()
{
    QFETCH(QStringList, media);
    QFETCH(int, start);
    QFETCH(bool, previous);
    QFETCH(QStringList, played);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(script);
    QStringList paths;
    for (const QString &name : media) {
        paths << engine.dirPath + QLatin1Char('/') + name.right(1);
        QFile file(paths.last());
        QVERIFY(name.startsWith(QLatin1Char('-')) || file.open(QIODevice::WriteOnly));
        file.write(name.startsWith(QLatin1Char('0')) ? "" : "medium");
    }
    StdoutCapture capture;
    MvPlaybackSession session([] { return 0; });
    int stops = 0;
    connect(&session, &MvPlaybackSession::activeChanged, this, [&](bool on) { stops += !on; });
    QStringList got;
    connect(&session, &MvPlaybackSession::mediumChanged, this,
            [&](const QString &path) { got << QFileInfo(path).fileName(); });
    connect(&session, &MvPlaybackSession::notice, this,
            [&](MvPlaybackSession::Notice, const QString &name) { got << "!" + name; });
    if (start < 0)
        session.playAlone(paths.first());
    else
        session.playFolder(paths, start);
    QVERIFY(session.isActive());
    if (previous) {
        QTRY_VERIFY(session.control()->playbackState() == MvPlayerControl::PlaybackState::Playing);
        session.act(MvAction::Previous);
    }
    QTRY_VERIFY_WITH_TIMEOUT(stops > 0, 20000);
    QCOMPARE(got, played);
    QCOMPARE(stops, 1);
}

void TestPlaybackSession::statusTellsChanges_data()
{
    QTest::addColumn<QStringList>("acts"); // once the first medium has played a second
    QTest::addColumn<QStringList>("told"); // the status's changes after them
    QTest::newRow("pause and resume") << QStringList{"pause", "pause"}
                                      << QStringList{"paused=true", "paused=false", "position>0"};
    QTest::newRow("volume to the top and past it")
        << QStringList{"volume 98", "up", "up"}
        << QStringList{"volume=98", "volume=100", "position>0"};
    // The medium before's time is not the next one's, which starts unknown.
    QTest::newRow("next medium") << QStringList{"next"}
                                 << QStringList{"place=2/2", "position=-1", "length=-1",
                                                "medium=b",  "position=0",  "position>0"};
}

void TestPlaybackSession::statusTellsChanges()
{
    QFETCH(QStringList, acts);
    QFETCH(QStringList, told);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    // The first medium tells its length; the second does not.
    engine.setScript(QStringLiteral("on get_time_length => line ANS_LENGTH=180.00\n"
                                    "on loadlist /tmp/movara_curmedia.name => line AO: [null] ;; "
                                    "status 30 30\n"
                                    "line Audio file file format detected.\nline AO: [null]\n"
                                    "status 300 30\n"));
    const QStringList paths = {engine.dirPath + QStringLiteral("/a"),
                               engine.dirPath + QStringLiteral("/b")};
    for (const QString &path : paths) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
    }
    StdoutCapture capture;
    MvPlaybackSession session([] { return 0; });
    const MvPlaybackStatus *status = session.status();
    QStringList got;
    int changes = 0;
    // Positions are told by the whole second: one entry for a run of them.
    auto note = [&](const QString &entry) {
        if (got.isEmpty() || got.last() != entry || !entry.startsWith(QLatin1String("position")))
            got << entry;
    };
    connect(status, &MvPlaybackStatus::mediumChanged, this,
            [&](const QString &path) { note("medium=" + QFileInfo(path).fileName()); });
    connect(status, &MvPlaybackStatus::placeChanged, this, [&](int place, int count) {
        note(QStringLiteral("place=%1/%2").arg(place).arg(count));
    });
    connect(status, &MvPlaybackStatus::positionChanged, this, [&](double seconds) {
        note(seconds < 0 ? "position=-1" : seconds < 1 ? "position=0" : "position>0");
    });
    connect(status, &MvPlaybackStatus::lengthChanged, this,
            [&](double seconds) { note(QStringLiteral("length=%1").arg(seconds)); });
    connect(status, &MvPlaybackStatus::pausedChanged, this,
            [&](bool on) { note(on ? "paused=true" : "paused=false"); });
    connect(status, &MvPlaybackStatus::volumeChanged, this,
            [&](int percent) { note(QStringLiteral("volume=%1").arg(percent)); });
    connect(status, &MvPlaybackStatus::changed, this, [&] { ++changes; });

    session.playFolder(paths, 0);
    QTRY_VERIFY(status->position() >= 1 && status->length() == 180);
    QCOMPARE(status->place(), 1);
    QTRY_VERIFY(changes > 0);
    got.clear();
    changes = 0;
    for (const QString &act : acts) {
        if (act == QLatin1String("pause"))
            session.act(MvAction::PlayPause);
        else if (act == QLatin1String("up"))
            session.act(MvAction::VolumeUp);
        else if (act == QLatin1String("next"))
            session.act(MvAction::Next);
        else
            session.setVolume(act.section(QLatin1Char(' '), 1).toInt());
    }
    QTRY_COMPARE(got, told);
    // Everything one turn changed is told to remote views once; positions never.
    QCOMPARE(changes, 1);
}

void TestPlaybackSession::placesNotKept()
{
    // The user area is a small file system: filled up, nothing is written.
    const QString area = QFileInfo(QLatin1String(MvResumeStore::defaultPath)).path();
    QFile filler(area + QStringLiteral("/filler"));
    QVERIFY(QDir().mkpath(area) && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) > 0) {
    }
    MvPlaybackSession session([] { return 0; });
    QSignalSpy notices(&session, &MvPlaybackSession::notice);
    StdoutCapture errors(2);
    // Said once; once there is room, the next write keeps them.
    for (int write = 0; write < 3; ++write) {
        if (write == 2)
            filler.remove();
        session.setModes(true, MvPlayQueue::Repeat::Off);
        session.setResumeEnabled(write % 2);
    }
    const QString reason = QStringLiteral("playmodes.cfg: No space left on device");
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices[0][1].toString(), reason);
    QCOMPARE(errors.finish(), "movara: Cannot keep places: " + reason.toUtf8() + '\n');
    QVERIFY(MvPlayModes::load().shuffle && !MvResumeStore().isEnabled());
}

void TestPlaybackSession::chapterKeys_data()
{
    QTest::addColumn<QList<double>>("starts");
    QTest::addColumn<double>("place"); // where the engine stays, whatever it is told
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("seeks");
    const QList<double> four = {0, 10, 20.25, 30};
    QTest::newRow("6: the next chapter, to the millisecond")
        << four << 15.0 << "6" << QStringList{"seek 20.25 2"};
    QTest::newRow("6 twice before the engine tells: two on")
        << four << 5.0 << "66" << QStringList{"seek 10 2", "seek 20.25 2"};
    QTest::newRow("6 where a seek landed just short: the chapter after")
        << four << 9.8 << "6" << QStringList{"seek 20.25 2"};
    QTest::newRow("6 in the last chapter: nothing") << four << 35.0 << "6" << QStringList{};
    QTest::newRow("4 past 3 s into a chapter: its start")
        << four << 15.0 << "4" << QStringList{"seek 10 2"};
    QTest::newRow("4 within 3 s of a start: the one before")
        << four << 12.5 << "4" << QStringList{"seek 0 2"};
    QTest::newRow("4 twice: its start, then the one before")
        << four << 15.0 << "44" << QStringList{"seek 10 2", "seek 0 2"};
    QTest::newRow("no chapters: nothing") << QList<double>{} << 15.0 << "64" << QStringList{};
}

void TestPlaybackSession::chapterKeys()
{
    QFETCH(QList<double>, starts);
    QFETCH(double, place);
    QFETCH(QString, keys);
    QFETCH(QStringList, seeks);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    const QString status =
        QStringLiteral("raw A:%1 (%1) of 180.0\\r\nsleep 100\n").arg(place, 0, 'f', 1);
    engine.setScript(chapterScript(starts) + QStringLiteral("line AO: [null]\n") +
                     status.repeated(100));
    const QString medium = engine.dirPath + QStringLiteral("/book.m4b");
    QVERIFY(QFile::copy(engine.scriptPath, medium));
    StdoutCapture capture;
    MvPlaybackSession session([] { return 0; });
    session.playFolder({medium}, 0);
    QTRY_VERIFY(qAbs(session.status()->position() - place) < 0.01 &&
                session.status()->chapters().size() == starts.size());
    for (const QChar key : keys)
        session.act(key == u'6' ? MvAction::ChapterNext : MvAction::ChapterBack);
    // A command after them: once it is there, they are too.
    session.act(MvAction::VolumeUp);
    QTRY_VERIFY(engine.stdinLines().contains(QStringLiteral("volume 55 100")));
    QCOMPARE(engine.stdinLines().filter(QStringLiteral("seek ")), seeks);
}

// The speed key's steps; the speed goes again with each medium of the
// folder, and a folder never set plays at 1, in this run and the next.
void TestPlaybackSession::speedFollowsTheFolder()
{
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(QStringLiteral("on %1 => line AO: [null] ;; status 300 100\n"
                                    "line AO: [null]\nstatus 300 100\n")
                         .arg(QStringLiteral("loadlist /tmp/movara_curmedia.name")));
    QStringList media;
    for (const char *name : {"/A/a1", "/A/a2", "/B/b1"}) {
        media << engine.dirPath + QLatin1String(name);
        QVERIFY(QDir().mkpath(QFileInfo(media.last()).path()));
        QVERIFY(QFile::copy(engine.scriptPath, media.last()));
    }
    const auto speedLines = [&engine] {
        return engine.stdinLines().filter(QRegularExpression(QStringLiteral("^speed|name$")));
    };
    StdoutCapture capture;
    {
        MvPlaybackSession session([] { return 0; });
        session.playFolder(media.mid(0, 2), 0);
        QTRY_VERIFY(session.control()->playbackState() == MvPlayerControl::PlaybackState::Playing);
        for (int i = 0; i < 8; ++i)
            session.act(MvAction::Speed);
        session.act(MvAction::Next);
        session.playFolder(media.mid(2), 0);
        const QString load = QStringLiteral("loadlist /tmp/movara_curmedia.name");
        QTRY_COMPARE(speedLines(),
                     (QStringList{"speed_set 1.25", "speed_set 1.5", "speed_set 1.75",
                                  "speed_set 2", "speed_set 0.75", "speed_set 1", "speed_set 1.25",
                                  "speed_set 1.5", load, "speed_set 1.5", load, "speed_set 1"}));
    }
    // A new engine is told the folder's speed with its first commands.
    MvPlaybackSession again([] { return 0; });
    again.playFolder(media.mid(1, 1), 0);
    QCOMPARE(again.status()->speed(), 1.5);
    QTRY_COMPARE(speedLines().last(), QStringLiteral("speed_set 1.5"));
}

QTEST_MAIN(TestPlaybackSession)
#include "tst_playbacksession.moc"
