#pragma once

#include "player/mvplayqueue.h"

#include <QString>

// Shuffle and repeat as the user left them, kept in a small file in the
// phone's user area. A file that is missing or unreadable means "off".
struct MvPlayModes
{
    bool shuffle = false;
    MvPlayQueue::Repeat repeat = MvPlayQueue::Repeat::Off;

    static MvPlayModes load(const QString &path = defaultPath());
    // False, with the file's name and the system's word in `reason`, when it cannot be written.
    bool save(const QString &path = defaultPath(), QString *reason = nullptr) const;

    // MOVARA_SETTINGS_DIR stands in for the user area where tests need one of their own.
    static QString defaultPath();
};
