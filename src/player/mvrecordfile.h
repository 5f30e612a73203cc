#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// A small file of the program's own records in the user area: a header line,
// then one record a line, its fields apart by tabs, oldest first. Written
// through MvUserFile under the folder's lock, so that instances sharing the
// folder merge their changes over what the others wrote. A file that does not
// start with the header is not ours: it is ignored and replaced.
class MvRecordFile
{
public:
    using Record = QList<QByteArray>;
    using Records = QList<Record>;

    MvRecordFile(const QString &filePath, const QByteArray &header, qint64 maxSize);

    QString path() const { return filePath; }
    // Removes temporaries a kill left behind, when no instance writes: at the first read.
    void tidy() const;
    // What the file holds; false when it holds nothing of ours.
    bool read(Records *records) const;
    // Under the lock, writes what `merge` makes of what the file holds now
    // (nothing, when it is not ours), the oldest records dropped past the
    // size limit; `written` has what was meant to be written. On any
    // failure the old file stays as it was.
    bool update(const std::function<Records(const Records &)> &merge, Records *written);
    // Told the file's name and the system's word whenever a write fails.
    void onWriteFailure(std::function<void(const QString &reason)> told)
    {
        writeFailed = std::move(told);
    }

    // A path as a field: percent-encoded by its bytes, so that names that are
    // not UTF-8 come back as the very file.
    static QByteArray pathField(const QString &path);
    static QString pathFromField(const QByteArray &field);

private:
    QString filePath;
    QByteArray header;
    qint64 maxSize;
    std::function<void(const QString &reason)> writeFailed;
};
