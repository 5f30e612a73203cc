// A board's own places and devices: the phone's paths moved by the
// environment, its backlights and panel blanking through sysfs.
#include "platform/boarddisplay.h"
#include "platform/boardpaths.h"
#include "support/scopedenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBoardPlatform : public QObject
{
    Q_OBJECT

private slots:
    void paths_data();
    void paths();
    void brightness_data();
    void brightness();
    void blankWritesOnlyWhatIsThere();
};

void TestBoardPlatform::paths_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("phonePath");
    QTest::addColumn<QString>("expected");

    QTest::addRow("inside the card")
        << QByteArray("MOVARA_CARD_ROOT") << QByteArray("/media/sd") << "/mmc/mmca1/Music/a.mp3"
        << "/media/sd/Music/a.mp3";
    QTest::addRow("records") << QByteArray("MOVARA_SETTINGS_DIR") << QByteArray("/var/lib/m")
                             << "/ezx_user/download/appwrite/movara/resume"
                             << "/var/lib/m/resume";
    QTest::addRow("a name that only begins like a root")
        << QByteArray("MOVARA_CARD_ROOT") << QByteArray("/media/sd") << "/mmc/mmca10/a.mp3"
        << "/mmc/mmca10/a.mp3";
    QTest::addRow("unset: the phone's own") << QByteArray("MOVARA_AUDIO_ROOT") << QByteArray()
                                            << "/ezxlocal/download/mystuff/MyRingTone/a.mp3"
                                            << "/ezxlocal/download/mystuff/MyRingTone/a.mp3";
    QTest::addRow("no phone path")
        << QByteArray("MOVARA_VIDEO_ROOT") << QByteArray("/srv/video") << "/tmp/a.avi"
        << "/tmp/a.avi";
}

void TestBoardPlatform::paths()
{
    QFETCH(QByteArray, variable);
    QFETCH(QByteArray, value);
    QFETCH(QString, phonePath);
    QFETCH(QString, expected);
    const ScopedEnv root(variable.constData(), value);
    QCOMPARE(QString::fromStdString(boardPath(phonePath.toStdString())), expected);
}

void TestBoardPlatform::brightness_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("brightness");
    QTest::addColumn<QByteArray>("written");

    QTest::addRow("on/off only, lit") << 1 << 60 << QByteArray("1");
    QTest::addRow("dimmest stays lit") << 7 << 1 << QByteArray("1");
    QTest::addRow("nought is off") << 7 << 0 << QByteArray("0");
    QTest::addRow("above the top") << 100 << 250 << QByteArray("100");
}

void TestBoardPlatform::brightness()
{
    QFETCH(int, maximum);
    QFETCH(int, brightness);
    QFETCH(QByteArray, written);
    QTemporaryDir sys;
    QVERIFY(QDir(sys.path()).mkpath(QStringLiteral("panel")));
    const auto put = [&](const char *name, const QByteArray &value) {
        QFile file(sys.filePath(QStringLiteral("panel/") + QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(value);
    };
    put("max_brightness", QByteArray::number(maximum) + '\n');
    put("brightness", "0\n");
    put("bl_power", "4\n");
    BoardDisplay::setPlaces(sys.path().toStdString(), sys.filePath("fb").toStdString());
    BoardDisplay::setBrightness(brightness);
    QFile level(sys.filePath(QStringLiteral("panel/brightness")));
    QVERIFY(level.open(QIODevice::ReadOnly));
    QCOMPARE(level.readAll(), written);
    QFile power(sys.filePath(QStringLiteral("panel/bl_power")));
    QVERIFY(power.open(QIODevice::ReadOnly));
    QCOMPARE(power.readAll(), QByteArray("0"));
}

// A backlight without a power switch, no framebuffer: blanking leaves them as
// they are and creates nothing.
void TestBoardPlatform::blankWritesOnlyWhatIsThere()
{
    QTemporaryDir sys;
    QVERIFY(QDir(sys.path()).mkpath(QStringLiteral("panel")));
    BoardDisplay::setPlaces(sys.path().toStdString(), sys.filePath("fb0").toStdString());
    BoardDisplay::setBlank(true);
    BoardDisplay::setBrightness(50);
    QCOMPARE(QDir(sys.filePath(QStringLiteral("panel"))).entryList(QDir::Files), QStringList());
    QVERIFY(!QFile::exists(sys.filePath(QStringLiteral("fb0"))));
}

QTEST_MAIN(TestBoardPlatform)
#include "tst_boardplatform.moc"
