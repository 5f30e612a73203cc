#include "support/movararun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

MovaraRun::MovaraRun(const XSession &session, const QString &programDir)
    : programDir(programDir), session(session)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), session.display());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

MovaraRun::~MovaraRun()
{
    if (isRunning()) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool MovaraRun::install(Engine engine, const QString &programName)
{
    QDir().mkpath(programDir);
    programPath = programDir + QLatin1Char('/') + programName;
    if (!QFile::copy(QStringLiteral(MOVARA_BIN_DIR "/movara"), programPath))
        return false;
    const QString engineName = engine == Engine::Scripted
                                   ? QStringLiteral(MOVARA_BIN_DIR "/movara_scripted_engine")
                                   : QStringLiteral(MOVARA_BIN_DIR "/mplayer");
    if (engine == Engine::None)
        return true;
    return QFile::link(engineName, programDir + QStringLiteral("/mplayer"));
}

void MovaraRun::setEnvironment(const QString &name, const QString &value)
{
    QProcessEnvironment env = process.processEnvironment();
    env.insert(name, value);
    process.setProcessEnvironment(env);
}

bool MovaraRun::start(const QString &startDir, const QString &argv0)
{
    // bash's exec -a sets the argument 0 the program sees.
    process.setWorkingDirectory(startDir);
    process.start(QStringLiteral("/bin/bash"),
                  {QStringLiteral("-c"), QStringLiteral("exec -a \"$0\" \"$1\""),
                   argv0.isEmpty() ? programPath : argv0, programPath});
    if (!process.waitForStarted(5000))
        return false;
    processId = process.processId();
    return true;
}

void MovaraRun::readOutput()
{
    pending += process.readAllStandardOutput();
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
        output.append(QString::fromUtf8(pending.left(end)));
        pending.remove(0, end + 1);
    }
}

int MovaraRun::lineCount()
{
    while (process.waitForReadyRead(0)) {
    }
    readOutput();
    return static_cast<int>(output.size());
}

bool MovaraRun::waitForLine(const QString &line, int timeoutMs, int from)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readOutput();
        for (int i = from; i < output.size(); ++i)
            if (output.at(i) == line)
                return true;
        if (deadline.hasExpired() || !isRunning())
            return false;
        process.waitForReadyRead(50);
    }
}

qulonglong MovaraRun::window()
{
    if (!windowId)
        windowId = session.findWindow(QStringLiteral("^Movara$"));
    return windowId;
}

bool MovaraRun::tap(int x, int y)
{
    return window() && session.click(windowId, x, y);
}

bool MovaraRun::key(const QString &keyName)
{
    return window() && session.key(windowId, keyName);
}

int MovaraRun::finish(int timeoutMs)
{
    if (isRunning() && !process.waitForFinished(timeoutMs))
        return -1;
    readOutput();
    if (!pending.isEmpty()) {
        output.append(QString::fromUtf8(pending));
        pending.clear();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString MovaraRun::account()
{
    readOutput();
    QString ended = QStringLiteral("still running");
    if (!isRunning())
        ended = process.exitStatus() == QProcess::NormalExit
                    ? QStringLiteral("exited with status %1").arg(process.exitCode())
                    : QStringLiteral("ended by a signal (crash or kill)");
    return QStringLiteral("movara %1; its last lines:\n").arg(ended) +
           output.mid(qMax(0, int(output.size()) - 15)).join(QLatin1Char('\n'));
}
