#include "platform/systemsettings.h"
#include "support/scopedenv.h"

#include <QTemporaryDir>
#include <QTest>

// The phone's configured display sleep time, read from its system file.
class TestSystemSettings : public QObject
{
    Q_OBJECT

private slots:
    void sleepTime_data();
    void sleepTime();
    void missingFileKeepsTheDisplayLit();
    void secondLength_data();
    void secondLength();
};

void TestSystemSettings::sleepTime_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("seconds");

    QTest::addRow("index 0") << QByteArray("LcdSleepTime = 0\n") << 30;
    QTest::addRow("index 1 among others")
        << QByteArray("[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 1\nVolume = 3\n") << 60;
    QTest::addRow("index 2, no line end") << QByteArray("LcdSleepTime = 2") << 300;
    QTest::addRow("index 3") << QByteArray("LcdSleepTime = 3\n") << 600;
    QTest::addRow("the later line wins")
        << QByteArray("LcdSleepTime = 3\nLcdSleepTime = 0\n") << 30;
    QTest::addRow("index outside the table") << QByteArray("LcdSleepTime = 4\n") << 0;
    QTest::addRow("index outside the table after a valid one")
        << QByteArray("LcdSleepTime = 1\nLcdSleepTime = 7\n") << 60;
    QTest::addRow("not a number") << QByteArray("LcdSleepTime = soon\n") << 0;
    QTest::addRow("no sleep line") << QByteArray("Brightness = 60\n") << 0;
    // The program reads the same file by the same rule: a line counts when it
    // contains the setting's name, and a brightness line is nothing else.
    QTest::addRow("a key containing the name") << QByteArray("MaxLcdSleepTime = 2\n") << 300;
    QTest::addRow("a brightness line naming the sleep time")
        << QByteArray("Brightness = 60 LcdSleepTime = 2\n") << 0;
}

void TestSystemSettings::sleepTime()
{
    QFETCH(QByteArray, content);
    QFETCH(int, seconds);
    QTemporaryDir dir;
    QFile file(dir.filePath("ezx_system.cfg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QCOMPARE(systemLcdSleepTime(QFile::encodeName(file.fileName()).constData()), seconds);
}

void TestSystemSettings::missingFileKeepsTheDisplayLit()
{
    QCOMPARE(systemLcdSleepTime("/nonexistent/ezx_system.cfg"), 0);
}

void TestSystemSettings::secondLength_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("ms");

    QTest::addRow("unset") << QByteArray() << 1000;
    QTest::addRow("shortened") << QByteArray("50") << 50;
    QTest::addRow("zero") << QByteArray("0") << 1000;
    QTest::addRow("longer than a second") << QByteArray("5000") << 1000;
    QTest::addRow("garbage") << QByteArray("fast") << 1000;
}

void TestSystemSettings::secondLength()
{
    QFETCH(QByteArray, value);
    QFETCH(int, ms);
    const ScopedEnv length("MOVARA_LCD_SECOND_MS", value);
    QCOMPARE(lcdSecondLength(), ms);
}

QTEST_MAIN(TestSystemSettings)
#include "tst_systemsettings.moc"
