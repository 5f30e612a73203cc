#pragma once

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// A small virtual machine: Debian's kernel boots a guest that enters this
// machine's root (read-only) and runs a script, with a 240 x 320 framebuffer,
// a keyboard and a sound card recorded to a file. From outside, its screen is
// read and its keys pressed through the machine's monitor.
class BoardGuest
{
public:
    enum Build { Built, Unavailable, Failed };

    // The guest is kept in the build folder, beside bin/.
    BoardGuest();
    ~BoardGuest();

    // Builds the guest unless it is there already; why: what is missing or failed.
    Build build(QString *why);
    QString dir() const { return guestDir; }
    QString workPath(const QString &name) const { return work.filePath(name); }

    // Boots the guest running the shell script; its sound goes to wav.
    bool boot(const QString &script, const QString &wav, const QStringList &devices = {});
    bool qmp(const QJsonObject &command, QJsonObject *reply = nullptr);
    bool key(const QString &qcode);
    // The tablet's pointer (-device virtio-tablet-pci) to a point of the screen,
    // and a tap there. Qt's mouse handler puts its first event at the top left
    // corner, a press too when it reads the move in the same batch: point once
    // before the first tap.
    bool point(const QPoint &at, const QSize &screen);
    bool tap(const QPoint &at, const QSize &screen);
    QImage screen();
    // Takes pictures of the screen until one passes, for at most the timeout.
    bool waitForScreen(const std::function<bool(const QImage &)> &passes, int timeoutMs,
                       QImage *seen = nullptr);
    // What the guest printed on its console so far (carriage returns dropped).
    QByteArray console();
    bool waitForConsole(const QByteArray &text, int timeoutMs);
    bool running() const { return vm.state() == QProcess::Running; }

    // Whether the screen shows each word of the text, in the desktop's font.
    static bool showsText(const QImage &screen, const QString &text);
    // The middle of the word on the screen, or (-1, -1).
    static QPoint wordAt(const QImage &screen, const QString &word);
    // The share of the screen within a colour distance of rgb.
    static double shareOf(const QImage &screen, QRgb rgb);
    // Whether the phone's status area is drawn: its signal bars in the top rows.
    static bool showsStatusArea(const QImage &screen);

private:
    bool sendInput(const QJsonArray &events);

    QString guestDir;
    QProcess vm;
    QLocalSocket monitor;
    QByteArray output;
    QTemporaryDir work;
};
