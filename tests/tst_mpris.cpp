// The media controls' view of what plays: addresses the desktop can open,
// the place to a tenth, seeking once a length is known, and a name of its
// own on the bus beside other instances with the same pid.
#include "player/mvaction.h"
#include "remote/mvmpris.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

#include <unistd.h>

class TestMpris : public QObject
{
    Q_OBJECT

private slots:
    void hostAddresses_data();
    void hostAddresses();
    void positionAndSeeking_data();
    void positionAndSeeking();
    void rateRequests_data();
    void rateRequests();
    void nameBesideSamePid();
};

void TestMpris::hostAddresses_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    QTest::newRow("below a bound folder") << "/mmc/mmca1/Music/01 a.mp3"
                                          << "file:///home/u/phone/card/Music/01%20a.mp3";
    QTest::newRow("the deeper binding") << "/mmc/mmca1/inner/x.mp3"
                                        << "file:///srv/inner/x.mp3";
    QTest::newRow("a name that only begins alike") << "/mmc/mmca10/x.mp3"
                                                   << "file:///mmc/mmca10/x.mp3";
    QTest::newRow("under no binding") << "/tmp/cover.png"
                                      << "file:///tmp/cover.png";
    QTest::newRow("line break, percent and a Latin-1 byte in the host's name")
        << "/ezxlocal/odd/x.mp3"
        << "file:///home/u/a%0Ab%25c%E9/x.mp3";
}

void TestMpris::hostAddresses()
{
    QFETCH(QString, path);
    QFETCH(QString, url);
    MvMpris mpris(nullptr);
    mpris.setHostPaths("/mmc/mmca1=/home/u/phone/card\nnot a binding\n/mmc/mmca1/inner=/srv/inner\n"
                       "/ezxlocal/odd=/home/u/a%0Ab%25c%E9");
    mpris.setTrack(path, "t", QString(), QString(), path);
    const QVariantMap metadata = mpris.metadata();
    QCOMPARE(metadata.value("xesam:url").toString(), url);
    QCOMPARE(metadata.value("mpris:artUrl").toString(), url);
}

void TestMpris::positionAndSeeking_data()
{
    QTest::addColumn<double>("engineTime");
    QTest::addColumn<double>("length");
    QTest::addColumn<qlonglong>("position");
    QTest::addColumn<bool>("canSeek");
    QTest::newRow("to a tenth") << 40.3 << 600.0 << qlonglong(40300000) << true;
    QTest::newRow("past an hour") << 3666.4 << 3720.0 << qlonglong(3666400000) << true;
    QTest::newRow("under a second long") << 0.2 << 0.5 << qlonglong(200000) << true;
    QTest::newRow("no length") << 1.0 << 0.0 << qlonglong(1000000) << false;
    QTest::newRow("time unknown") << -1.0 << 10.0 << qlonglong(0) << true;
}

void TestMpris::positionAndSeeking()
{
    QFETCH(double, engineTime);
    QFETCH(double, length);
    QFETCH(qlonglong, position);
    QFETCH(bool, canSeek);
    MvMpris mpris(nullptr);
    mpris.setPositionSource([engineTime] { return engineTime; });
    mpris.setTrack("/m/a.mp3", QString(), QString(), QString(), QString());
    mpris.setStatus(MvMpris::Status::Playing);
    mpris.setLength(length);
    QCOMPARE(mpris.position(), position);
    QCOMPARE(mpris.canSeek(), canSeek);
}

void TestMpris::rateRequests_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("requested"); // a rate, "pause" or nothing
    QTest::newRow("a step") << 1.5 << "1.5";
    QTest::newRow("too fast: the fastest") << 8.0 << "3";
    QTest::newRow("too slow: the slowest") << 0.1 << "0.5";
    QTest::newRow("0 pauses") << 0.0 << "pause";
    QTest::newRow("backwards: refused") << -1.0 << "";
}

void TestMpris::rateRequests()
{
    QFETCH(double, rate);
    QFETCH(QString, requested);
    MvMpris mpris(nullptr);
    mpris.setTrack("/m/a.mp3", QString(), QString(), QString(), QString());
    mpris.setStatus(MvMpris::Status::Playing);
    QString got;
    connect(&mpris, &MvMpris::rateRequested, this, [&](double asked) { got.setNum(asked); });
    connect(&mpris, &MvMpris::actionRequested, this, [&](int action) {
        got = action == int(MvAction::PlayPause) ? QStringLiteral("pause") : QString();
    });
    QVERIFY(mpris.setProperty("Rate", rate));
    QCOMPARE(got, requested);
}

void TestMpris::nameBesideSamePid()
{
    if (qEnvironmentVariableIsEmpty("MOVARA_TEST_PRIVATE_BUS"))
        QSKIP("needs a session bus of its own (tst_mpris_bus)");
    // Two sandboxed instances before it, with its pid inside their sandboxes.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
    QVERIFY(other.registerService("org.mpris.MediaPlayer2.movara"));
    QVERIFY(other.registerService(
        QStringLiteral("org.mpris.MediaPlayer2.movara.instance%1").arg(::getpid())));
    MvMpris mpris(nullptr);
    QVERIFY(mpris.isRegistered());
    QVERIFY(mpris.serviceName().startsWith("org.mpris.MediaPlayer2.movara.instance"));
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(mpris.serviceName()));
}

QTEST_MAIN(TestMpris)
#include "tst_mpris.moc"
