#include "player/mvplayqueue.h"

#include "core/mvplaylist.h"

#include <QRandomGenerator>

void MvPlayQueue::setFolder(const QStringList &paths, int first)
{
    playlist.reset();
    folderPaths = paths;
    reset(int(paths.size()), first);
}

void MvPlayQueue::setPlaylist(std::shared_ptr<const MvPlaylist> list, int first)
{
    folderPaths.clear();
    playlist = std::move(list);
    reset(playlist ? playlist->count() : 0, first);
}

QString MvPlayQueue::playlistPath() const
{
    return playlist ? playlist->playlistPath() : QString();
}

QString MvPlayQueue::path(int index) const
{
    if (playlist)
        return playlist->path(index);
    return index >= 0 && index < folderPaths.size() ? folderPaths.at(index) : QString();
}

QString MvPlayQueue::title(int index) const
{
    return playlist ? playlist->title(index) : QString();
}

void MvPlayQueue::reset(int newCount, int first)
{
    count = std::max(0, newCount);
    history = {std::clamp(first, 0, std::max(0, count - 1))};
    position = 0;
    failedInRow = 0;
    unplayed.clear();
    if (shuffle)
        refillUnplayed();
}

void MvPlayQueue::setShuffle(bool on)
{
    if (on == shuffle)
        return;
    shuffle = on;
    unplayed.clear();
    if (shuffle && count > 0) {
        // The order played so far stays for Previous; the rest comes shuffled.
        history = history.mid(0, position + 1);
        refillUnplayed();
    }
}

void MvPlayQueue::refillUnplayed(bool withCurrent)
{
    unplayed.clear();
    unplayed.reserve(count);
    const int now = withCurrent ? -1 : current();
    for (int i = 0; i < count; ++i)
        if (i != now)
            unplayed.append(i);
}

int MvPlayQueue::pickUnplayed(int avoid)
{
    if (unplayed.isEmpty())
        return -1;
    const int avoidAt = unplayed.size() > 1 ? int(unplayed.indexOf(avoid)) : -1;
    int at = int(QRandomGenerator::global()->bounded(unplayed.size() - (avoidAt >= 0 ? 1 : 0)));
    if (avoidAt >= 0 && at >= avoidAt)
        ++at;
    const int chosen = unplayed.at(at);
    unplayed[at] = unplayed.last();
    unplayed.removeLast();
    return chosen;
}

int MvPlayQueue::next(bool afterEnd)
{
    if (count <= 0)
        return -1;
    if (afterEnd && repeat == Repeat::One)
        return current();
    if (position + 1 < history.size())
        return history.at(++position);
    int chosen = -1;
    if (shuffle) {
        chosen = pickUnplayed();
        if (chosen < 0 && repeat == Repeat::All) {
            // A new pass holds every entry once, the one just played too,
            // though not straight away again.
            refillUnplayed(true);
            chosen = pickUnplayed(current());
        }
    } else {
        chosen = current() + 1;
        if (chosen >= count)
            chosen = repeat == Repeat::All ? 0 : -1;
    }
    if (chosen < 0)
        return -1;
    history.append(chosen);
    ++position;
    return chosen;
}

int MvPlayQueue::previous()
{
    if (count <= 0)
        return -1;
    if (position > 0)
        return history.at(--position);
    if (shuffle || current() == 0)
        return -1;
    // In turn, the played order may not reach back far enough: step back by index.
    history.prepend(current() - 1);
    return history.at(position);
}

void MvPlayQueue::noteResult(bool played)
{
    failedInRow = played ? 0 : failedInRow + 1;
}
