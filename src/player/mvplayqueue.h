#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class MvPlaylist;

// What plays and in which order: a folder's media or a playlist's entries,
// in turn or shuffled (each once before any again), with repeat off, one or
// all. Previous goes back along the order actually played.
class MvPlayQueue
{
public:
    enum class Repeat { Off, One, All };

    void setFolder(const QStringList &paths, int first);
    void setPlaylist(std::shared_ptr<const MvPlaylist> list, int first);
    bool isPlaylist() const { return bool(playlist); }
    QString playlistPath() const;
    // The entry's path, and its title ("" when it has none).
    QString path(int index) const;
    QString title(int index) const;

    // A list of `count` entries, starting at `first`.
    void reset(int count, int first);
    void setShuffle(bool on);
    void setRepeat(Repeat mode) { repeat = mode; }
    bool isShuffle() const { return shuffle; }
    Repeat repeatMode() const { return repeat; }

    int size() const { return count; }
    int current() const { return count > 0 ? history.at(position) : -1; }
    // Moves on and returns the new current entry, or -1 at the end (which
    // leaves the current entry as it was). `afterEnd` is true when the
    // current entry finished by itself: repeat one plays it again then.
    int next(bool afterEnd = false);
    int previous();

    // Records whether the current entry played; a list in which every entry
    // failed in a row is exhausted, so that repeat never loops on it.
    void noteResult(bool played);
    bool exhausted() const { return count > 0 && failedInRow >= count; }

private:
    // A random entry not yet played in this pass; `avoid` only when no other is left.
    int pickUnplayed(int avoid = -1);
    void refillUnplayed(bool withCurrent = false);

    int count = 0;
    bool shuffle = false;
    Repeat repeat = Repeat::Off;
    QVector<int> history;
    int position = 0;
    // Not yet played in this pass of shuffle.
    QVector<int> unplayed;
    int failedInRow = 0;
    QStringList folderPaths;
    std::shared_ptr<const MvPlaylist> playlist;
};
