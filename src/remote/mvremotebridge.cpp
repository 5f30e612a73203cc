#include "remote/mvremotebridge.h"

#include "core/trace.h"
#include "player/mvmediatags.h"
#include "player/mvplaybacksession.h"
#include "player/mvplaybackstatus.h"
#include "player/mvtagreader.h"
#include "remote/mvmpris.h"

#include <QCoreApplication>

MvRemoteBridge::MvRemoteBridge(MvMpris *remote, MvPlaybackSession *playback, QObject *parent)
    : QObject(parent), mpris(remote), session(playback), status(playback->status())
{
    // Desktop controls show a cover by its file.
    if (mpris->isRegistered() && session->tagReader())
        session->tagReader()->keepCoverFiles();
    mpris->setPositionSource([this] { return status->position(); });

    connect(mpris, &MvMpris::actionRequested, session, [this](int action) {
        traceLine("Remote : Kp %04x\n", static_cast<unsigned>(keyForAction(MvAction(action))));
        session->act(MvAction(action));
    });
    connect(mpris, &MvMpris::openRequested, session, &MvPlaybackSession::openGiven);
    connect(mpris, &MvMpris::continueRequested, session, &MvPlaybackSession::continueLast);
    connect(mpris, &MvMpris::quitRequested, qApp, &QCoreApplication::quit);
    connect(mpris, &MvMpris::positionRequested, session, &MvPlaybackSession::seekTo);
    connect(mpris, &MvMpris::modesRequested, session, [this](bool shuffle, int loop) {
        session->setModes(shuffle, loop == int(MvMpris::Loop::Track) ? MvPlayQueue::Repeat::One
                                   : loop == int(MvMpris::Loop::Playlist)
                                       ? MvPlayQueue::Repeat::All
                                       : MvPlayQueue::Repeat::Off);
    });
    connect(mpris, &MvMpris::volumeRequested, session, &MvPlaybackSession::setVolume);
    connect(mpris, &MvMpris::rateRequested, session, &MvPlaybackSession::setSpeed);

    connect(session, &MvPlaybackSession::stateChanged, this, &MvRemoteBridge::publishState);
    connect(status, &MvPlaybackStatus::changed, this, &MvRemoteBridge::publishState);
    connect(session, &MvPlaybackSession::modesChanged, this, &MvRemoteBridge::publishModes);
    connect(session, &MvPlaybackSession::seekedTo, mpris, &MvMpris::seekedTo);
    connect(session, &MvPlaybackSession::seekedBy, mpris, &MvMpris::seekedBy);
    connect(status, &MvPlaybackStatus::lengthChanged, this, [this](double length) {
        if (length >= 0 && length < 1e7) {
            // The length belongs to the medium now playing, whose track the bus must have first.
            publishState();
            mpris->setLength(length);
        }
    });
    connect(session, &MvPlaybackSession::tagsRead, this, [this](const MvMediaTags &tags) {
        mpris->setTrack(tags.path, status->title(), tags.artist, tags.album, tags.coverFile);
    });
    publishModes();
}

void MvRemoteBridge::publishState()
{
    if (!mpris->isRegistered())
        return;
    const bool active = session->isActive() && !session->isQuitting();
    mpris->setStatus(!active              ? MvMpris::Status::Stopped
                     : status->isPaused() ? MvMpris::Status::Paused
                                          : MvMpris::Status::Playing);
    const QString path = status->medium();
    if (!session->isActive())
        mpris->setTrack(QString(), QString(), QString(), QString(), QString());
    else if (mpris->trackFile() != path)
        mpris->setTrack(path, status->title(), QString(), QString(), QString());
    mpris->setVolumeLevel(status->volume());
    mpris->setRateLevel(status->speed());
}

void MvRemoteBridge::publishModes()
{
    const MvPlayQueue::Repeat repeat = session->playQueue().repeatMode();
    mpris->setModes(session->playQueue().isShuffle(),
                    repeat == MvPlayQueue::Repeat::One   ? MvMpris::Loop::Track
                    : repeat == MvPlayQueue::Repeat::All ? MvMpris::Loop::Playlist
                                                         : MvMpris::Loop::None);
}
