#pragma once

#include <QMetaType>
#include <QString>

// One chapter of a medium, in seconds from its start; `end` not after
// `start` means it runs to the next chapter or the medium's end.
struct MvChapter
{
    double start = 0;
    double end = 0;
    QString title;

    friend bool operator==(const MvChapter &a, const MvChapter &b)
    {
        return a.start == b.start && a.end == b.end && a.title == b.title;
    }
    friend bool operator!=(const MvChapter &a, const MvChapter &b) { return !(a == b); }
};

Q_DECLARE_METATYPE(MvChapter)
