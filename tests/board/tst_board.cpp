// The board command in a virtual machine: Debian's kernel boots a small guest
// that enters this machine's root (read-only) and runs movara-board on a
// 240 x 320 framebuffer. From outside, the test reads the guest's screen,
// presses its keys and records its sound card.
#include "protocol/enginevolume.h"
#include "support/boardguest.h"
#include "support/requiredtools.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>
#include <cmath>

namespace {
const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
const QString qemu = QStringLiteral("qemu-system-x86_64");
// The program's volume at its start (50) on the samples; the card's own
// controls are at their top.
const double programVolumeGainDb = 20 * std::log10(EngineVolume::gain(50));
// ffmpeg's sine source: amplitude 1/8, an RMS of 20 log10(1 / (8 sqrt 2)) dBFS.
const double toneLevelDb = -21.07;

// The share of the screen in the clip's strong colours (ffmpeg's test
// pattern), which the program itself never draws over large areas.
double clipShare(const QImage &screen)
{
    int strong = 0;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            const QColor c = screen.pixelColor(x, y);
            if (c.hsvSaturation() > 150 && c.value() > 100 && (c.hue() < 190 || c.hue() > 250))
                ++strong;
        }
    }
    return double(strong) / double(screen.width() * screen.height());
}

// RMS level in dBFS of 16-bit samples.
double levelDb(const QByteArray &samples)
{
    const int count = int(samples.size() / 2);
    if (count == 0)
        return -200;
    double sum = 0;
    const auto *data = reinterpret_cast<const uchar *>(samples.constData());
    for (int i = 0; i < count; ++i) {
        const double v = qFromLittleEndian<qint16>(data + 2 * i) / 32768.0;
        sum += v * v;
    }
    return 10 * std::log10(std::max(sum / count, 1e-20));
}
} // namespace

class TestBoard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void boardRun();

private:
    BoardGuest guest;
};

void TestBoard::initTestCase()
{
    MOVARA_REQUIRE_TOOLS(qemu, QStringLiteral("ffmpeg"), QStringLiteral("cpio"),
                         QStringLiteral("amixer"), QStringLiteral("/usr/bin/mplayer"));
    QVERIFY(QFileInfo(binDir + QStringLiteral("/movara-board")).isExecutable());
    QString why;
    const BoardGuest::Build built = guest.build(&why);
    if (built == BoardGuest::Unavailable) {
        if (isContinuousIntegration())
            QFAIL(qPrintable(QStringLiteral("no guest, and CI installs it: ") + why));
        QSKIP(qPrintable(QStringLiteral("no guest can be built: ") + why));
    }
    QVERIFY2(built == BoardGuest::Built, qPrintable(why));
}

void TestBoard::boardRun()
{
    // The media: a moving test pattern without sound, a tone.
    const QString media = guest.dir() + QStringLiteral("/media");
    QDir().mkpath(media + QStringLiteral("/video"));
    QDir().mkpath(media + QStringLiteral("/audio"));
    const QList<QStringList> makes = {
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=320x240:rate=15:duration=60"), QStringLiteral("-c:v"),
         QStringLiteral("mpeg4"), QStringLiteral("-q:v"), QStringLiteral("5"),
         media + QStringLiteral("/video/pattern.avi")},
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("sine=frequency=1000:sample_rate=44100:duration=60"),
         QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
         media + QStringLiteral("/audio/tone.mp3")},
    };
    for (const QStringList &arguments : makes) {
        if (QFileInfo::exists(arguments.last()))
            continue;
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                                 QStringLiteral("error"), QStringLiteral("-y")} +
                         arguments);
        QVERIFY(ffmpeg.waitForFinished(120000));
        QCOMPARE(ffmpeg.exitCode(), 0);
    }

    // What the guest runs once it has entered this machine's root: the board
    // command, then what is left of Movara and its engine.
    const QString script = guest.dir() + QStringLiteral("/run.sh");
    QFile run(script);
    QVERIFY(run.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // A sanitizer build's options hold in the guest too.
    QByteArray sanitizers;
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            sanitizers += "export " + QByteArray(name) + "='" + qgetenv(name) + "'\n";
    }
    run.write(sanitizers);
    run.write(QStringLiteral(
                  "export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp\n"
                  "for m in bochs evdev virtio_input snd-intel8x0; do modprobe $m; done\n"
                  "MOVARA_ENGINE_START_MS=60000 %1/movara-board --phone /tmp/phone --video "
                  "%2/video --audio %2/audio 2>&1\n"
                  "echo \"board-ended $?\"\n"
                  "echo \"left: $(ps -eo comm= | grep -E '^(movara|mplayer)$' | tr '\\n' ' ')\"\n"
                  "echo board-done\n"
                  "poweroff -f\n")
                  .arg(binDir, media)
                  .toUtf8());
    run.close();

    const QString wav = guest.workPath(QStringLiteral("sound.wav"));
    QVERIFY(guest.boot(script, wav, {QStringLiteral("virtio-tablet-pci")}));

    // The browser at 240 x 320, with its title and the four roots.
    const QStringList roots = {QStringLiteral("Movara"), QStringLiteral("MyVideo"),
                               QStringLiteral("MyAudio"), QStringLiteral("My playlists"),
                               QStringLiteral("Memory card")};
    QImage seen;
    QVERIFY2(guest.waitForScreen(
                 [&](const QImage &s) {
                     return s.size() == QSize(240, 320) && BoardGuest::showsStatusArea(s) &&
                            std::all_of(roots.begin(), roots.end(), [&](const QString &text) {
                                return BoardGuest::showsText(s, text);
                            });
                 },
                 120000, &seen),
             guest.console().constData());
    QVERIFY(guest.point(QPoint(seen.width() / 2, seen.height() / 2), seen.size()));

    // Return opens the video root, the first row; there, Return plays the clip,
    // whose picture fills the screen and moves.
    QVERIFY(guest.key(QStringLiteral("ret")));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) { return BoardGuest::showsText(s, QStringLiteral("pattern.avi")); },
        60000));
    QVERIFY(guest.key(QStringLiteral("ret")));
    QVERIFY2(guest.waitForScreen([](const QImage &s) { return clipShare(s) > 0.5; }, 90000, &seen),
             guest.console().constData());
    QVERIFY(guest.waitForScreen([&](const QImage &s) { return clipShare(s) > 0.5 && s != seen; },
                                30000));

    // Return pauses: the picture stands still (three pictures alike in a row).
    QVERIFY(guest.key(QStringLiteral("ret")));
    int alike = 0;
    QVERIFY(guest.waitForScreen(
        [&](const QImage &s) {
            alike = clipShare(s) > 0.5 && s == seen ? alike + 1 : 0;
            seen = s;
            return alike == 3;
        },
        30000));

    // F2 is back in the browser, drawn whole.
    QVERIFY(guest.key(QStringLiteral("f2")));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) {
            return clipShare(s) < 0.05 && BoardGuest::showsStatusArea(s) &&
                   BoardGuest::showsText(s, QStringLiteral("pattern.avi"));
        },
        30000));

    // The tone: back to the roots (on the video root just left), into the audio
    // root, play its file. Its sound reaches the card at the program's volume.
    QVERIFY(guest.key(QStringLiteral("esc")));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) { return BoardGuest::showsText(s, QStringLiteral("MyAudio")); },
        30000));
    QVERIFY(guest.key(QStringLiteral("down")));
    QVERIFY(guest.key(QStringLiteral("ret")));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) { return BoardGuest::showsText(s, QStringLiteral("tone.mp3")); },
        30000));
    QFile sound(wav);
    QVERIFY(sound.open(QIODevice::ReadOnly));
    const qint64 before = sound.size();
    QVERIFY(guest.key(QStringLiteral("ret")));
    // A second of sound at 44.1 kHz, 16-bit stereo, once the tone is heard.
    const qint64 second = 44100 * 4;
    double level = -200;
    qint64 at = before;
    auto heard = [&] {
        for (; level <= -60 && sound.size() >= at + second; at += second) {
            sound.seek(at);
            level = levelDb(sound.read(second));
        }
        return level > -60;
    };
    QVERIFY2(QTest::qWaitFor(heard, 90000), "the captured sound is silent");
    // The next whole second is the tone at its steady level.
    QTRY_VERIFY_WITH_TIMEOUT(sound.size() >= at + second, 30000);
    sound.seek(at);
    level = levelDb(sound.read(second));
    qInfo("tone captured at %.1f dBFS; expected %.1f", level, toneLevelDb + programVolumeGainDb);
    QVERIFY2(std::abs(level - (toneLevelDb + programVolumeGainDb)) < 1.5,
             qPrintable(QString::number(level)));

    // F2 stops it; a tap on the right soft key goes back to the roots, where
    // that key ends Movara, and its engine with it.
    QVERIFY(guest.key(QStringLiteral("f2")));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) {
            return BoardGuest::showsText(s, QStringLiteral("tone.mp3")) &&
                   BoardGuest::showsText(s, QStringLiteral("Back"));
        },
        30000, &seen));
    QVERIFY(guest.tap(BoardGuest::wordAt(seen, QStringLiteral("Back")), seen.size()));
    QVERIFY(guest.waitForScreen(
        [](const QImage &s) { return BoardGuest::showsText(s, QStringLiteral("MyAudio")); },
        30000));
    QVERIFY(guest.key(QStringLiteral("esc")));
    QVERIFY(guest.waitForConsole("board-done", 60000));
    QVERIFY2(guest.console().contains("board-ended 0\n"), guest.console().constData());
    QVERIFY2(guest.console().contains("left: \n"), guest.console().constData());
}

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
