#pragma once

#include "player/mvchapter.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

// What the engine's output says about the current medium: whether it has
// started, with or without a picture, how long it is, how far it has played,
// whether the engine refused it and when it has ended. Fed the engine's
// bytes and the time they came; owns no timer and no process: whoever feeds
// it calls tick() once nextDeadline() has come.
//
// Before playback the output is read line by line (the header). The first
// "AO: " or "VO: " line starts playback and the end-of-medium watch: from
// then on status output, ended by a carriage return, moves the elapsed time,
// and the medium ends with the engine's "EOF code: 1" line. A silence is not
// an end while the engine is alive: halfway through it the engine is asked
// for its time, and a stopped engine is waited for; only an engine that says
// nothing at all, asked or not, has its medium taken as ended.
//
// The engine's identification lines list the medium's chapters; the list is
// told once per medium, when the engine has given their count.
class MvEngineOutput : public QObject
{
    Q_OBJECT

public:
    explicit MvEngineOutput(QObject *parent = nullptr);

    // Silence after which a playing medium counts as ended, unless the engine
    // answered the probe sent halfway through or is stopped or busy.
    static constexpr int silence = 1200;
    // The same while nothing on screen reads the time and the engine tells it
    // once a second.
    static constexpr int unseenSilence = 3000;
    void setSilence(int ms) { silenceMs = ms; }
    // Most output kept waiting for its line end, per channel.
    static constexpr qsizetype maxUnread = 64 * 1024;

    // How long a medium may take to reach playback, and how long once the
    // engine has refused it without giving its reason (with one it ends at once).
    void setDeadlines(int start, int refusalSettle);
    // Whether the engine's process is stopped (a job-control stop, a
    // debugger) or busy (a far seek, slow storage): its silence is no end,
    // however long.
    void setStallCheck(std::function<bool()> check) { stalled = std::move(check); }

    // A medium was handed to the engine: what is buffered belongs to the one before.
    void begin(qint64 nowMs);
    // The engine went on by itself to the medium it printed after the last
    // one's end (see wentOnTo()): what follows is this medium's.
    void follow(qint64 nowMs);
    // The engine's standard output and standard error.
    void feed(const QByteArray &bytes, qint64 nowMs);
    void feedErrors(const QByteArray &bytes, qint64 nowMs);
    // Fires what is due; the time nothing is due before, -1 for never.
    void tick(qint64 nowMs);
    qint64 nextDeadline() const;

    // No deadline runs until the next medium or resume(): the engine took a
    // pause, has gone, or a new medium is on its way.
    void hold();
    // The engine plays again, from a pause or a seek: a medium yet to start
    // gets its whole start deadline, a playing one is watched from now.
    void resume(qint64 nowMs);
    // A seek while playing: the silence counts from now.
    void seeked(qint64 nowMs);
    // The engine was told to quit: the medium can no longer fail to start.
    void cancelStart();
    void stopWatching() { watch = false; }

    bool watching() const { return watch; }
    // Whether the last end was the engine's own word, not a silence.
    bool endWasSaid() const { return endSaid; }
    // What the engine said it plays next right after that end ("Playing
    // NAME."), as its bytes; empty when it said nothing more.
    QByteArray wentOnTo() const { return nextPlaying; }
    bool starting() const { return startDue >= 0; }
    bool mediumStarted() const { return started; }
    // The engine has opened the current medium, or said that it cannot.
    bool tookMedium() const { return started || !refusal.isEmpty(); }
    // The engine's line that made the current medium unplayable.
    QString refusalLine() const { return refusal; }
    // The latest elapsed time, e.g. "01:15.4"; a status without one, or "%1".
    QString elapsedText() const { return elapsed; }
    // The latest elapsed time in seconds, from the status output's number
    // (it tells a video's time too, which has no elapsed text); -1 before any.
    double elapsedSeconds() const { return atSeconds; }
    float length() const { return knownLength; }
    qsizetype unreadBytes() const { return unread.size() - readFrom; }
    // The current medium's chapters, in the engine's order; empty until told.
    const QVector<MvChapter> &chapters() const { return chapterList; }

signals:
    void audioFileDetected();
    void videoStreamNamed();
    // The engine recognised the file, or the time has run past its length.
    void lengthWanted();
    void playbackStarted(bool video);
    // Each length reply; lengthChanged() only when it differs.
    void lengthRead(float seconds);
    void lengthChanged(float seconds);
    void elapsedRead();
    void elapsedChanged(const QString &text);
    // The elapsed time moved to another whole second.
    void elapsedSecondsChanged(int seconds);
    // The medium did not reach playback: the engine's refusal, or empty
    // when the start deadline passed.
    void cannotPlay(const QString &refusal);
    // The engine has been silent for half the silence: it is asked its time.
    void probeWanted();
    void ended();
    // The medium's chapters (none: an empty list), once per medium.
    void chaptersRead(const QVector<MvChapter> &chapters);

private:
    void readHeaderLine(const QByteArray &line, qint64 nowMs);
    void readStatusPhase(qint64 nowMs);
    void readStatus(const QByteArray &bytes, bool always);
    void readLengthReply(const QByteArray &line);
    bool readIdentification(const QByteArray &line);
    void noticeRefusal(const QString &line, qint64 nowMs);
    void setElapsed(const QString &text);
    void setSeconds(double at);
    void setLength(float seconds);
    void watchFrom(qint64 nowMs);
    void parse(qint64 nowMs);
    void reset(qint64 nowMs);
    static QByteArray takeLine(const QByteArray &buffer, qsizetype &from);
    static void trim(QByteArray &buffer);

    int startLimit = 5000;
    int refusalSettle = 1000;
    int silenceMs = silence;
    // Output not yet taken, from readFrom on; what lies before goes once per feed.
    QByteArray unread;
    qsizetype readFrom = 0;
    QByteArray unreadErrors;
    // Bumped by begin(): a signal's receiver may start the next medium.
    quint64 generation = 0;
    qint64 startDue = -1;
    bool watch = false;
    qint64 lastOutput = 0;
    bool probed = false;
    bool endSaid = false;
    QByteArray nextPlaying;
    // Set by follow(): the output being read goes on as the next medium's.
    bool carryOn = false;
    std::function<bool()> stalled;
    bool started = false;
    bool videoStream = false;
    QString refusal;
    QString elapsed = QStringLiteral("%1");
    double atSeconds = -1;
    int wholeSeconds = -1;
    float knownLength = -1;
    double lengthAskedAt = -1;
    // Most chapters kept of one medium.
    static constexpr qsizetype maxChapters = 65536;
    // The chapters being listed, then those told once their count came.
    QVector<MvChapter> listedChapters;
    QVector<MvChapter> chapterList;
    bool chaptersTold = false;
};
