#pragma once

#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <utility>

class MvMprisRoot;

// Movara as a player the rest of the system can see and drive over the
// session bus. Commands come out as the phone keys that would do the same;
// the window tells what plays. Without a session bus it does nothing.
class MvMpris : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ minimumRate CONSTANT)
    Q_PROPERTY(double MaximumRate READ maximumRate CONSTANT)
    Q_PROPERTY(bool CanGoNext READ canControl)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanPause READ canControl)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

public:
    enum class Status { Stopped, Playing, Paused };
    // Repeat off, one, all.
    enum class Loop { None, Track, Playlist };

    explicit MvMpris(QObject *parent);
    ~MvMpris() override;

    // Whether it is on the bus.
    bool isRegistered() const { return registered; }
    QString serviceName() const { return service; }

    // What plays; an empty path means nothing.
    void setTrack(const QString &path, const QString &title, const QString &artist,
                  const QString &album, const QString &artFile);
    void setLength(double seconds);
    void setStatus(Status status);
    void setVolumeLevel(int percent);
    // The playback rate, the speed; the bus may set it within these.
    void setRateLevel(double rate);
    static constexpr double minimumRateLevel = 0.5;
    static constexpr double maximumRateLevel = 3.0;
    void setModes(bool shuffle, Loop loop);
    // Where the current medium is, in seconds (-1 unknown).
    void setPositionSource(std::function<double()> source) { positionSource = std::move(source); }
    // The path being played, as the window gave it.
    QString trackFile() const { return trackPath; }
    // Where the program's folders are to the desktop, which opens the
    // addresses handed out: "inside=outside" lines (MOVARA_HOST_PATHS by
    // default), each path's bytes as they are or percent-encoded (a "%" or a
    // line break in a name must be); paths under none stay as they are.
    void setHostPaths(const QByteArray &lines);
    QString hostPath(const QString &path) const;
    // The window moved the medium to `seconds`, or by `offset` seconds from
    // where it was (not past its end, where the next medium follows).
    void seekedTo(int seconds);
    void seekedBy(int offset);
    // Requests for a place closer together than this are merged into the newest.
    static constexpr int seekIntervalMs = 100;

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString &status);
    double rate() const { return rateLevel; }
    void setRate(double rate);
    double minimumRate() const { return minimumRateLevel; }
    double maximumRate() const { return maximumRateLevel; }
    bool shuffle() const { return shuffleOn; }
    void setShuffle(bool on);
    QVariantMap metadata() const;
    double volume() const { return volumeLevel / 100.0; }
    void setVolume(double level);
    qlonglong position() const;
    bool canSeek() const { return length > 0; }
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong at);
    void OpenUri(const QString &uri);

signals:
    // The one signal of the player's interface on the bus; the rest are the window's.
    Q_SCRIPTABLE void Seeked(qlonglong position);

    // For playback: an action (an MvAction, as an int), a medium to play on
    // its own, a place to move to, a volume, Continue (Play while stopped), Quit.
    void actionRequested(int action);
    void openRequested(const QString &path);
    void positionRequested(int seconds);
    void volumeRequested(int percent);
    // A speed within the rates above.
    void rateRequested(double rate);
    // A Loop, as an int: the bus carries the signals of this class.
    void modesRequested(bool shuffle, int loop);
    void continueRequested();
    void quitRequested();

private:
    QDBusObjectPath trackId() const;
    void changed(const QVariantMap &properties);
    void requestPosition(int seconds);
    void sendPendingSeek();

    MvMprisRoot *root = nullptr;
    bool registered = false;
    QString service;
    Status state = Status::Stopped;
    QString trackPath;
    QString title;
    QString artist;
    QString album;
    QString art;
    int length = -1;
    int volumeLevel = 50;
    double rateLevel = 1.0;
    bool shuffleOn = false;
    Loop loop = Loop::None;
    int track = 0;
    std::function<double()> positionSource;
    QList<std::pair<QString, QString>> hostPaths;
    // A flood of seeks reaches the engine as one every interval, the newest.
    QTimer seekTimer;
    int pendingSeek = -1;
    int lastRequested = -1;
    // The last jump, and the engine's reading when it was made.
    int jumpedTo = -1;
    double readingAtJump = -1;
};
