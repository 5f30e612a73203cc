#pragma once

#include "player/mvchapter.h"

#include <QObject>
#include <QString>
#include <QVector>

class MvPlaybackSession;

// What plays, as views show it: the one account of the playback session's
// state that the now-playing view, the window and the desktop's controls
// read. Only the session writes it; views hold it const.
class MvPlaybackStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString medium READ medium NOTIFY mediumChanged)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(double length READ length NOTIFY lengthChanged)
    Q_PROPERTY(bool paused READ isPaused NOTIFY pausedChanged)
    Q_PROPERTY(int volume READ volume NOTIFY volumeChanged)
    Q_PROPERTY(double speed READ speed NOTIFY speedChanged)
    Q_PROPERTY(QVector<MvChapter> chapters READ chapters NOTIFY chaptersChanged)
    Q_PROPERTY(int chapter READ chapter NOTIFY chapterChanged)
    Q_PROPERTY(int place READ place NOTIFY placeChanged)
    Q_PROPERTY(int count READ count NOTIFY placeChanged)

public:
    // The medium's path; the last one's once playback has stopped.
    QString medium() const { return path; }
    // What a view calls it: the playlist's title for it, else its tags'
    // title, else empty (the view shows its file name).
    QString title() const { return shownTitle; }
    // Seconds played and the medium's length; -1 until the engine tells.
    double position() const { return at; }
    double length() const { return total; }
    bool isPaused() const { return paused; }
    // Percent, 0 to 100.
    int volume() const { return level; }
    double speed() const { return rate; }
    QVector<MvChapter> chapters() const { return marks; }
    // The chapter the position lies in, -1 for none.
    int chapter() const { return currentChapter; }
    // The medium's place among the list's entries, from 1; 0 for none.
    int place() const { return listPlace; }
    int count() const { return listCount; }

signals:
    // A medium is up: a new one, or the same one again.
    void mediumChanged(const QString &path);
    void titleChanged(const QString &title);
    // Once a whole second, or when the position becomes known or unknown.
    void positionChanged(double seconds);
    void lengthChanged(double seconds);
    void pausedChanged(bool paused);
    void volumeChanged(int percent);
    void speedChanged(double speed);
    void chaptersChanged();
    void chapterChanged(int index);
    void placeChanged(int place, int count);
    // Once after any change but the position's, from the event loop: for
    // views that show everything at once, such as the desktop's controls.
    void changed();

private:
    friend class MvPlaybackSession;
    explicit MvPlaybackStatus(QObject *parent);

    void setMedium(const QString &path);
    void setTitle(const QString &title);
    void setPosition(double seconds);
    void setLength(double seconds);
    void setPaused(bool on);
    void setVolume(int percent);
    void setSpeed(double speed);
    void setChapters(const QVector<MvChapter> &chapters);
    void setPlace(int place, int count);
    void updateChapter();
    void noteChange();

    QString path;
    QString shownTitle;
    double at = -1;
    double total = -1;
    bool paused = false;
    int level = 50;
    double rate = 1.0;
    QVector<MvChapter> marks;
    int currentChapter = -1;
    int listPlace = 0;
    int listCount = 0;
    bool changePending = false;
};
