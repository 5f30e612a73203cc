#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

// A playlist file read into memory: .m3u, .m3u8 (with #EXTINF titles) or
// .pls. Entries are kept as written, in one UTF-8 block, and resolved to
// paths only when asked for, so that a long list opens at the speed of a
// read. Entries that can never play here (network streams, playlists named
// inside playlists, names no path can carry) are left out and counted.
class MvPlaylist
{
public:
    // Limits that keep hostile files bounded.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    static constexpr int MaxEntries = 100000;
    static constexpr int MaxEntryLength = 4096;

    enum class Error { None, Unreadable, TooLarge };

    static bool isPlaylistPath(const QString &path);
    // Whether an entry's path names something the engine may be handed: a
    // regular file (or a link to one) that can be read, is not empty and is
    // no playlist. What a pipe, a device or an empty file (as a process's
    // memory looks) would do to a reader is never tried.
    static bool canHandOver(const QString &path) { return refusal(path).isEmpty(); }
    // Why it may not be handed over, or "" when it may.
    static QString refusal(const QString &path);

    // Reads the file; false when it cannot be read or is too large.
    bool load(const QString &path);
    // Reads already loaded bytes as if they came from `path`.
    void parse(const QByteArray &data, const QString &path);

    Error error() const { return loadError; }
    int count() const { return int(entries.size()); }
    // How many entries were left out as unplayable, and the first of them as
    // written; and how many playable ones were left out past MaxEntries.
    int skipped() const { return skippedCount; }
    QString firstSkipped() const { return firstSkippedText; }
    int cut() const { return cutCount; }

    // The entry as written (decoded), its title (empty when none), and the
    // path it names on this system. A path written on Windows is looked for
    // below the playlist's folder and then below each of searchFolders (the
    // media roots).
    QString text(int index) const;
    QString title(int index) const;
    QString path(int index) const;
    QString playlistPath() const { return listPath; }
    static QStringList searchFolders;

    // Writes an .m3u8 of `paths` into `folder` as `<baseName>.m3u8`, with a
    // number appended when that name is taken; never overwrites, never
    // writes through a link. Returns the new file's path, or empty.
    static QString save(const QString &folder, const QString &baseName, const QStringList &paths);
    // Creates `target` holding `data`, whole or not at all; false, with errno
    // EEXIST, when anything has the name already (a link that leads nowhere too).
    static bool createNew(const QString &target, const QByteArray &data);

private:
    struct Entry
    {
        quint32 at;
        quint32 length;
        quint32 titleAt;
        quint32 titleLength;
    };
    void addEntry(QByteArrayView entry, QByteArrayView entryTitle);
    void skip(QByteArrayView entry);
    QString decoded(quint32 at, quint32 length) const;
    QString resolve(QString entry) const;
    // A folder's names as they are and as compared in any letter case.
    struct Folder
    {
        QSet<QString> exact;
        QHash<QString, QString> folded;
        bool listed = false;
    };
    const Folder &folderNames(const QString &folder) const;
    QString findBelow(const QString &base, const QStringList &parts, bool anyCase) const;
    void parseM3u(QByteArrayView data);
    void parsePls(QByteArrayView data);

    QByteArray block;
    QVector<Entry> entries;
    QString listPath;
    QString listFolder;
    int skippedCount = 0;
    int cutCount = 0;
    QString firstSkippedText;
    bool latin1 = false;
    Error loadError = Error::None;
    mutable QHash<QString, Folder> folders; // read while resolving Windows paths
};
