#pragma once

#include <QByteArray>
#include <QString>

// Small files of the program's own in the user area (where media stopped,
// shuffle and repeat), written so that no failure or kill leaves a file
// half written: a complete, flushed temporary replaces the file in one
// rename. A symbolic link, a pipe or an empty folder in the file's place is
// replaced itself, never written through. Instances of the program that share
// the folder take turns by its lock.
class MvUserFile
{
public:
    // Holds the folder's lock while it lives; nothing is held without a
    // folder or after maxWaitMs of waiting.
    class Lock
    {
    public:
        static constexpr int maxWaitMs = 1000;
        explicit Lock(const QString &filePath);
        ~Lock();
        bool held() const { return fd >= 0; }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        int fd = -1;
    };

    // Puts `data` in the file's place. On any failure the old file stays as it
    // was, and `reason` gets the file's name and the system's word for it.
    static bool replace(const QString &filePath, const QByteArray &data, QString *reason = nullptr);
    // "<file name>: <the system's word for `error`>".
    static QString failure(const QString &filePath, int error);
    // Removes temporaries a kill left behind ("<name>.XXXXXX"); call with the lock held.
    static void removeTemporaries(const QString &filePath);
    // The file's contents, at most `limit` bytes; empty when it is not a readable file.
    static QByteArray read(const QString &filePath, qint64 limit);
};
