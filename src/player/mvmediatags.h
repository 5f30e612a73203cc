#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>

// What a medium's tags and pictures tell of it; empty fields are unknown.
struct MvMediaTags
{
    QString path;
    QString title;
    QString artist;
    QString album;
    // Seconds, or -1.
    int length = -1;
    // Already scaled to fit the box it was read for.
    QImage cover;
    // The picture file beside the medium that the cover came from; empty for
    // a cover inside the medium.
    QString coverFile;
};

Q_DECLARE_METATYPE(MvMediaTags)
