#pragma once

#include "player/mvchapter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

class MvPlaybackStatus;

// Stops playing after a set time, or at the end of the medium or of the
// chapter playing. Its last seconds fade the sound out (fadeLevel()), which
// comes back once it has fired; a key pressed in the last minute of a set
// time adds that time again. It goes off once it has fired.
// MOVARA_SLEEP_SECOND_MS (1 to 1000) shortens its second for tests.
class MvSleepTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int EndOfFile = -1;
    static constexpr int EndOfChapter = -2;
    static constexpr int fadeSeconds = 10;
    static constexpr int extendSeconds = 60;

    explicit MvSleepTimer(QObject *parent = nullptr);

    // Where the medium is, its length, chapters and speed: for the ends of
    // files and chapters.
    void follow(const MvPlaybackStatus *status);

    // 0 turns it off; EndOfFile and EndOfChapter wait for that end.
    void setMinutes(int minutes);
    int minutes() const { return setting; }
    bool isActive() const { return setting != 0; }
    bool stopsAtEnd() const { return setting < 0; }
    // Seconds left, or -1 when off or waiting for an end.
    int secondsLeft() const;
    // The medium ended: fires when waiting for an end.
    bool mediumEnded();
    // The share of the volume to play at: 1, falling to 0 over the last seconds.
    double fadeLevel() const { return level; }
    // A key was pressed: in the last minute of a set time, that time is
    // added again. Whether it was.
    bool extend();

    // Seconds of playing left before the end `setting` waits for, -1 when
    // unknown; the speed makes them shorter.
    static double secondsToEnd(int setting, double position, double length,
                               const QVector<MvChapter> &chapters, double speed);
    // Where the chapter that holds `position` ends, -1 for none.
    static double chapterEnd(double position, double length, const QVector<MvChapter> &chapters);

signals:
    void fired();
    void changed();
    void fadeLevelChanged(double level);

private:
    void fire();
    // Follows the fade and, for a chapter's end, whether it was played past.
    void check();
    bool chapterPlayedPast();
    double leftNow() const;
    void setLevel(double next);

    const MvPlaybackStatus *status = nullptr;
    int setting = 0;
    int secondMs = 1000;
    qint64 durationMs = 0;
    QTimer timer;
    // Ticks while the sound fades.
    QTimer tick;
    QElapsedTimer since;
    double level = 1;
    // The end of the chapter last seen playing.
    double watchedEnd = -1;
};
