#pragma once

#include "player/mvrecordfile.h"

#include <QList>
#include <QString>

// Places the user marked to come back to: a medium, a place in it and the
// chapter it lay in. Kept in one small file of the user area, as the resume
// places are: instances sharing it keep each other's marks; one that cannot
// be written is kept for this run and written with the next change.
class MvBookmarks
{
public:
    static const char defaultPath[];
    static constexpr int maxEntries = 200;
    static constexpr qint64 maxFileSize = 256 * 1024;

    struct Bookmark
    {
        QString medium;
        int position = 0;
        // The chapter's index, -1 for none.
        int chapter = -1;
        // When it was made, in seconds since the epoch.
        qint64 madeAt = 0;

        friend bool operator==(const Bookmark &a, const Bookmark &b)
        {
            return a.medium == b.medium && a.position == b.position && a.chapter == b.chapter &&
                   a.madeAt == b.madeAt;
        }
    };

    explicit MvBookmarks(const QString &filePath = QString::fromLatin1(defaultPath));

    // Newest first, with what other instances added since.
    QList<Bookmark> list();
    // False when it could not be written (it is kept for this run).
    bool add(const Bookmark &mark);
    bool remove(const Bookmark &mark);

private:
    struct Change
    {
        Bookmark mark;
        bool kept = false;
    };

    QList<Bookmark> merged(const MvRecordFile::Records &records) const;
    bool write();

    MvRecordFile file;
    // Oldest first.
    QList<Bookmark> marks;
    QList<Change> changes;
};
