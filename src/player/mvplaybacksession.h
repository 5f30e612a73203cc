#pragma once

#include "player/mvaction.h"
#include "player/mvbookmarks.h"
#include "player/mvfolderplaces.h"
#include "player/mvplayqueue.h"
#include "player/mvsessionsettings.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class MvPlaybackStatus;
class MvPlayerControl;
class MvResumeTracker;
class MvSleepTimer;
class MvSpeedStore;
class MvTagReader;
struct MvMediaTags;

// What plays, apart from any window: the engine's lifecycle, the play queue
// and how it moves (the way the user last went, media that cannot play, a
// medium played alone), resuming, the sleep timer and the tags of what
// plays. Views read its status(), listen to its signals and call its
// actions; none reaches the engine control.
class MvPlaybackSession : public QObject
{
    Q_OBJECT
    // A medium is up (playing, paused or opening), or the engine is quitting
    // after one and a new pick waits for it.
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(QString current READ current NOTIFY mediumChanged)

public:
    // `windowId` gives the window the engine draws in, asked when the engine
    // is first needed.
    explicit MvPlaybackSession(std::function<int()> windowId, QObject *parent = nullptr);
    ~MvPlaybackSession() override;

    // Ends playback as the program ends: the place is kept, the engine ends.
    void shutDown();

    // What a notice tells; the view words it.
    // Chapter: `name` is the chapter's title, `more` its number from 1.
    enum class Notice {
        CannotPlay,
        NotFound,
        OnlyFirst,
        ResumingAt,
        NothingTicked,
        // `more` is the place marked, or the sleep timer's seconds left.
        Bookmarked,
        BookmarksNotKept,
        SleepExtended,
        PlacesNotKept,
        Chapter,
    };
    Q_ENUM(Notice)

    // Picks. A folder's media from `index`; a playlist file; the queue's
    // entries again from the first; one medium alone (its end stops).
    void playFolder(const QStringList &media, int index);
    void playPlaylist(const QString &path);
    void playFromStart(const QStringList &media);
    void playAlone(const QString &path);
    // The folder of the last stopped medium, from its place; false when
    // there is none.
    bool continueLast();
    // A file given from elsewhere: checked as a pick is.
    void openGiven(const QString &path);

    void act(MvAction action);
    void stop();
    void seekTo(int seconds);
    void setVolume(int percent);
    void setModes(bool shuffle, MvPlayQueue::Repeat repeat);
    void setResumeEnabled(bool on);
    bool isResumeEnabled() const;
    void setSleepTimer(int minutes);

    // Long listening. A chapter of the medium playing, by its index in the
    // status's list, from its start; the speed of the folder playing, 0.5 to
    // 3 (1 is the medium's own), kept for the folder.
    void goToChapter(int index);
    void setSpeed(double factor);
    // The speeds the speed key steps through, in turn.
    static QVector<double> speedSteps();

    // The engine's own ends: its process exited, or the current medium ended.
    void engineExited();
    void currentMediaEnd();

    bool isActive() const { return active; }
    // Told to quit, the engine has yet to go.
    bool isQuitting() const;
    QString current() const { return playingPath; }
    // The title the playing playlist gives `path`, or "".
    QString givenTitle(const QString &path) const;
    // A book's place: where `folder` was last stopped, invalid when resuming
    // is off or nothing there was. Its medium, played, starts there.
    MvFolderPlaces::Place placeIn(const QString &folder) const;

    // The bookmarks, newest first; the one to play, from its place; the one to drop.
    QList<MvBookmarks::Bookmark> bookmarks() const;
    void playBookmark(const MvBookmarks::Bookmark &mark);
    void removeBookmark(const MvBookmarks::Bookmark &mark);

    // What plays, for views.
    const MvPlaybackStatus *status() const { return playbackStatus; }
    const MvPlayQueue &playQueue() const { return queue; }
    MvPlayerControl *control() const { return playerControl; }
    MvResumeTracker *resumeTracker() const { return resume; }
    MvSleepTimer *sleepTimer() const { return sleep; }
    MvTagReader *tagReader() const { return tags; }

    // The medium now handed to the engine: it starts or is up next.
    void play(const QString &path);

signals:
    void activeChanged(bool active);
    // A new medium is up; before activeChanged(true) when it is the first.
    void mediumChanged(const QString &path);
    // The engine's control was made (once): control() has it.
    void engineCreated();
    void pictureStarted();
    void cannotPlay(const QString &path);
    // `name` is a file name to show, or a count; `more` the others passed
    // over with it, or the place resumed at.
    void notice(MvPlaybackSession::Notice what, const QString &name, int more);
    void tagsRead(const MvMediaTags &tags);
    // The engine goes to `seconds`, or `offset` seconds on.
    void seekedTo(int seconds);
    void seekedBy(int offset);
    // The user set the volume, to the same level included.
    void volumeChanged(int percent);
    void modesChanged();
    // Anything a remote view shows may have changed.
    void stateChanged();
    // A folder's entry plays: the browser may show it.
    void folderEntryPlays(const QString &path);

private:
    void ensureEngine();
    void setActive(bool on);
    void playQueued(int index, bool stopAtEnd);
    void queueUpcoming();
    void gotLength(float length);
    // Sends the settings to the engine: at each engine start and medium.
    void applySettings();
    void readPosition();
    // Whether `path` may go to the engine; when not, it is traced as refused.
    static bool canHandOver(const QString &path);
    // Said once a run, on screen and on stderr: the next write tries again.
    void placesNotKept(const QString &reason);
    // The volume sent to the engine: the user's, faded by the sleep timer.
    int sentVolume() const;
    void applyFade();
    // The folder of `path` from it; `path` alone when it is not listed there.
    void playInFolder(const QString &path);
    void addBookmark();
    // Long listening: the chapter keys, the speed key, the speed sent when
    // the engine's differs.
    void stepChapter(bool forward);
    void stepSpeed();
    void applySpeed();
    // Where the medium is for the chapter keys: the start last jumped to
    // until the engine tells another place.
    double chapterPlace() const;

    std::function<int()> windowId;
    MvPlaybackStatus *playbackStatus = nullptr;
    MvSessionSettings sessionSettings;
    MvPlayerControl *playerControl = nullptr;
    MvResumeTracker *resume = nullptr;
    MvSleepTimer *sleep = nullptr;
    MvTagReader *tags = nullptr;
    std::unique_ptr<MvBookmarks> marks;
    MvPlayQueue queue;
    // The queue as it will be once the current medium has played through,
    // when the engine was told its next entry.
    std::optional<MvPlayQueue> upcoming;
    QString playingPath;
    bool active = false;
    // The medium now playing was reported as one that cannot play.
    bool currentFailed = false;
    // Set while waiting for an engine told to quit; a pick made meanwhile is
    // kept and played once that engine has gone.
    bool quitRequested = false;
    QString pendingFile;
    // The user's last move through the queue was Previous.
    bool movingBack = false;
    // A medium continued on its own: its end does not move through the queue.
    bool playingAlone = false;
    bool placesFailureSaid = false;
    MvSpeedStore *speeds = nullptr;
    double chapterJumpTo = -1;
    double readingAtChapterJump = -1;
};
