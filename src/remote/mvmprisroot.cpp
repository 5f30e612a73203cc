#include "remote/mvmprisroot.h"

QStringList MvMprisRoot::supportedMimeTypes() const
{
    return {QStringLiteral("audio/mpeg"),      QStringLiteral("audio/ogg"),
            QStringLiteral("audio/flac"),      QStringLiteral("audio/mp4"),
            QStringLiteral("audio/x-wav"),     QStringLiteral("video/mp4"),
            QStringLiteral("video/x-msvideo"), QStringLiteral("video/x-matroska"),
            QStringLiteral("video/3gpp")};
}

void MvMprisRoot::Quit()
{
    emit quitRequested();
}
