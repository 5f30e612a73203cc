#include "player/mvplaymodes.h"

#include "core/mvuserfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const char *const UserArea = "/ezx_user/download/appwrite/movara";
} // namespace

QString MvPlayModes::defaultPath()
{
    const QString dir = qEnvironmentVariableIsSet("MOVARA_SETTINGS_DIR")
                            ? qEnvironmentVariable("MOVARA_SETTINGS_DIR")
                            : QString::fromLatin1(UserArea);
    return dir + QStringLiteral("/playmodes.cfg");
}

MvPlayModes MvPlayModes::load(const QString &path)
{
    MvPlayModes modes;
    {
        MvUserFile::Lock lock(path);
        if (lock.held())
            MvUserFile::removeTemporaries(path);
    }
    // A few short lines at most; anything longer is not ours.
    const QByteArray text = MvUserFile::read(path, 4096);
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line == "Shuffle = on")
            modes.shuffle = true;
        else if (line == "Repeat = one")
            modes.repeat = MvPlayQueue::Repeat::One;
        else if (line == "Repeat = all")
            modes.repeat = MvPlayQueue::Repeat::All;
    }
    return modes;
}

bool MvPlayModes::save(const QString &path, QString *reason) const
{
    const char *repeatText = repeat == MvPlayQueue::Repeat::One   ? "one"
                             : repeat == MvPlayQueue::Repeat::All ? "all"
                                                                  : "off";
    QDir().mkpath(QFileInfo(path).absolutePath());
    MvUserFile::Lock lock(path);
    return MvUserFile::replace(path,
                               QByteArray("Shuffle = ") + (shuffle ? "on" : "off") +
                                   "\nRepeat = " + repeatText + '\n',
                               reason);
}
