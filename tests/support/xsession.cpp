#include "support/xsession.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

#ifdef MOVARA_HAVE_XLIB
#include <X11/Xlib.h>
#endif

XSession::~XSession()
{
    stop();
}

bool XSession::start(const QString &screen)
{
    // The server tells the display it took on its standard output once it
    // listens there: no guessing at free numbers, no race with other servers.
    server.setProgram(QStringLiteral("Xvfb"));
    server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"), screen,
                         QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                         QStringLiteral("-noreset")});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const pid_t test = ::getpid();
    server.setChildProcessModifier([test] {
        // A test that dies leaves no server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != test)
            ::_exit(127);
    });
    server.start();
    if (!server.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(20000);
    while (!server.canReadLine() && server.state() == QProcess::Running && !deadline.hasExpired())
        server.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    const QByteArray number = server.readLine().trimmed();
    if (number.isEmpty() || server.state() != QProcess::Running) {
        stop();
        return false;
    }
    displayName = QLatin1Char(':') + QString::fromLatin1(number);
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
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
        return false;
    }
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

QPoint XSession::position(qulonglong window) const
{
    QString geometry;
    QPoint at;
    xdotool(
        {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)},
        &geometry);
    for (const QString &line : geometry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("X=")))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            at.setY(line.mid(2).toInt());
    }
    return at;
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

QImage XSession::grab(const QRect &area) const
{
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    import.setProcessEnvironment(env);
    import.start(QStringLiteral("import"), {QStringLiteral("-silent"), QStringLiteral("-window"),
                                            QStringLiteral("root"), QStringLiteral("-crop"),
                                            QStringLiteral("%1x%2+%3+%4")
                                                .arg(area.width())
                                                .arg(area.height())
                                                .arg(area.x())
                                                .arg(area.y()),
                                            QStringLiteral("+repage"), QStringLiteral("png:-")});
    if (!import.waitForFinished(15000) || import.exitCode() != 0)
        return QImage();
    return QImage::fromData(import.readAllStandardOutput(), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

bool XSession::closeWindow(qulonglong window) const
{
#ifndef MOVARA_HAVE_XLIB
    Q_UNUSED(window);
    return false;
#else
    Display *connection = XOpenDisplay(displayName.toLatin1().constData());
    if (!connection)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(connection, window, False, NoEventMask, &event);
    XCloseDisplay(connection);
    return sent;
#endif
}
