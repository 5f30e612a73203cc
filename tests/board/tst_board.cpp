// The board command in a virtual machine: Debian's kernel boots a small guest
// that enters this machine's root (read-only) and runs movara-board on a
// 240 x 320 framebuffer. From outside, the test reads the guest's screen,
// presses its keys and records its sound card.
#include "protocol/enginevolume.h"
#include "support/requiredtools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {
const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
const QString sourceDir = QStringLiteral(MOVARA_SOURCE_DIR);
const QString qemu = QStringLiteral("qemu-system-x86_64");
// The program's volume at its start (50) on the samples; the card's own
// controls are at their top.
const double programVolumeGainDb = 20 * std::log10(EngineVolume::gain(50));
// ffmpeg's sine source: amplitude 1/8, an RMS of 20 log10(1 / (8 sqrt 2)) dBFS.
const double toneLevelDb = -21.07;

// A picture's pixels that stand out from their background: dark ones, or
// light ones; a pixel beside one counts too, as glyphs may be placed a pixel
// apart from one way of drawing to another.
std::vector<bool> inkOf(const QImage &image, bool light)
{
    std::vector<bool> ink(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int gray = qGray(image.pixel(x, y));
            ink[size_t(y) * size_t(image.width()) + size_t(x)] = light ? gray > 170 : gray < 128;
        }
    }
    std::vector<bool> wide = ink;
    for (size_t i = 1; i + 1 < ink.size(); ++i)
        wide[i] = ink[i - 1] || ink[i] || ink[i + 1];
    return wide;
}

// Whether the screen shows a word, in the desktop's default font at any of the
// sizes a 240 x 320 screen may use: the word is drawn here and looked for,
// pixel by pixel, as dark on light or light on dark.
bool showsWord(const QImage &screen, const QString &text)
{
    const QImage rgb = screen.convertToFormat(QImage::Format_RGB32);
    const std::vector<bool> dark = inkOf(rgb, false), light = inkOf(rgb, true);
    for (int bold = 0; bold < 2; ++bold) {
        // Point sizes on a screen of 100 dots per inch, the framebuffer's
        // when it does not know its own size.
        for (int pixels = 20; pixels <= 36; ++pixels) {
            QFont font;
            font.setPointSizeF(pixels / 2.0 * 72 / 100);
            font.setBold(bold);
            QImage glyphs(1, 1, QImage::Format_RGB32);
            glyphs.setDotsPerMeterX(3937);
            glyphs.setDotsPerMeterY(3937);
            const QFontMetrics metrics(font, &glyphs);
            glyphs =
                QImage(metrics.horizontalAdvance(text) + 2, metrics.height(), QImage::Format_RGB32);
            glyphs.setDotsPerMeterX(3937);
            glyphs.setDotsPerMeterY(3937);
            glyphs.fill(Qt::white);
            QPainter painter(&glyphs);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(1, metrics.ascent(), text);
            painter.end();
            std::vector<QPoint> inked, clear;
            // Background far from any ink (two pixels aside) must be clear on the screen.
            const auto inkAt = [&](int x, int y) {
                return x >= 0 && x < glyphs.width() && qGray(glyphs.pixel(x, y)) < 128;
            };
            for (int y = 0; y < glyphs.height(); ++y) {
                for (int x = 0; x < glyphs.width(); ++x) {
                    if (inkAt(x, y))
                        inked.push_back(QPoint(x, y));
                    else if (!inkAt(x - 1, y) && !inkAt(x + 1, y) && !inkAt(x - 2, y) &&
                             !inkAt(x + 2, y))
                        clear.push_back(QPoint(x, y));
                }
            }
            const int w = rgb.width();
            for (const std::vector<bool> *ink : {&dark, &light}) {
                for (int y = 0; y + glyphs.height() <= rgb.height(); ++y) {
                    for (int x = 0; x + glyphs.width() <= w; ++x) {
                        size_t hits = 0, checked = 0;
                        for (const QPoint &p : inked) {
                            hits += (*ink)[size_t(y + p.y()) * size_t(w) + size_t(x + p.x())];
                            if (++checked == 24 && hits < 20)
                                break;
                        }
                        if (checked < inked.size() || hits * 100 < inked.size() * 85)
                            continue;
                        // A first look at the background, spread over the word.
                        size_t early = 0;
                        const size_t stride = std::max<size_t>(1, clear.size() / 32);
                        for (size_t i = 0; i < clear.size() && early <= 8; i += stride) {
                            const QPoint &p = clear[i];
                            early += (*ink)[size_t(y + p.y()) * size_t(w) + size_t(x + p.x())];
                        }
                        if (early > 8)
                            continue;
                        size_t stray = 0;
                        for (const QPoint &p : clear)
                            stray += (*ink)[size_t(y + p.y()) * size_t(w) + size_t(x + p.x())];
                        if (stray * 100 <= inked.size() * 15)
                            return true;
                    }
                }
            }
        }
    }
    return false;
}

// Whether the screen shows each word of the text (the space between words
// may differ by a pixel from one way of drawing to another).
bool showsText(const QImage &screen, const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(),
                       [&](const QString &word) { return showsWord(screen, word); });
}

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

// Whether the phone's status area is drawn above the frame: its signal bars
// green in the top rows.
bool showsStatusArea(const QImage &screen)
{
    int green = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x)
            green += screen.pixel(x, y) == qRgb(0x9c, 0xd6, 0x4c);
    }
    return green > 50;
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
    void cleanupTestCase();

private:
    bool qmp(const QJsonObject &command, QJsonObject *reply = nullptr);
    void key(const QString &qcode);
    QImage screen();
    // Takes pictures of the screen until one passes, for at most the timeout.
    bool waitForScreen(const std::function<bool(const QImage &)> &passes, int timeoutMs,
                       QImage *seen = nullptr);

    QString guestDir;
    QProcess vm;
    QLocalSocket monitor;
    QByteArray console;
    QTemporaryDir work;
};

void TestBoard::initTestCase()
{
    MOVARA_REQUIRE_TOOLS(qemu, QStringLiteral("ffmpeg"), QStringLiteral("cpio"),
                         QStringLiteral("amixer"), QStringLiteral("/usr/bin/mplayer"));
    QVERIFY(QFileInfo(binDir + QStringLiteral("/movara-board")).isExecutable());
    guestDir = QDir(binDir).absoluteFilePath(QStringLiteral("../board-guest"));
    QProcess make;
    make.start(QStringLiteral("bash"),
               {sourceDir + QStringLiteral("/tests/board/make-guest.sh"), guestDir});
    QVERIFY(make.waitForFinished(120000));
    if (make.exitCode() == 77) {
        const QString why = QString::fromLocal8Bit(make.readAllStandardError()).trimmed();
        if (isContinuousIntegration())
            QFAIL(qPrintable(QStringLiteral("no guest, and CI installs it: ") + why));
        QSKIP(qPrintable(QStringLiteral("no guest can be built: ") + why));
    }
    QCOMPARE(make.exitCode(), 0);
}

bool TestBoard::qmp(const QJsonObject &command, QJsonObject *reply)
{
    monitor.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        while (monitor.canReadLine()) {
            const QJsonObject answer = QJsonDocument::fromJson(monitor.readLine()).object();
            if (answer.contains(QStringLiteral("return")) ||
                answer.contains(QStringLiteral("error"))) {
                if (reply)
                    *reply = answer;
                return answer.contains(QStringLiteral("return"));
            }
        }
        if (!monitor.waitForReadyRead(1000) && monitor.state() != QLocalSocket::ConnectedState)
            return false;
    }
    return false;
}

void TestBoard::key(const QString &qcode)
{
    const QJsonObject key{{QStringLiteral("type"), QStringLiteral("qcode")},
                          {QStringLiteral("data"), qcode}};
    QVERIFY(qmp(
        {{QStringLiteral("execute"), QStringLiteral("send-key")},
         {QStringLiteral("arguments"), QJsonObject{{QStringLiteral("keys"), QJsonArray{key}}}}}));
}

QImage TestBoard::screen()
{
    const QString file = work.filePath(QStringLiteral("screen.ppm"));
    QFile::remove(file);
    if (!qmp({{QStringLiteral("execute"), QStringLiteral("screendump")},
              {QStringLiteral("arguments"), QJsonObject{{QStringLiteral("filename"), file}}}}))
        return QImage();
    return QImage(file);
}

bool TestBoard::waitForScreen(const std::function<bool(const QImage &)> &passes, int timeoutMs,
                              QImage *seen)
{
    QElapsedTimer clock;
    clock.start();
    QImage last;
    do {
        last = screen();
        if (!last.isNull() && passes(last)) {
            if (seen)
                *seen = last;
            return true;
        }
        QCoreApplication::processEvents();
        console += vm.readAllStandardOutput();
    } while (clock.elapsed() < timeoutMs && vm.state() == QProcess::Running);
    last.save(work.filePath(QStringLiteral("last.png")));
    QFile::copy(work.filePath(QStringLiteral("last.png")),
                guestDir + QStringLiteral("/failed-screen.png"));
    return false;
}

void TestBoard::boardRun()
{
    // The media: a moving test pattern without sound, a tone.
    const QString media = guestDir + QStringLiteral("/media");
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
    const QString script = guestDir + QStringLiteral("/run.sh");
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
                  "for m in bochs evdev snd-intel8x0; do modprobe $m; done\n"
                  "MOVARA_ENGINE_START_MS=60000 %1/movara-board --phone /tmp/phone --video "
                  "%2/video --audio %2/audio 2>&1\n"
                  "echo \"board-ended $?\"\n"
                  "echo \"left: $(ps -eo comm= | grep -E '^(movara|mplayer)$' | tr '\\n' ' ')\"\n"
                  "echo board-done\n"
                  "poweroff -f\n")
                  .arg(binDir, media)
                  .toUtf8());
    run.close();

    const QString wav = work.filePath(QStringLiteral("sound.wav"));
    const QString socket = work.filePath(QStringLiteral("qmp"));
    // The host's folders the guest's own /tmp would hide.
    QStringList keep;
    for (const QString &dir : {binDir, guestDir}) {
        if (dir.startsWith(QStringLiteral("/tmp/")))
            keep << QFileInfo(dir).canonicalFilePath();
    }
    QStringList append = {QStringLiteral("console=ttyS0"), QStringLiteral("quiet"),
                          QStringLiteral("panic=-1"), QStringLiteral("movara.run=") + script};
    if (!keep.isEmpty())
        append << QStringLiteral("movara.keep=") + keep.join(QLatin1Char(','));
    vm.setProcessChannelMode(QProcess::MergedChannels);
    vm.start(qemu,
             {QStringLiteral("-m"),
              QStringLiteral("512"),
              QStringLiteral("-vga"),
              QStringLiteral("none"),
              QStringLiteral("-monitor"),
              QStringLiteral("none"),
              QStringLiteral("-no-reboot"),
              QStringLiteral("-display"),
              QStringLiteral("none"),
              QStringLiteral("-serial"),
              QStringLiteral("stdio"),
              QStringLiteral("-kernel"),
              guestDir + QStringLiteral("/vmlinuz"),
              QStringLiteral("-initrd"),
              guestDir + QStringLiteral("/initramfs.cpio.gz"),
              QStringLiteral("-append"),
              append.join(QLatin1Char(' ')),
              QStringLiteral("-virtfs"),
              QStringLiteral("local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                             "multidevs=remap"),
              QStringLiteral("-device"),
              QStringLiteral("bochs-display,xres=240,yres=320"),
              QStringLiteral("-audiodev"),
              QStringLiteral("wav,id=snd,path=") + wav,
              QStringLiteral("-device"),
              QStringLiteral("AC97,audiodev=snd"),
              QStringLiteral("-qmp"),
              QStringLiteral("unix:") + socket + QStringLiteral(",server=on,wait=off")});
    QVERIFY(vm.waitForStarted());
    // The socket is there a moment before the monitor listens on it.
    QTRY_VERIFY_WITH_TIMEOUT(
        (monitor.abort(), monitor.connectToServer(socket), monitor.waitForConnected(1000)), 30000);
    QVERIFY(qmp({{QStringLiteral("execute"), QStringLiteral("qmp_capabilities")}}));

    // The browser at 240 x 320, with its title and the four roots.
    const QStringList roots = {QStringLiteral("Movara"), QStringLiteral("MyVideo"),
                               QStringLiteral("MyAudio"), QStringLiteral("My playlists"),
                               QStringLiteral("Memory card")};
    QImage seen;
    QVERIFY2(waitForScreen(
                 [&](const QImage &s) {
                     return s.size() == QSize(240, 320) && showsStatusArea(s) &&
                            std::all_of(roots.begin(), roots.end(),
                                        [&](const QString &text) { return showsText(s, text); });
                 },
                 120000, &seen),
             console.constData());

    // Return opens the video root, the first row; there, Return plays the clip,
    // whose picture fills the screen and moves.
    key(QStringLiteral("ret"));
    QVERIFY(waitForScreen(
        [](const QImage &s) { return showsText(s, QStringLiteral("pattern.avi")); }, 60000));
    key(QStringLiteral("ret"));
    QVERIFY2(waitForScreen([](const QImage &s) { return clipShare(s) > 0.5; }, 90000, &seen),
             console.constData());
    QVERIFY(waitForScreen([&](const QImage &s) { return clipShare(s) > 0.5 && s != seen; }, 30000));

    // Return pauses: the picture stands still (three pictures alike in a row).
    key(QStringLiteral("ret"));
    int alike = 0;
    QVERIFY(waitForScreen(
        [&](const QImage &s) {
            alike = clipShare(s) > 0.5 && s == seen ? alike + 1 : 0;
            seen = s;
            return alike == 3;
        },
        30000));

    // F2 is back in the browser, drawn whole.
    key(QStringLiteral("f2"));
    QVERIFY(waitForScreen(
        [](const QImage &s) {
            return clipShare(s) < 0.05 && showsStatusArea(s) &&
                   showsText(s, QStringLiteral("pattern.avi"));
        },
        30000));

    // The tone: back to the roots (on the video root just left), into the audio
    // root, play its file. Its sound reaches the card at the program's volume.
    key(QStringLiteral("esc"));
    QVERIFY(waitForScreen([](const QImage &s) { return showsText(s, QStringLiteral("MyAudio")); },
                          30000));
    key(QStringLiteral("down"));
    key(QStringLiteral("ret"));
    QVERIFY(waitForScreen([](const QImage &s) { return showsText(s, QStringLiteral("tone.mp3")); },
                          30000));
    QFile sound(wav);
    QVERIFY(sound.open(QIODevice::ReadOnly));
    const qint64 before = sound.size();
    key(QStringLiteral("ret"));
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

    // F2 stops it; the right soft key goes back to the roots and there ends
    // Movara, and its engine with it.
    key(QStringLiteral("f2"));
    QVERIFY(waitForScreen([](const QImage &s) { return showsText(s, QStringLiteral("tone.mp3")); },
                          30000));
    key(QStringLiteral("esc"));
    QVERIFY(waitForScreen([](const QImage &s) { return showsText(s, QStringLiteral("MyAudio")); },
                          30000));
    key(QStringLiteral("esc"));
    QTRY_VERIFY_WITH_TIMEOUT((console += vm.readAllStandardOutput()).contains("board-done"), 60000);
    console.replace('\r', "");
    QVERIFY2(console.contains("board-ended 0\n"), console.constData());
    QVERIFY2(console.contains("left: \n"), console.constData());
}

void TestBoard::cleanupTestCase()
{
    if (vm.state() != QProcess::NotRunning) {
        vm.kill();
        vm.waitForFinished(10000);
    }
}

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
