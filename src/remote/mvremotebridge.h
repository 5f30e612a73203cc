#pragma once

#include <QObject>

class MvMpris;
class MvPlaybackSession;
class MvPlaybackStatus;

// Keeps the desktop's media controls in step with playback: what plays, its
// state, place, modes and volume go out; what the controls ask comes in as
// the session's actions.
class MvRemoteBridge : public QObject
{
    Q_OBJECT

public:
    MvRemoteBridge(MvMpris *mpris, MvPlaybackSession *session, QObject *parent = nullptr);

private:
    void publishState();
    void publishModes();

    MvMpris *mpris;
    MvPlaybackSession *session;
    const MvPlaybackStatus *status;
};
