#include "player/mvbookmarks.h"

#include "platform/boardpaths.h"

namespace {
const QByteArray header = QByteArrayLiteral("movara-bookmarks 1\n");

bool fromRecord(const MvRecordFile::Record &fields, MvBookmarks::Bookmark *mark)
{
    if (fields.size() != 4)
        return false;
    bool ok[3] = {};
    mark->position = fields[0].toInt(&ok[0]);
    mark->chapter = fields[1].toInt(&ok[1]);
    mark->madeAt = fields[2].toLongLong(&ok[2]);
    mark->medium = MvRecordFile::pathFromField(fields[3]);
    return ok[0] && ok[1] && ok[2] && mark->position >= 0 && mark->chapter >= -1 &&
           !mark->medium.isEmpty();
}

MvRecordFile::Record toRecord(const MvBookmarks::Bookmark &mark)
{
    return {QByteArray::number(mark.position), QByteArray::number(mark.chapter),
            QByteArray::number(mark.madeAt), MvRecordFile::pathField(mark.medium)};
}
} // namespace

const char MvBookmarks::defaultPath[] = "/ezx_user/download/appwrite/movara/bookmarks";

MvBookmarks::MvBookmarks(const QString &filePath)
    : file(QString::fromStdString(boardPath(filePath.toStdString())), header, maxFileSize)
{
    file.tidy();
}

QList<MvBookmarks::Bookmark> MvBookmarks::merged(const MvRecordFile::Records &records) const
{
    QList<Bookmark> all;
    for (const MvRecordFile::Record &record : records) {
        Bookmark mark;
        if (fromRecord(record, &mark) && !all.contains(mark))
            all.append(mark);
    }
    for (const Change &change : changes) {
        all.removeAll(change.mark);
        if (change.kept)
            all.append(change.mark);
    }
    while (all.size() > maxEntries)
        all.removeFirst();
    return all;
}

QList<MvBookmarks::Bookmark> MvBookmarks::list()
{
    MvRecordFile::Records records;
    // A file that is not ours holds none: ours are what this run knows.
    marks = file.read(&records) ? merged(records) : merged({});
    QList<Bookmark> newestFirst(marks.crbegin(), marks.crend());
    return newestFirst;
}

bool MvBookmarks::add(const Bookmark &mark)
{
    changes.append({mark, true});
    return write();
}

bool MvBookmarks::remove(const Bookmark &mark)
{
    changes.append({mark, false});
    return write();
}

bool MvBookmarks::write()
{
    MvRecordFile::Records written;
    const bool done = file.update(
        [this](const MvRecordFile::Records &now) {
            MvRecordFile::Records records;
            for (const Bookmark &mark : merged(now))
                records.append(toRecord(mark));
            return records;
        },
        &written);
    marks = merged(written);
    if (done)
        changes.clear();
    return done;
}
