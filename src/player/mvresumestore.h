#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <functional>

// Where each long medium was stopped, kept in one small file. A medium is
// known by its path, size and modification time, so a replaced file starts
// from 0. A file that cannot be read or makes no sense is ignored and
// replaced on the next write.
class MvResumeStore
{
public:
    static const char defaultPath[];
    static constexpr int maxEntries = 500;
    // Shortest medium remembered, and the margins at its start and end.
    static constexpr int minLength = 300;
    static constexpr int margin = 30;
    static constexpr int writeIntervalMs = 10000;
    // The file is kept within this size; a file some way larger is still
    // read, a much larger one is not ours.
    static constexpr qint64 maxFileSize = 256 * 1024;
    static constexpr qint64 maxReadSize = 4 * maxFileSize;

    explicit MvResumeStore(const QString &filePath = QString::fromLatin1(defaultPath));

    // Whether a medium of `length` seconds stopped at `position` is worth remembering.
    static bool worthKeeping(int position, int length);

    // Where the medium was stopped, or -1.
    int positionOf(const QString &path) const;
    // The most recently stopped medium that is still there unchanged, or "".
    QString lastMedium() const;
    int count() const { return int(entries.size()); }

    // Notes the medium's place while it plays; written at most once per interval.
    void progress(const QString &path, int position, int length);
    // The medium stopped there: remembered, or forgotten when not worth keeping.
    void stopped(const QString &path, int position, int length);
    void forget(const QString &path);
    // Writes what changed since the last write.
    bool flush();
    // Told why a write failed; what it held is written with the next.
    void onWriteFailure(std::function<void(const QString &reason)> told)
    {
        writeFailed = std::move(told);
    }
    // Takes in what other instances of the program wrote since.
    void refresh();

    QString filePath() const { return path; }

    // Whether resuming is on, kept with the places.
    bool isEnabled() const { return enabled; }
    void setEnabled(bool on);

private:
    struct Entry
    {
        QString path;
        qint64 size = 0;
        qint64 mtime = 0;
        int position = 0;
        int length = 0;
    };

    // A change of this instance not yet written: the medium's new entry, or its removal.
    struct Change
    {
        Entry entry;
        bool kept = false;
    };

    void load();
    static bool parse(const QByteArray &data, QList<Entry> *entries, bool *on);
    // What the file holds now with this instance's changes on top, or false
    // when the file holds nothing of ours.
    bool merged(QList<Entry> *result, bool *on) const;
    void note(const Entry &entry, bool kept);
    bool write();
    bool keyOf(const QString &medium, Entry *entry) const;
    int indexOf(const QString &medium) const;
    bool update(const QString &medium, int position, int length);

    QString path;
    // Oldest first.
    QList<Entry> entries;
    // Oldest first; written over what other instances wrote, so that their
    // places stay and the newest place of a medium wins.
    QList<Change> changes;
    bool enabledChanged = false;
    bool dirty = false;
    bool enabled = true;
    QElapsedTimer lastWrite;
    std::function<void(const QString &)> writeFailed;
};
