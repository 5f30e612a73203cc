#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class MvPlaybackSession;

// What plays while the engine draws no picture: the medium's name, elapsed
// and total time, its place in the folder, its chapter, its speed, a paused
// mark and, for a moment after a change, the volume. Drawn by the program on black. While shown it
// reads the elapsed time twice a second and repaints only what changed.
class MvNowPlayingView : public QWidget
{
    Q_OBJECT

public:
    explicit MvNowPlayingView(QWidget *parent);

    // Shows what `session` plays: the medium and its place, tags, length,
    // elapsed time, the paused mark and the sleep timer.
    void follow(const MvPlaybackSession *session);

    // A new medium: its name, its place (1-based) among `count` entries.
    void setMedium(const QString &name, int place, int count);
    // The engine's latest elapsed time in whole seconds; -1 for none yet.
    void setElapsedSeconds(int seconds) { elapsedNow = seconds; }
    void setLength(float seconds);
    void setPaused(bool on);
    void showVolume(int volume);
    // The sleep timer's text, read with the elapsed time; empty shows nothing.
    void setSleepSource(std::function<QString()> source) { sleepSource = std::move(source); }
    QString sleepText() const { return sleepLine; }
    // What the medium's tags say, shown instead of its file name where given;
    // a title handed in (a playlist's) wins over the tags' title.
    void setTags(const QString &title, const QString &artist, const QString &album);
    void setGivenTitle(const QString &title);
    // The chapter playing, its number from 1 among `count`, and its title;
    // a number of 0 shows none.
    void setChapter(int number, int count, const QString &title);
    // The speed, marked while it is not 1.
    void setSpeed(double factor);
    // Drawn in place of the note icon; a null image brings the icon back.
    void setCover(const QImage &image);
    QString artistText() const { return elidedArtist; }
    bool hasCover() const { return !cover.isNull(); }

    // Texts as drawn, for the name line, the time line and the place line.
    QString nameText() const { return elidedName; }
    QString timeText() const;
    QString placeText() const;
    QString chapterText() const { return elidedChapter; }
    QString speedText() const;
    bool isPausedShown() const { return paused; }
    bool isVolumeShown() const { return volumeTimer.isActive(); }
    // Where the name, time, bar, place, paused mark and volume are drawn.
    QRect textArea() const;

    // "m:ss", or "h:mm:ss" from an hour on.
    static QString clockText(int seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void readElapsed();
    void updateName();
    QRect timeRect() const;
    QRect barRect() const;
    int barFill() const;
    QRect volumeRect() const;
    QRect chapterRect() const;
    void paintIcon(QPainter &painter, const QRect &box) const;

    QString name;
    QString elidedName;
    QString tagTitle;
    QString givenTitle;
    QString artistLine;
    QString elidedArtist;
    QImage cover;
    int place = 0;
    int count = 0;
    int elapsed = -1;
    int length = -1;
    int volume = 0;
    bool paused = false;
    QFont nameFont;
    QFont timeFont;
    QFont smallFont;
    QFont markFont;
    QTimer volumeTimer;
    QTimer elapsedTimer;
    int elapsedNow = -1;
    // The time as the medium started: the last medium's until the engine says more.
    int staleElapsed = -1;
    std::function<QString()> sleepSource;
    QString sleepLine;
    QString chapterLine;
    QString elidedChapter;
    double speed = 1;
};
