// What a listener hears: the whole program in the phone launcher plays three
// parts of one continuous tone through a private sound server, whose sink is
// recorded. Every part is heard whole, the first half second is as loud as
// the rest, and with mpv the parts follow one another without a gap, a file
// that cannot play between them costs a moment, and the last part is heard
// to its end. A tone played faster keeps its pitch.
#include "player/mvplayercontrol.h"
#include "support/processes.h"
#include "support/requiredtools.h"
#include "support/soundserver.h"
#include "support/testmedia.h"
#include "support/xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointF>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
// Gaps show at the parts' boundaries and a loud start in the first half
// second: short parts are enough.
const int parts = 3;

// Each row: the parts' format and seconds, whether a file that cannot play
// follows the first, and the sink's latency (0: the server's own). The rows
// for mpv alone have another stream keep the sink running, so that a time
// without any stream is recorded as silence and no start is cut; at the
// server's own latency an engine leaves about 0.1 s of 9 s at the server.
struct Row
{
    const char *name, *format;
    int seconds;
    bool broken, mpvOnly;
    int latencyMs;
};
const Row rows[] = {
    {"flac", "flac", 1, false, false, 10},
    {"mp3", "mp3", 1, false, false, 10},
    {"mp3, a file that cannot play between", "mp3", 1, true, true, 10},
    {"flac, another stream keeps the sink busy", "flac", 3, false, true, 0},
};

QString displayIn(const QByteArray &said)
{
    const int at = said.indexOf("Xvfb :");
    return at < 0 ? QString() : QString::fromLatin1(said.mid(at + 5).split(' ').first());
}

// Whether an engine (or its adapter) still runs below pid.
bool engineBelow(qint64 pid)
{
    for (qint64 child : childrenOf(pid)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(child));
        if (comm.open(QIODevice::ReadOnly)) {
            const QByteArray name = comm.readAll().trimmed();
            if (name == "mplayer" || name == "mpv")
                return true;
        }
        if (engineBelow(child))
            return true;
    }
    return false;
}

// A recorded tone's frequency by its left channel's crossings of zero upwards,
// over the last `seconds` of its sound.
double toneFrequency(const QByteArray &raw, double seconds)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    qsizetype last = raw.size() / 4 - 1;
    while (last > 0 && std::abs(samples[2 * last]) <= 2)
        --last;
    const qsizetype from = last - qsizetype(seconds * SoundServer::rate);
    int crossings = 0;
    for (qsizetype i = std::max<qsizetype>(from, 0) + 1; i <= last; ++i)
        crossings += samples[2 * (i - 1)] < 0 && samples[2 * i] >= 0;
    return crossings / seconds;
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void folderIsHeardWhole_data();
    void folderIsHeardWhole();
    void fasterKeepsThePitch();

private:
    QTemporaryDir work;
    SoundServer sound;
};

void TestSound::initTestCase()
{
    MOVARA_REQUIRE_TOOLS("bwrap", "ffmpeg", "Xvfb", "xdotool", "pulseaudio", "parec",
                         engineUnderTest());
    QVERIFY(work.isValid());
    // A phone folder that needs no demo media.
    for (const char *dir : {"video", "audio", "playlist", "card"})
        QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("phone/") + dir)));
    QFile config(work.filePath("phone/ezx_system.cfg"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[SYS_SETUP]\nBrightness = 60\nLcdSleepTime = 1\n");
    config.close();
    QVERIFY(QFile(work.filePath("phone/.demo-made")).open(QIODevice::WriteOnly));
    // The server's socket where a desktop has it when the machine lets us,
    // else in the working folder, which the launcher shows at its own path.
    const QString runRoot = QStringLiteral("/run/user");
    QVERIFY(sound.start(QFileInfo(runRoot).isWritable() ? runRoot : work.path()) ||
            sound.start(work.path()));
    QVERIFY(makeTestMedium(work.filePath("tone.flac"), false, 6));
    // Parts cut from one tone: a gap or a cut is silence or missing time.
    for (const Row &row : rows) {
        const QString path = work.filePath(QString::number(&row - rows));
        QVERIFY(QDir().mkpath(path));
        const int seconds = row.seconds;
        for (int i = 0; i < parts && (mpvUnderTest() || !row.mpvOnly); ++i) {
            const QString file =
                QStringLiteral("%1/part %2.%3").arg(path).arg(i + 1).arg(row.format);
            QCOMPARE(QProcess::execute(
                         "ffmpeg",
                         {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          QStringLiteral("sine=frequency=440:duration=%1").arg(parts * seconds),
                          "-ss", QString::number(i * seconds), "-t", QString::number(seconds),
                          "-ar", "44100", file}),
                     0);
        }
        QFile broken(QStringLiteral("%1/part 1b.%2").arg(path, row.format));
        QVERIFY(!row.broken || (broken.open(QIODevice::WriteOnly) && broken.write("no sound\n")));
    }
}

void TestSound::folderIsHeardWhole_data()
{
    QTest::addColumn<int>("index");
    for (const Row &row : rows)
        QTest::newRow(row.name) << int(&row - rows);
}

void TestSound::folderIsHeardWhole()
{
    QFETCH(int, index);
    const Row &row = rows[index];
    if (row.mpvOnly && !mpvUnderTest())
        QSKIP("MPlayer waits a second for a word more, and at each change for the server");
    QVERIFY(sound.startRecording(row.latencyMs));
    QVERIFY(!row.mpvOnly || sound.keepSinkBusy(row.latencyMs));

    QProcessEnvironment env = sound.environment(QProcessEnvironment::systemEnvironment());
    env.remove("DISPLAY");
    env.remove("MOVARA_PHONE");
    env.remove("QT_QPA_PLATFORM");
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(work.path());
    launcher.start(binDir + "/movara-phone",
                   {"--phone", work.filePath("phone"), "--audio",
                    work.filePath(QString::number(index)), "--engine",
                    mpvUnderTest() ? "mpv" : "mplayer", "--", binDir + "/movara"});
    QVERIFY(launcher.waitForStarted());
    QByteArray said, out;
    QTRY_VERIFY2_WITH_TIMEOUT(!displayIn(said += launcher.readAllStandardError()).isEmpty(),
                              said.constData(), 60000);
    XSession x(displayIn(said));
    qulonglong window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = x.findWindow(QStringLiteral("^Movara$"), 0)) != 0, 60000);

    // The audio root, the second row, then its first file.
    for (const char *key : {"Down", "Return", "Return"})
        QVERIFY(x.key(window, QLatin1String(key)));
    QTRY_VERIFY_WITH_TIMEOUT((out += launcher.readAllStandardOutput()).contains("fileChanged : "),
                             20000);
    // Played through: the program leaves play mode, and its engine has gone.
    QTRY_VERIFY2_WITH_TIMEOUT((out += launcher.readAllStandardOutput()).count("fileChanged : ") >=
                                      parts + int(row.broken) &&
                                  !engineBelow(launcher.processId()),
                              out.constData(), 90000);
    // The engine has gone: what it played has reached the sink.
    QVERIFY(sound.awaitQuiet(500));
    const HeardSound heard = HeardSound::of(sound.stopRecording());
    launcher.terminate();
    QVERIFY(launcher.waitForFinished(20000));
    qInfo("%s", qPrintable(heard.account()));

    const double length = parts * row.seconds;
    // mpv drops what it holds of a part when the next file cannot be opened,
    // as in a playlist of its own: its buffers, 0.5 s.
    const double dropped = row.broken ? 0.5 : 0;
    QVERIFY2(heard.heard >= length - dropped - 0.1, qPrintable(heard.account()));
    QVERIFY2(heard.loudestStart <= 3, qPrintable(heard.account()));
    if (!mpvUnderTest())
        return;
    // mpv says at once why it cannot play a file: it costs no more than a moment.
    QVERIFY2(heard.longestSilence() <= (row.broken ? 200 : 5), qPrintable(heard.account()));
    // The last part is heard to its end, whatever the server holds.
    if (row.latencyMs == 0)
        QVERIFY2(heard.heard >= length - 0.005, qPrintable(heard.account()));
}

// The program's argument list; 1.5 times as fast after the first second:
// 440 Hz stays 440 Hz, the time shown runs 1.5 s a second, and the change is
// not heard as a gap.
void TestSound::fasterKeepsThePitch()
{
    QVERIFY(sound.startRecording(10));
    QProcessEnvironment env = sound.environment(QProcessEnvironment::systemEnvironment());
    env.remove("DISPLAY");
    QProcess engine;
    engine.setProcessEnvironment(env);
    engine.start(binDir + "/mplayer", MvPlayerControl::engineArguments(work.filePath("tone.flac")));
    QVERIFY(engine.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += engine.readAllStandardOutput()).contains("A:   1."), 20000);
    engine.write("speed_set 1.5\n");
    QElapsedTimer clock;
    clock.start();
    // The time shown, against the clock when it moved: from half a second after the change,
    // and last.
    QPointF first, last;
    auto follow = [&] {
        out += engine.readAllStandardOutput();
        const QByteArray status = out.left(out.lastIndexOf('\r'));
        const double shown =
            status.mid(status.lastIndexOf("A:") + 2).trimmed().split(' ')[0].toDouble();
        if (shown != last.y())
            last = QPointF(clock.elapsed() / 1000.0, shown);
        if (first.isNull() && last.x() >= 0.5)
            first = last;
        return out.contains("EOF code: 1");
    };
    QTRY_VERIFY_WITH_TIMEOUT(follow(), 20000);
    QVERIFY(sound.awaitQuiet(500));
    const QByteArray raw = sound.stopRecording();
    engine.write("quit\n");
    QVERIFY(engine.waitForFinished(10000));
    const HeardSound heard = HeardSound::of(raw);
    const double frequency = toneFrequency(raw, 2);
    const double rate = (last.y() - first.y()) / (last.x() - first.x());
    const QString account =
        heard.account() + QStringLiteral("; %1 Hz; shown %2 s a second").arg(frequency).arg(rate);
    qInfo("%s", qPrintable(account));
    QVERIFY2(qAbs(frequency - 440) <= 4.4, qPrintable(account));
    QVERIFY2(heard.longestSilence() <= 50, qPrintable(account));
    QVERIFY2(qAbs(rate - 1.5) <= 0.15, qPrintable(account));
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
