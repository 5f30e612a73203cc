#include "support/xsession.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

XSession::~XSession()
{
    stop();
}

bool XSession::start()
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    // Xvfb writes the display number it chose to the descriptor it is given.
    server.setProgram(QStringLiteral("Xvfb"));
    server.setArguments({QStringLiteral("-displayfd"), QString::number(fds[1]),
                         QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("480x400x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    server.setChildProcessModifier([fds] { close(fds[0]); });
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    close(fds[1]);
    if (!server.waitForStarted(5000)) {
        close(fds[0]);
        return false;
    }
    QByteArray number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    close(fds[0]);
    if (number.isEmpty())
        return false;
    displayName = QStringLiteral(":") + QString::fromLatin1(number);
    return true;
}

void XSession::stop()
{
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(3000)) {
            server.kill();
            server.waitForFinished(3000);
        }
    }
}

bool XSession::xdotool(const QStringList &arguments, QString *output) const
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000))
        return false;
    if (output)
        *output = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

qulonglong XSession::findWindow(const QString &name, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        QString out;
        if (xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), name},
                    &out)) {
            const QStringList ids = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (!ids.isEmpty())
                return ids.first().toULongLong();
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return 0;
}

bool XSession::click(qulonglong window, int x, int y) const
{
    const QString id = QString::number(window);
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), id, QString::number(x),
                    QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

bool XSession::key(qulonglong window, const QString &keyName) const
{
    const QString id = QString::number(window);
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id,
                    QStringLiteral("key"), keyName});
}

bool XSession::screenshot(const QString &path) const
{
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    import.setProcessEnvironment(env);
    import.start(QStringLiteral("import"),
                 {QStringLiteral("-window"), QStringLiteral("root"), path});
    return import.waitForFinished(15000) && import.exitCode() == 0;
}
