#pragma once

#include <QList>
#include <QString>

#include <sys/types.h>

// The speed each folder was last played at, kept in a small file in the
// phone's user area, so that a book read at 1.5 goes on at 1.5; a folder
// never set plays at 1. Written through MvUserFile, merged with what other
// instances wrote; a file that is not ours is ignored and replaced.
class MvSpeedStore
{
public:
    static const char defaultPath[];
    static constexpr int maxFolders = 500;
    static constexpr qint64 maxFileSize = 128 * 1024;
    static constexpr double slowest = 0.5;
    static constexpr double fastest = 3.0;

    explicit MvSpeedStore(const QString &filePath = QString::fromLatin1(defaultPath));

    // The speed of `folder`'s media; the file is read again once another
    // instance has changed it.
    double speedOf(const QString &folder);
    // Keeps `speed` for `folder` (1 forgets it). False, with the file's name
    // and the system's word in `reason`, when it cannot be written; this
    // instance keeps it meanwhile and writes it with the next change.
    bool setSpeed(const QString &folder, double speed, QString *reason = nullptr);

    QString filePath() const { return path; }

private:
    struct Entry
    {
        QString folder;
        double speed = 1;
    };
    static bool parse(const QByteArray &data, QList<Entry> *entries);
    static void put(QList<Entry> *entries, const Entry &entry);
    void refresh();

    QString path;
    QList<Entry> entries;
    // Changes not yet written, oldest first.
    QList<Entry> unwritten;
    // What the file was when last read: its size and change time.
    off_t readSize = -1;
    qint64 readChange = -1;
};
