#pragma once

#include "player/mvrecordfile.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <utility>

// Where each folder was last stopped: the medium and its place, whatever its
// length, and when; a book read across many files goes on from there. Kept
// in one small file, as the resume places are: another instance's places
// stay and the newest place of a folder wins. A medium replaced or gone
// since leaves its folder without a place.
class MvFolderPlaces
{
public:
    static constexpr int maxEntries = 500;
    static constexpr qint64 maxFileSize = 256 * 1024;
    static constexpr int writeIntervalMs = 10000;

    struct Place
    {
        QString medium;
        // Seconds into the medium, and its length.
        int position = -1;
        int length = -1;
        // When it was stopped, in seconds since the epoch.
        qint64 stoppedAt = 0;
        qint64 size = 0;
        qint64 mtime = 0;
        bool isValid() const { return position >= 0; }
    };

    explicit MvFolderPlaces(const QString &filePath);

    static QString folderOf(const QString &medium);

    // The place kept for `folder`, or an invalid one.
    Place placeIn(const QString &folder) const;
    // The most recently stopped place that is still good, or an invalid one.
    Place newest() const;
    int count() const { return int(places.size()); }

    // The medium's place while it plays, written at most once per interval.
    void progress(const QString &medium, int position, int length);
    // The medium stopped there: written at once.
    void stopped(const QString &medium, int position, int length);
    // The medium played to its end: its folder's place goes when it is that medium.
    void ended(const QString &medium);
    // Writes what changed since the last write.
    bool flush();
    void onWriteFailure(std::function<void(const QString &reason)> told)
    {
        file.onWriteFailure(std::move(told));
    }
    // Takes in what other instances wrote since.
    void refresh();

private:
    // A change not yet written: the folder's new place, or its removal (an invalid place).
    struct Change
    {
        QString folder;
        Place place;
    };

    bool note(const QString &medium, int position, int length);
    bool stillThere(const Place &place) const;
    QList<Place> merged(const MvRecordFile::Records &records) const;
    bool write();

    MvRecordFile file;
    // Oldest first, one a folder.
    QList<Place> places;
    QList<Change> changes;
    QElapsedTimer lastWrite;
};
