#pragma once

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// An X server for tests that drive the whole program with real X input: a
// private Xvfb, or one that another program (the launcher) runs; and the
// xdotool and ImageMagick calls that give it input and read its screen.
class XSession
{
public:
    XSession() = default;
    explicit XSession(const QString &display) : displayName(display) {}
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    // Starts a private Xvfb, which picks a free display number itself.
    bool start(const QString &screen = QStringLiteral("480x400x24"));
    void stop();
    QString display() const { return displayName; }

    // Runs xdotool with the session's display; true when it exited with 0.
    bool xdotool(const QStringList &arguments, QString *output = nullptr) const;
    // The first visible window whose name matches, or 0.
    qulonglong findWindow(const QString &name, int timeoutMs = 10000) const;
    // Where the window's inside sits on the screen.
    QPoint position(qulonglong window) const;
    bool click(qulonglong window, int x, int y) const;
    bool key(qulonglong window, const QString &keyName) const;
    // An area of the screen as it shows now; a null image on failure.
    QImage grab(const QRect &area) const;
    // Asks the window to close, as a window manager's close button does.
    bool closeWindow(qulonglong window) const;

private:
    QProcess server;
    QString displayName;
};
