#include "player/mvplaymodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return modes;
    // A few short lines at most; anything longer is not ours.
    const QByteArray text = file.read(4096);
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

bool MvPlayModes::save(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const char *repeatText = repeat == MvPlayQueue::Repeat::One   ? "one"
                             : repeat == MvPlayQueue::Repeat::All ? "all"
                                                                  : "off";
    file.write(QByteArray("Shuffle = ") + (shuffle ? "on" : "off") + "\nRepeat = " + repeatText +
               '\n');
    return file.commit();
}
