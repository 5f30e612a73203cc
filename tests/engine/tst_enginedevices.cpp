// Display, keypad-light and mixer requests, seen through the interposed
// fake of the phone's devices (run with LD_PRELOAD).

#include "support/enginetesthelpers.h"
#include "support/scopedenv.h"

#include "core/displaysettings.h"
#include "core/displaysettingsseam.h"
#include "platform/powermanagement.h"

#include <QSignalSpy>

namespace {
const QStringList backlightOnRequests = {
    "open /dev/fb0 2",      "ioctl /dev/fb0 0x4619 1",    "close /dev/fb0",
    "open /dev/keylight 2", "ioctl /dev/keylight 0xf0 0", "close /dev/keylight",
};
const QStringList keypadOnRequests = {
    "open /dev/fb0 2",     "close /dev/fb0", "open /dev/keylight 2", "ioctl /dev/keylight 0xf0 0",
    "close /dev/keylight",
};
} // namespace

class TestEngineDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void configuration_data();
    void configuration();
    void firstVideoKeepsDisplayLit();
    void brightnessGoesBeforeBacklight();
    void missingDevicesChangeNothing();
    void mixerRoute_data();
    void mixerRoute();
    void engineOutputDrivesDisplay();

private:
    QStringList requests() const;
    void clearRequests();
    void writeConfig(const QByteArray &content);

    QTemporaryDir dir;
    QString logPath;
    QString configPath;
    QList<int> sleepTimes;
    // The fake's settings, as the tests set them, and none from outside.
    std::optional<ScopedEnv> deviceLog, devices, mixerState;
};

void TestEngineDevices::initTestCase()
{
    QVERIFY2(qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("movara_devicefake")),
             "run with the device fake preloaded");
    logPath = dir.path() + QStringLiteral("/devices.log");
    configPath = dir.path() + QStringLiteral("/ezx_system.cfg");
    deviceLog.emplace("MOVARA_FAKE_DEVICE_LOG", QFile::encodeName(logPath));
    devices.emplace("MOVARA_FAKE_DEVICES");
    mixerState.emplace("MOVARA_FAKE_MIXER_STATE");
    PM_setLcdSleepTimeListener([this](int seconds) { sleepTimes.append(seconds); });
}

void TestEngineDevices::init()
{
    QFile::remove(configPath);
    resetDisplaySettingsForTest(QFile::encodeName(configPath).constData());
    clearRequests();
    sleepTimes.clear();
}

QStringList TestEngineDevices::requests() const
{
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

void TestEngineDevices::clearRequests()
{
    QFile::remove(logPath);
}

void TestEngineDevices::writeConfig(const QByteArray &content)
{
    QFile file(configPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void TestEngineDevices::configuration_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("sleepTime");
    QTest::addColumn<int>("brightness");

    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 131 + 7) % 256));
    const QByteArray longWord(100000, 'W');

    QTest::addRow("missing") << false << QByteArray() << 30 << 25;
    QTest::addRow("empty") << true << QByteArray() << 30 << 25;
    QTest::addRow("both settings")
        << true << QByteArray("LcdSleepTime = 2\nBrightness = 60\n") << 300 << 60;
    QTest::addRow("every index") << true
                                 << QByteArray("LcdSleepTime = 0\nLcdSleepTime = 1\n"
                                               "LcdSleepTime = 3\n")
                                 << 600 << 25;
    QTest::addRow("later line wins")
        << true << QByteArray("Brightness = 40\nBrightness = 45\n") << 30 << 45;
    QTest::addRow("contained key") << true << QByteArray("MaxBrightness = 7\n") << 30 << 7;
    QTest::addRow("both keys on a line is brightness")
        << true << QByteArray("LcdSleepTime = 1 Brightness = 3\n") << 30 << 1;
    QTest::addRow("index too big keeps value")
        << true << QByteArray("LcdSleepTime = 1\nLcdSleepTime = 4\n") << 60 << 25;
    QTest::addRow("negative index keeps value")
        << true << QByteArray("LcdSleepTime = 2\nLcdSleepTime = -1\n") << 300 << 25;
    QTest::addRow("index not a number") << true << QByteArray("LcdSleepTime = two\n") << 30 << 25;
    QTest::addRow("brightness not a number")
        << true << QByteArray("Brightness = 50\nBrightness = bright\nBrightness = \n") << 30 << 50;
    QTest::addRow("no blanks around =") << true << QByteArray("Brightness=70\n") << 30 << 25;
    QTest::addRow("binary garbage") << true << garbage + "\nBrightness = 33\n" << 30 << 33;
    QTest::addRow("first word of 100000 characters")
        << true << longWord + " Brightness = 9\nLcdSleepTime = 1\n"
        << 60 << 25;
    QTest::addRow("word of 511 characters")
        << true << QByteArray(511 - 10, 'x') + "Brightness = 12\n"
        << 30 << 12;
}

void TestEngineDevices::configuration()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(int, sleepTime);
    QFETCH(int, brightness);
    if (present)
        writeConfig(content);

    restoreDisplay();
    QCOMPARE(sleepTimes, QList<int>{sleepTime});
    // The brightness starts as configured, so asking for it sends nothing.
    QCOMPARE(requests(), backlightOnRequests);

    clearRequests();
    setBacklight(true, brightness);
    QCOMPARE(requests(), keypadOnRequests);

    // Loaded once: a changed file is not read again.
    writeConfig("LcdSleepTime = 3\n");
    restoreDisplay();
    QCOMPARE(sleepTimes.last(), sleepTime);
}

void TestEngineDevices::firstVideoKeepsDisplayLit()
{
    writeConfig("LcdSleepTime = 1\n");
    setVideoDisplay(true);
    QCOMPARE(sleepTimes, QList<int>{0});
    QCOMPARE(requests(), backlightOnRequests);

    clearRequests();
    setVideoDisplay(true);
    QCOMPARE(sleepTimes, QList<int>{0});
    QCOMPARE(requests(), QStringList());

    restoreDisplay();
    QCOMPARE(sleepTimes, (QList<int>{0, 60}));
    QCOMPARE(requests(), keypadOnRequests);
}

void TestEngineDevices::brightnessGoesBeforeBacklight()
{
    setBacklight(true, 80);
    QCOMPARE(requests(),
             (QStringList{"open /dev/fb0 2", "ioctl /dev/fb0 0x461b 80", "ioctl /dev/fb0 0x4619 1",
                          "close /dev/fb0", "open /dev/keylight 2", "ioctl /dev/keylight 0xf0 0",
                          "close /dev/keylight"}));
    clearRequests();
    setBacklight(false, 80);
    QCOMPARE(requests(), (QStringList{"open /dev/fb0 2", "ioctl /dev/fb0 0x4619 0",
                                      "close /dev/fb0", "open /dev/keylight 2",
                                      "ioctl /dev/keylight 0xf2 0", "close /dev/keylight"}));
}

void TestEngineDevices::missingDevicesChangeNothing()
{
    std::optional<ScopedEnv> missing;
    missing.emplace("MOVARA_FAKE_DEVICES", "missing");
    restoreDisplay();
    QCOMPARE(sleepTimes, QList<int>{30});
    QCOMPARE(requests(), QStringList{"open /dev/fb0 missing"});

    // Nothing was recorded: the backlight is still taken to be off.
    missing.reset();
    clearRequests();
    setBacklight(true, 25);
    QCOMPARE(requests(), backlightOnRequests);
}

void TestEngineDevices::mixerRoute_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QStringList>("expected");

    const QString open = QStringLiteral("open /dev/mixer 0");
    const QString close = QStringLiteral("close /dev/mixer");
    const QString gain = QStringLiteral("ioctl /dev/mixer 0xc0044d0d 70");
    for (const char *value : {"2", "0", "1", "7"}) {
        const QString route =
            QStringLiteral("ioctl /dev/mixer 0xc0044dfa %1").arg(qstrcmp(value, "2") == 0 ? 0 : 1);
        QTest::addRow("output state %s", value)
            << QByteArray(value)
            << QStringList{open, "ioctl /dev/mixer 0x80044ded " + QString::fromLatin1(value), route,
                           gain, close};
    }
    QTest::addRow("state read fails")
        << QByteArray("fail") << QStringList{open, "ioctl /dev/mixer 0x80044ded failed", close};
    QTest::addRow("missing") << QByteArray("missing") << QStringList{"open /dev/mixer missing"};
}

void TestEngineDevices::mixerRoute()
{
    QFETCH(QByteArray, state);
    QFETCH(QStringList, expected);
    const bool missing = state == "missing";
    const ScopedEnv fake(missing ? "MOVARA_FAKE_DEVICES" : "MOVARA_FAKE_MIXER_STATE", state);
    ProbeControl control(nullptr, 50, 0);
    QCOMPARE(requests(), expected);
}

void TestEngineDevices::engineOutputDrivesDisplay()
{
    writeConfig("LcdSleepTime = 3\nBrightness = 40\n");
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(
        QStringLiteral("line VIDEO:  [H264]  240x320  24bpp  25.000 fps\nexpect next\n"
                       "line Audio file file format detected.\nexpect next\nexit 0\n"));
    ProbeControl control(nullptr, 50, 0);
    QSignalSpy exited(&control, &MvPlayerControl::processExited);
    clearRequests();
    control.playFile(QStringLiteral("/media/clip.mp4"));

    // A video keeps the display lit.
    QTRY_COMPARE(sleepTimes, QList<int>{0});
    QCOMPARE(requests(), backlightOnRequests);

    // An audio file and the engine's exit give the configured settings back.
    control.sendCommand(QStringLiteral("next\n"));
    QTRY_COMPARE(sleepTimes, (QList<int>{0, 600}));
    control.sendCommand(QStringLiteral("next\n"));
    QVERIFY(exited.wait(10000));
    QCOMPARE(sleepTimes, (QList<int>{0, 600, 600}));
}

QTEST_GUILESS_MAIN(TestEngineDevices)
#include "tst_enginedevices.moc"
