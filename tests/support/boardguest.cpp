#include "support/boardguest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>

namespace {
const QString binDir = QStringLiteral(MOVARA_BIN_DIR);
const QString sourceDir = QStringLiteral(MOVARA_SOURCE_DIR);

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
bool showsWord(const QImage &screen, const QString &text, QPoint *at = nullptr)
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
                        if (stray * 100 <= inked.size() * 15) {
                            if (at)
                                *at = QPoint(x + glyphs.width() / 2, y + glyphs.height() / 2);
                            return true;
                        }
                    }
                }
            }
        }
    }
    return false;
}

// Whether the screen shows each word of the text (the space between words
// may differ by a pixel from one way of drawing to another).
} // namespace

bool BoardGuest::showsText(const QImage &screen, const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(),
                       [&](const QString &word) { return showsWord(screen, word); });
}

// Whether the phone's status area is drawn above the frame: its signal bars
// green in the top rows.
bool BoardGuest::showsStatusArea(const QImage &screen)
{
    int green = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x)
            green += screen.pixel(x, y) == qRgb(0x9c, 0xd6, 0x4c);
    }
    return green > 50;
}

QPoint BoardGuest::wordAt(const QImage &screen, const QString &word)
{
    QPoint at(-1, -1);
    showsWord(screen, word, &at);
    return at;
}

double BoardGuest::shareOf(const QImage &screen, QRgb rgb)
{
    qint64 near = 0;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            const QRgb p = screen.pixel(x, y);
            near += std::abs(qRed(p) - qRed(rgb)) + std::abs(qGreen(p) - qGreen(rgb)) +
                        std::abs(qBlue(p) - qBlue(rgb)) <
                    90;
        }
    }
    return screen.isNull() ? 0 : double(near) / double(screen.width() * screen.height());
}

BoardGuest::BoardGuest() : guestDir(QDir::cleanPath(binDir + QStringLiteral("/../board-guest"))) {}

BoardGuest::~BoardGuest()
{
    if (vm.state() != QProcess::NotRunning) {
        vm.kill();
        vm.waitForFinished(10000);
    }
}

BoardGuest::Build BoardGuest::build(QString *why)
{
    QProcess make;
    make.start(QStringLiteral("bash"),
               {sourceDir + QStringLiteral("/tests/board/make-guest.sh"), guestDir});
    if (!make.waitForFinished(120000)) {
        *why = QStringLiteral("make-guest.sh did not end");
        return Failed;
    }
    *why = QString::fromLocal8Bit(make.readAllStandardError()).trimmed();
    if (make.exitCode() == 77)
        return Unavailable;
    return make.exitCode() == 0 ? Built : Failed;
}

bool BoardGuest::boot(const QString &script, const QString &wav, const QStringList &devices)
{
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
    QStringList arguments = {
        QStringLiteral("-m"),
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
        QFileInfo::exists(guestDir + QStringLiteral("/vmlinux"))
            ? guestDir + QStringLiteral("/vmlinux")
            : guestDir + QStringLiteral("/vmlinuz"),
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
        QStringLiteral("unix:") + socket + QStringLiteral(",server=on,wait=off")};
    for (const QString &device : devices)
        arguments << QStringLiteral("-device") << device;
    vm.setProcessChannelMode(QProcess::MergedChannels);
    // A test or benchmark ended by a signal takes the guest with it.
    vm.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    vm.start(QStringLiteral("qemu-system-x86_64"), arguments);
    if (!vm.waitForStarted())
        return false;
    // The socket is there a moment before the monitor listens on it.
    if (!QTest::qWaitFor(
            [&] {
                monitor.abort();
                monitor.connectToServer(socket);
                return monitor.waitForConnected(1000) || vm.state() != QProcess::Running;
            },
            30000) ||
        monitor.state() != QLocalSocket::ConnectedState)
        return false;
    return qmp({{QStringLiteral("execute"), QStringLiteral("qmp_capabilities")}});
}

bool BoardGuest::qmp(const QJsonObject &command, QJsonObject *reply)
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

bool BoardGuest::key(const QString &qcode)
{
    const QJsonObject key{{QStringLiteral("type"), QStringLiteral("qcode")},
                          {QStringLiteral("data"), qcode}};
    return qmp(
        {{QStringLiteral("execute"), QStringLiteral("send-key")},
         {QStringLiteral("arguments"), QJsonObject{{QStringLiteral("keys"), QJsonArray{key}}}}});
}

namespace {
QJsonObject inputEvent(const QString &type, const QJsonObject &data)
{
    return QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("data"), data}};
}
} // namespace

bool BoardGuest::sendInput(const QJsonArray &events)
{
    return qmp({{QStringLiteral("execute"), QStringLiteral("input-send-event")},
                {QStringLiteral("arguments"), QJsonObject{{QStringLiteral("events"), events}}}});
}

bool BoardGuest::point(const QPoint &at, const QSize &screen)
{
    // The tablet's axes run from 0 to 32767 over the screen.
    const auto axis = [](const char *name, int value) {
        return inputEvent(QStringLiteral("abs"), {{QStringLiteral("axis"), QLatin1String(name)},
                                                  {QStringLiteral("value"), value}});
    };
    return sendInput({axis("x", (2 * at.x() + 1) * 32767 / (2 * screen.width())),
                      axis("y", (2 * at.y() + 1) * 32767 / (2 * screen.height()))});
}

bool BoardGuest::tap(const QPoint &at, const QSize &screen)
{
    const auto button = [](bool down) {
        return inputEvent(
            QStringLiteral("btn"),
            {{QStringLiteral("button"), QStringLiteral("left")}, {QStringLiteral("down"), down}});
    };
    return point(at, screen) && sendInput({button(true)}) && sendInput({button(false)});
}

QImage BoardGuest::screen()
{
    const QString file = work.filePath(QStringLiteral("screen.ppm"));
    QFile::remove(file);
    if (!qmp({{QStringLiteral("execute"), QStringLiteral("screendump")},
              {QStringLiteral("arguments"), QJsonObject{{QStringLiteral("filename"), file}}}}))
        return QImage();
    return QImage(file);
}

bool BoardGuest::waitForScreen(const std::function<bool(const QImage &)> &passes, int timeoutMs,
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
        output += vm.readAllStandardOutput();
    } while (clock.elapsed() < timeoutMs && vm.state() == QProcess::Running);
    last.save(guestDir + QStringLiteral("/failed-screen.png"));
    return false;
}

QByteArray BoardGuest::console()
{
    output += vm.readAllStandardOutput();
    output.replace('\r', "");
    return output;
}

bool BoardGuest::waitForConsole(const QByteArray &text, int timeoutMs)
{
    return QTest::qWaitFor(
               [&] { return console().contains(text) || vm.state() != QProcess::Running; },
               timeoutMs) &&
           console().contains(text);
}
