#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The phone's four media folders, in the browser's order: video, audio,
// playlists, the memory card.
constexpr const char *mediaFolders[4] = {"/ezxlocal/download/mystuff/MyPhotos",
                                         "/ezxlocal/download/mystuff/MyRingTone",
                                         "/ezxlocal/download/mystuff/MyPlaylist", "/mmc/mmca1"};

// What a file is to the browser, by its extension.
enum class MediaKind { None, Audio, Video };

// The kind of a file name: by the text after its last dot, in any case, as
// the extension table says. Names without a known extension are None.
MediaKind mediaKindOf(QStringView name);

// One entry of a media folder listing. The name is the file's own, bytes
// that are not UTF-8 included (core/rawfilename.h).
struct MediaEntry
{
    QString name;
    bool dir = false;
    MediaKind kind = MediaKind::None;
};

// Lists a folder the way the browser shows it: sub-folders (whatever their
// names) first, then the media files, each group sorted by name as people
// read (sortMediaEntries). Hidden entries, "." and "..", broken links, devices, pipes and
// sockets are left out. Links count as what they point to. Returns false when
// the folder cannot be read.
bool listMediaFolder(const QString &folder, QList<MediaEntry> *entries);

// Folders first, then files; each group by name in any case, with numbers by
// value ("Track 2" before "Track 10"), whatever the system's locale.
void sortMediaEntries(QList<MediaEntry> *entries);
