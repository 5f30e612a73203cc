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
    // A file holding the cover: the picture beside the medium it came from,
    // or the reader's copy of one inside it; empty when there is none.
    QString coverFile;
};

Q_DECLARE_METATYPE(MvMediaTags)
