#include "support/xsession.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QProcessEnvironment>
#include <QThread>


XSession::~XSession()
{
    stop();
}

bool XSession::start()
{
    // A display number far above the ones servers pick for themselves when
    // asked for any free one, so that parallel tests never meet.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int number = 200 + QRandomGenerator::global()->bounded(800);
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (QFileInfo::exists(socket) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        server.setProgram(QStringLiteral("Xvfb"));
        server.setArguments({QStringLiteral(":%1").arg(number), QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("480x400x24"),
                             QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start();
        if (!server.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(socket) && server.state() == QProcess::Running &&
               !deadline.hasExpired())
            server.waitForFinished(50);
        if (server.state() == QProcess::Running && QFileInfo::exists(socket)) {
            displayName = QStringLiteral(":%1").arg(number);
            return true;
        }
        stop();
    }
    return false;
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
