#include "remote/mvmpris.h"

#include "core/rawfilename.h"
#include "player/mvaction.h"
#include "remote/mvmprisroot.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>
#include <QtMath>

#include <algorithm>

#include <unistd.h>

namespace {
// The address of a file, its bytes as they are when its name is no UTF-8.
QString fileUrl(const QString &path)
{
    if (!hasRawBytes(path))
        return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    return QStringLiteral("file://") +
           QString::fromLatin1(rawFileName(path).toPercentEncoding("/"));
}

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr qlonglong usPerSecond = 1000000;

// Only a bus that is there: asking for one otherwise may start a daemon.
bool sessionBusGiven()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}
} // namespace

MvMpris::MvMpris(QObject *parent) : QObject(parent)
{
    setHostPaths(qgetenv("MOVARA_HOST_PATHS"));
    seekTimer.setSingleShot(true);
    seekTimer.setInterval(seekIntervalMs);
    connect(&seekTimer, &QTimer::timeout, this, &MvMpris::sendPendingSeek);
    if (!sessionBusGiven())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    root = new MvMprisRoot(this);
    connect(root, &MvMprisRoot::quitRequested, this, &MvMpris::quitRequested);
    // One object on the path: the player's interface its own, the rest an adaptor.
    if (!bus.registerObject(objectPath, this,
                            QDBusConnection::ExportAdaptors | QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportScriptableSignals |
                                QDBusConnection::ExportAllProperties))
        return;
    // A second Movara on the same bus takes a name of its own.
    // Sandboxed instances may share a pid: then the connection's own unique
    // name, which no other holds, tells them apart.
    const QString first = QStringLiteral("org.mpris.MediaPlayer2.movara");
    QString unique = bus.baseService();
    unique.remove(QLatin1Char(':')).replace(QLatin1Char('.'), QLatin1Char('_'));
    for (const QString &name :
         {first, first + QStringLiteral(".instance%1").arg(::getpid()),
          first + QStringLiteral(".instance%1_%2").arg(::getpid()).arg(unique)}) {
        if (bus.registerService(name)) {
            service = name;
            registered = true;
            return;
        }
    }
}

void MvMpris::setHostPaths(const QByteArray &lines)
{
    hostPaths.clear();
    const auto path = [](const QByteArray &encoded) {
        return fileNameFromRaw(QByteArray::fromPercentEncoding(encoded));
    };
    for (const QByteArray &line : lines.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 1 && line.startsWith('/') && eq + 1 < line.size())
            hostPaths.append({path(line.left(eq)), path(line.mid(eq + 1))});
    }
    // The deepest first, so that a folder bound inside another is found.
    std::sort(hostPaths.begin(), hostPaths.end(),
              [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
}

QString MvMpris::hostPath(const QString &path) const
{
    for (const auto &[inside, outside] : hostPaths) {
        if (path == inside)
            return outside;
        if (path.startsWith(inside) && path.at(inside.size()) == QLatin1Char('/'))
            return outside + path.mid(inside.size());
    }
    return path;
}

MvMpris::~MvMpris()
{
    if (!registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service);
    bus.unregisterObject(objectPath);
}

QString MvMpris::playbackStatus() const
{
    switch (state) {
    case Status::Playing:
        return QStringLiteral("Playing");
    case Status::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QDBusObjectPath MvMpris::trackId() const
{
    return QDBusObjectPath(trackPath.isEmpty()
                               ? QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")
                               : QStringLiteral("/org/movara/track/%1").arg(track));
}

QVariantMap MvMpris::metadata() const
{
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    if (trackPath.isEmpty())
        return map;
    map.insert(QStringLiteral("xesam:title"),
               title.isEmpty() ? QFileInfo(trackPath).fileName() : title);
    if (!artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{artist});
    if (!album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), album);
    map.insert(QStringLiteral("xesam:url"), fileUrl(hostPath(trackPath)));
    if (length > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(length) * usPerSecond);
    if (!art.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), fileUrl(hostPath(art)));
    return map;
}

qlonglong MvMpris::position() const
{
    double seconds = positionSource && state != Status::Stopped ? positionSource() : -1;
    // Until the engine tells a new place (none comes while paused), the place jumped to.
    if (jumpedTo >= 0 && seconds == readingAtJump)
        seconds = jumpedTo;
    // To the tenth the engine tells.
    return seconds > 0 ? qRound64(seconds * 10) * (usPerSecond / 10) : 0;
}

void MvMpris::changed(const QVariantMap &properties)
{
    if (!registered)
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << playerInterface << properties << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void MvMpris::setTrack(const QString &path, const QString &newTitle, const QString &newArtist,
                       const QString &newAlbum, const QString &artFile)
{
    if (path != trackPath) {
        ++track;
        length = -1;
        pendingSeek = -1;
        lastRequested = -1;
        jumpedTo = -1;
    }
    if (path == trackPath && newTitle == title && newArtist == artist && newAlbum == album &&
        artFile == art)
        return;
    trackPath = path;
    title = newTitle;
    artist = newArtist;
    album = newAlbum;
    art = artFile;
    // Nobody listens without a bus: the metadata is not even made.
    if (registered)
        changed({{QStringLiteral("Metadata"), metadata()}, {QStringLiteral("CanSeek"), canSeek()}});
}

void MvMpris::setLength(double exact)
{
    // In whole seconds, a part counting as one: a medium with any length can seek.
    const int seconds = exact > 0 ? int(qCeil(exact)) : int(exact);
    if (seconds == length || trackPath.isEmpty())
        return;
    length = seconds;
    if (registered)
        changed({{QStringLiteral("Metadata"), metadata()}, {QStringLiteral("CanSeek"), canSeek()}});
}

void MvMpris::setStatus(Status status)
{
    if (status == state)
        return;
    state = status;
    changed({{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

void MvMpris::setVolumeLevel(int percent)
{
    if (percent == volumeLevel)
        return;
    volumeLevel = percent;
    changed({{QStringLiteral("Volume"), volume()}});
}

void MvMpris::setRateLevel(double rate)
{
    if (rate == rateLevel)
        return;
    rateLevel = rate;
    changed({{QStringLiteral("Rate"), rate}});
}

void MvMpris::setRate(double rate)
{
    // 0 pauses, as the interface has it; what is no rate is refused, the
    // rest brought within the rates offered.
    if (rate == 0) {
        Pause();
        return;
    }
    if (!qIsFinite(rate) || rate < 0 || state == Status::Stopped)
        return;
    emit rateRequested(qBound(minimumRateLevel, rate, maximumRateLevel));
}

void MvMpris::setModes(bool shuffle, Loop newLoop)
{
    if (shuffle == shuffleOn && newLoop == loop)
        return;
    shuffleOn = shuffle;
    loop = newLoop;
    changed({{QStringLiteral("Shuffle"), shuffleOn}, {QStringLiteral("LoopStatus"), loopStatus()}});
}

QString MvMpris::loopStatus() const
{
    switch (loop) {
    case Loop::Track:
        return QStringLiteral("Track");
    case Loop::Playlist:
        return QStringLiteral("Playlist");
    default:
        return QStringLiteral("None");
    }
}

void MvMpris::setLoopStatus(const QString &status)
{
    // Anything but the three names is refused.
    if (status == QLatin1String("None"))
        emit modesRequested(shuffleOn, int(Loop::None));
    else if (status == QLatin1String("Track"))
        emit modesRequested(shuffleOn, int(Loop::Track));
    else if (status == QLatin1String("Playlist"))
        emit modesRequested(shuffleOn, int(Loop::Playlist));
}

void MvMpris::setShuffle(bool on)
{
    emit modesRequested(on, int(loop));
}

void MvMpris::setVolume(double level)
{
    if (!qIsFinite(level))
        return;
    emit volumeRequested(int(qRound(qBound(0.0, level, 1.0) * 100)));
}

void MvMpris::Next()
{
    emit actionRequested(int(MvAction::Next));
}

void MvMpris::Previous()
{
    emit actionRequested(int(MvAction::Previous));
}

void MvMpris::Pause()
{
    if (state == Status::Playing)
        emit actionRequested(int(MvAction::PlayPause));
}

void MvMpris::PlayPause()
{
    if (state == Status::Stopped)
        emit continueRequested();
    else
        emit actionRequested(int(MvAction::PlayPause));
}

void MvMpris::Stop()
{
    if (state != Status::Stopped)
        emit actionRequested(int(MvAction::Stop));
}

void MvMpris::Play()
{
    if (state == Status::Stopped)
        emit continueRequested();
    else if (state == Status::Paused)
        emit actionRequested(int(MvAction::PlayPause));
}

void MvMpris::Seek(qlonglong offset)
{
    if (state == Status::Stopped || length <= 0)
        return;
    // The phone's own steps go as its keys do.
    if (offset == 15 * usPerSecond || offset == -15 * usPerSecond) {
        emit actionRequested(int(offset > 0 ? MvAction::SeekForward : MvAction::SeekBack));
        return;
    }
    // From the newest place asked for while the engine has not got there yet.
    const qlonglong from = pendingSeek >= 0       ? qlonglong(pendingSeek) * usPerSecond
                           : seekTimer.isActive() ? qlonglong(lastRequested) * usPerSecond
                                                  : position();
    // Far beyond either end: clamped, without overflow.
    const qlonglong bound = qlonglong(length) * usPerSecond * 2;
    const qlonglong target = from + qBound(-bound, offset, bound);
    if (target >= qlonglong(length) * usPerSecond) {
        Next();
        return;
    }
    requestPosition(int(qMax<qlonglong>(0, target) / usPerSecond));
}

void MvMpris::SetPosition(const QDBusObjectPath &id, qlonglong at)
{
    if (state == Status::Stopped || id != trackId() || at < 0 || length <= 0 ||
        at > qlonglong(length) * usPerSecond)
        return;
    requestPosition(int(at / usPerSecond));
}

void MvMpris::requestPosition(int seconds)
{
    if (seekTimer.isActive()) {
        pendingSeek = seconds;
        return;
    }
    lastRequested = seconds;
    seekTimer.start();
    emit positionRequested(seconds);
}

void MvMpris::sendPendingSeek()
{
    if (pendingSeek < 0)
        return;
    const int seconds = pendingSeek;
    pendingSeek = -1;
    requestPosition(seconds);
}

void MvMpris::seekedTo(int seconds)
{
    readingAtJump = positionSource ? positionSource() : -1.0;
    jumpedTo = qMax(0, seconds);
    if (registered)
        emit Seeked(qlonglong(jumpedTo) * usPerSecond);
}

void MvMpris::seekedBy(int offset)
{
    if (!positionSource || positionSource() < 0)
        return;
    const int target = int(qMax<qlonglong>(0, position() / usPerSecond + offset));
    if (length > 0 && target >= length)
        return;
    seekedTo(target);
}

void MvMpris::OpenUri(const QString &uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return;
    // The percent-encoded bytes are the name's own, UTF-8 or not; the window
    // checks the file as it checks a picked one.
    const QString path =
        fileNameFromRaw(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    if (path.startsWith(QLatin1Char('/')))
        emit openRequested(path);
}
