#include "platform/boarddisplay.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtGlobal>

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
std::string backlightRoot = "/sys/class/backlight";
std::string framebuffer;

QString framebufferPath()
{
    if (!framebuffer.empty())
        return QString::fromStdString(framebuffer);
    const QString named = qEnvironmentVariable("MOVARA_BOARD_FB");
    return named.isEmpty() ? QStringLiteral("/dev/fb0") : named;
}

// Writes to an attribute that is there; never creates one.
void writeAttribute(const QString &path, int value)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly))
        return;
    file.write(QByteArray::number(value));
}

int readAttribute(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int value = file.read(32).trimmed().toInt(&ok);
    return ok ? value : -1;
}

QStringList backlights()
{
    QStringList found;
    const QDir root(QString::fromStdString(backlightRoot));
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System))
        found << root.filePath(name);
    return found;
}
} // namespace

void BoardDisplay::setBrightness(int brightness)
{
    brightness = qBound(0, brightness, 100);
    for (const QString &light : backlights()) {
        const int most = readAttribute(light + QStringLiteral("/max_brightness"));
        if (most <= 0)
            continue;
        int level = (brightness * most + 50) / 100;
        if (brightness > 0 && level == 0)
            level = 1;
        writeAttribute(light + QStringLiteral("/brightness"), level);
        writeAttribute(light + QStringLiteral("/bl_power"), FB_BLANK_UNBLANK);
    }
}

void BoardDisplay::setBlank(bool blank)
{
    const int fd = ::open(QFile::encodeName(framebufferPath()).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::ioctl(fd, FBIOBLANK, blank ? FB_BLANK_POWERDOWN : FB_BLANK_UNBLANK);
        ::close(fd);
    }
    for (const QString &light : backlights())
        writeAttribute(light + QStringLiteral("/bl_power"),
                       blank ? FB_BLANK_POWERDOWN : FB_BLANK_UNBLANK);
}

bool BoardDisplay::drawsOnFramebuffer()
{
    return QGuiApplication::platformName() == QLatin1String("linuxfb");
}

void BoardDisplay::setPlaces(const std::string &root, const std::string &fb)
{
    backlightRoot = root;
    framebuffer = fb;
}
