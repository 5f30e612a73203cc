// Where the sleep timer finds the ends of files and chapters.

#include "player/mvsleeptimer.h"

#include <QTest>

class TestSleepTimer : public QObject
{
    Q_OBJECT

private slots:
    void secondsToEnd_data();
    void secondsToEnd();
};

void TestSleepTimer::secondsToEnd_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<double>("position");
    QTest::addColumn<QList<double>>("chapters"); // start and end, pairwise
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("left");
    const int file = MvSleepTimer::EndOfFile;
    const int chapter = MvSleepTimer::EndOfChapter;
    // A medium 180 s long.
    QTest::newRow("end of file") << file << 170.0 << QList<double>{} << 1.0 << 10.0;
    QTest::newRow("end of file at twice the speed")
        << file << 170.0 << QList<double>{} << 2.0 << 5.0;
    QTest::newRow("no place yet") << file << -1.0 << QList<double>{} << 1.0 << -1.0;
    QTest::newRow("a set time has no end here") << 15 << 170.0 << QList<double>{} << 1.0 << -1.0;
    QTest::newRow("a chapter's own end")
        << chapter << 50.0 << QList<double>{0, 60, 60, 180} << 1.0 << 10.0;
    QTest::newRow("a chapter without an end: the next one's start")
        << chapter << 50.0 << QList<double>{0, 0, 55, 0} << 1.0 << 5.0;
    QTest::newRow("the last chapter: the medium's end")
        << chapter << 170.0 << QList<double>{0, 0, 100, 0} << 1.0 << 10.0;
    QTest::newRow("before the first chapter")
        << chapter << 5.0 << QList<double>{10, 0} << 1.0 << -1.0;
    QTest::newRow("no chapters") << chapter << 5.0 << QList<double>{} << 1.0 << -1.0;
}

void TestSleepTimer::secondsToEnd()
{
    QFETCH(int, setting);
    QFETCH(double, position);
    QFETCH(QList<double>, chapters);
    QFETCH(double, speed);
    QFETCH(double, left);
    QVector<MvChapter> marks;
    for (int i = 0; i + 1 < chapters.size(); i += 2)
        marks.append({chapters.at(i), chapters.at(i + 1), QString()});
    QCOMPARE(MvSleepTimer::secondsToEnd(setting, position, 180, marks, speed), left);
}

QTEST_GUILESS_MAIN(TestSleepTimer)
#include "tst_sleeptimer.moc"
