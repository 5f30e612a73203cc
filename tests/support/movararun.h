#pragma once

#include "support/xsession.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the whole program on a test X server: a program directory with
// its engine beside it, the program's stdout read line by line, and taps and
// keys given the way a person gives them.
class MovaraRun
{
public:
    enum class Engine { Scripted, Adapter, None };

    MovaraRun(const XSession &session, const QString &programDir);
    ~MovaraRun();
    MovaraRun(const MovaraRun &) = delete;
    MovaraRun &operator=(const MovaraRun &) = delete;

    // Copies the program into the directory under `programName` and puts the
    // chosen engine beside it as "mplayer".
    bool install(Engine engine, const QString &programName = QStringLiteral("movara"));

    void setEnvironment(const QString &name, const QString &value);
    // Starts the program from `startDir` with `argv0` as its argument 0.
    bool start(const QString &startDir, const QString &argv0 = QString());
    qint64 pid() const { return processId; }

    // Waits until the program's stdout holds `line` (after `from` lines).
    bool waitForLine(const QString &line, int timeoutMs = 10000, int from = 0);
    QStringList lines() const { return output; }
    // Lines read so far, after taking in what the program has written.
    int lineCount();

    qulonglong window();
    bool tap(int x, int y);
    bool key(const QString &keyName);

    // Waits for the program to end; its exit code, or -1.
    int finish(int timeoutMs = 10000);
    bool isRunning() const { return process.state() != QProcess::NotRunning; }
    // For a failure's message: whether and how the program ended, and its last lines.
    QString account();

    QString programDir;
    QString programPath;

private:
    void readOutput();

    const XSession &session;
    QProcess process;
    QStringList output;
    QByteArray pending;
    qulonglong windowId = 0;
    qint64 processId = 0;
};
