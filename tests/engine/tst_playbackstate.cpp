// The control's one playback state against the scripted engine: each change
// told once, in order, and the pause signal in step with it.

#include "support/enginetesthelpers.h"

#include <QMetaEnum>

using State = MvPlayerControl::PlaybackState;

class TestPlaybackState : public QObject
{
    Q_OBJECT

private slots:
    void changes_data();
    void changes();
};

void TestPlaybackState::changes_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QString>("pauses");

    const QString plays = QStringLiteral("line AO: [null]\nline ANS_LENGTH=180.00\n");
    // Steps: "pause", "seek", "quit", or "wait STATE".
    QTest::addRow("starts and plays")
        << plays << QStringList{"wait Playing"} << QStringList{"Starting", "Playing"} << "";
    QTest::addRow("pause and resume")
        << plays << QStringList{"wait Playing", "pause", "pause"}
        << QStringList{"Starting", "Playing", "Paused", "Playing"} << "10";
    QTest::addRow("a seek leaves the pause")
        << plays << QStringList{"wait Playing", "pause", "seek"}
        << QStringList{"Starting", "Playing", "Paused", "Playing"} << "10";
    QTest::addRow("paused before the start")
        << "sleep 300\n" + plays << QStringList{"pause", "pause", "wait Playing"}
        << QStringList{"Starting", "Paused", "Starting", "Playing"} << "10";
    QTest::addRow("quit while paused")
        << plays << QStringList{"wait Playing", "pause", "quit", "wait Stopped"}
        << QStringList{"Starting", "Playing", "Paused", "Stopped"} << "10";
}

void TestPlaybackState::changes()
{
    QFETCH(QString, script);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, states);
    QFETCH(QString, pauses);
    EngineFixture engine;
    QVERIFY(engine.installEngine());
    engine.setScript(script);
    ProbeControl control(nullptr, 50, 0);
    const QMetaEnum names = QMetaEnum::fromType<State>();
    QStringList seen;
    QString pauseSignals;
    connect(&control, &MvPlayerControl::playbackStateChanged, this,
            [&](State state) { seen.append(QString::fromLatin1(names.valueToKey(int(state)))); });
    connect(&control, &MvPlayerControl::pauseChanged, this,
            [&](bool on) { pauseSignals += on ? QLatin1Char('1') : QLatin1Char('0'); });

    control.playFile(QStringLiteral("/media/a.mp3"));
    for (const QString &step : steps) {
        if (step == QLatin1String("pause"))
            control.togglePause();
        else if (step == QLatin1String("seek"))
            control.seek(15, 0);
        else if (step == QLatin1String("quit"))
            control.quitPlayer();
        else
            QTRY_COMPARE(QString::fromLatin1(names.valueToKey(int(control.playbackState()))),
                         step.mid(5));
    }
    QCOMPARE(seen, states);
    QCOMPARE(pauseSignals, pauses);
    QCOMPARE(control.property("playbackState").value<State>(), control.playbackState());
    // A length reply that comes while paused waits for the engine's next output.
    if (!steps.contains(QStringLiteral("pause"))) {
        QTRY_COMPARE(control.length(), 180.0f);
        QCOMPARE(control.property("length").toFloat(), 180.0f);
    }
    // The engine's end changes nothing more.
    control.quitPlayer();
    QTRY_VERIFY(!control.ownEngineRunning());
    QCOMPARE(seen.mid(states.size()),
             states.last() == QLatin1String("Stopped") ? QStringList{} : QStringList{"Stopped"});
}

QTEST_MAIN(TestPlaybackState)
#include "tst_playbackstate.moc"
