#pragma once

#include "player/mvplayqueue.h"

#include <QString>

// Shuffle and repeat as the user left them, kept in a small file in the
// phone's user area. A file that is missing, unreadable or unwritable means
// "off", and nothing is said about it.
struct MvPlayModes
{
    bool shuffle = false;
    MvPlayQueue::Repeat repeat = MvPlayQueue::Repeat::Off;

    static MvPlayModes load(const QString &path = defaultPath());
    bool save(const QString &path = defaultPath()) const;

    // MOVARA_SETTINGS_DIR stands in for the user area where tests need one of their own.
    static QString defaultPath();
};
