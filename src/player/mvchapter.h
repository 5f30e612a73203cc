#pragma once

#include <QMetaType>
#include <QString>

// One chapter of a medium, as the engine lists it.
struct MvChapter
{
    // Seconds from the medium's start.
    double start = 0;
    double end = 0;
    // Empty when the medium names none.
    QString title;
};

Q_DECLARE_METATYPE(MvChapter)
