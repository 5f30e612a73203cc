#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One entry of a media folder listing.
struct MediaEntry
{
    QString name;
    bool dir = false;
};

// Lists a folder the way the browser shows it: sub-folders (whatever their
// names) first, then the files matching one of the wildcard patterns ('*' and
// '?'), each group sorted by name with capitals first. Hidden entries, "."
// and "..", broken links, devices, pipes and sockets are left out, and so are
// names that are not valid UTF-8: no path string could name them. Links count
// as what they point to. Returns false when the folder cannot be read.
bool listMediaFolder(const QString &folder, const QStringList &patterns,
                     QList<MediaEntry> *entries);

// Whether name matches a wildcard pattern of '*' (any run) and '?' (any one
// character), case-sensitively, as a whole.
bool matchesWildcard(QStringView name, QStringView pattern);
