#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A private X server (Xvfb) for tests that drive the whole program with real
// X input, and the xdotool calls that give it that input.
class XSession
{
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool start();
    void stop();
    QString display() const { return displayName; }

    // Runs xdotool with the session's display; true when it exited with 0.
    bool xdotool(const QStringList &arguments, QString *output = nullptr) const;
    // The first visible window whose name matches, or 0.
    qulonglong findWindow(const QString &name, int timeoutMs = 10000) const;
    bool click(qulonglong window, int x, int y) const;
    bool key(qulonglong window, const QString &keyName) const;
    // Saves the whole screen as a PNG (ImageMagick's import).
    bool screenshot(const QString &path) const;

private:
    QProcess server;
    QString displayName;
};
