#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A real medium made by ffmpeg: a tone (3 s unless told), with a moving test
// picture when withVideo. Long enough for the engine's start-up lines to be
// read before it ends.
inline bool makeTestMedium(const QString &path, bool withVideo, double seconds = 3)
{
    QStringList args = {QStringLiteral("-v"),
                        QStringLiteral("error"),
                        QStringLiteral("-y"),
                        QStringLiteral("-f"),
                        QStringLiteral("lavfi"),
                        QStringLiteral("-i"),
                        QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)};
    if (withVideo)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=160x120:rate=10:duration=%1").arg(seconds)
             << QStringLiteral("-c:v") << QStringLiteral("mpeg4") << QStringLiteral("-shortest");
    args << path;
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
}
