#pragma once

#include <QString>
#include <QStringList>

// The arguments the front-end starts its engine with, the medium last.
inline QStringList frontEndArguments(const QString &path)
{
    return {QStringLiteral("-slave"),
            QStringLiteral("-nortc"),
            QStringLiteral("-utf8"),
            QStringLiteral("-mixer"),
            QStringLiteral("/dev/mixer"),
            QStringLiteral("-vf"),
            QStringLiteral("rotate=10,expand=0:0:::1,scale=-2:320,crop=240:320"),
            QStringLiteral("-af"),
            QStringLiteral("channels=2,resample=44100:0:0"),
            QStringLiteral("-sws"),
            QStringLiteral("0"),
            QStringLiteral("-subrotate"),
            QStringLiteral("2"),
            QStringLiteral("-framedrop"),
            QStringLiteral("-fs"),
            QStringLiteral("-idle"),
            path};
}
