#include "player/mvfolderplaces.h"

#include "core/rawfilename.h"

#include <QDateTime>

#include <sys/stat.h>

namespace {
const QByteArray header = QByteArrayLiteral("movara-places 1\n");

// By the name's own bytes: QFileInfo would lose those that are not UTF-8.
bool statOf(const QString &medium, qint64 *size, qint64 *mtime)
{
    struct stat info;
    if (::stat(rawFileName(medium).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    *size = info.st_size;
    *mtime = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return true;
}

MvFolderPlaces::Place fromRecord(const MvRecordFile::Record &fields)
{
    MvFolderPlaces::Place place;
    if (fields.size() != 6)
        return place;
    bool ok[5] = {};
    const int position = fields[0].toInt(&ok[0]);
    place.length = fields[1].toInt(&ok[1]);
    place.stoppedAt = fields[2].toLongLong(&ok[2]);
    place.size = fields[3].toLongLong(&ok[3]);
    place.mtime = fields[4].toLongLong(&ok[4]);
    place.medium = MvRecordFile::pathFromField(fields[5]);
    if (ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && !place.medium.isEmpty() && position >= 0 &&
        position <= place.length)
        place.position = position;
    return place;
}

MvRecordFile::Record toRecord(const MvFolderPlaces::Place &place)
{
    return {QByteArray::number(place.position),  QByteArray::number(place.length),
            QByteArray::number(place.stoppedAt), QByteArray::number(place.size),
            QByteArray::number(place.mtime),     MvRecordFile::pathField(place.medium)};
}

// Puts `place` last in `places` as its folder's one, or takes the folder's out.
void replace(QList<MvFolderPlaces::Place> *places, const QString &folder,
             const MvFolderPlaces::Place &place)
{
    for (qsizetype i = 0; i < places->size(); ++i) {
        if (MvFolderPlaces::folderOf(places->at(i).medium) == folder) {
            places->removeAt(i);
            break;
        }
    }
    if (place.isValid())
        places->append(place);
}
} // namespace

MvFolderPlaces::MvFolderPlaces(const QString &filePath) : file(filePath, header, maxFileSize)
{
    file.tidy();
    refresh();
}

QString MvFolderPlaces::folderOf(const QString &medium)
{
    const qsizetype slash = medium.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : medium.left(slash);
}

bool MvFolderPlaces::stillThere(const Place &place) const
{
    qint64 size = 0;
    qint64 mtime = 0;
    return statOf(place.medium, &size, &mtime) && size == place.size && mtime == place.mtime;
}

MvFolderPlaces::Place MvFolderPlaces::placeIn(const QString &folder) const
{
    for (const Place &place : places)
        if (folderOf(place.medium) == folder)
            return stillThere(place) ? place : Place();
    return Place();
}

MvFolderPlaces::Place MvFolderPlaces::newest() const
{
    for (qsizetype i = places.size() - 1; i >= 0; --i)
        if (stillThere(places.at(i)))
            return places.at(i);
    return Place();
}

QList<MvFolderPlaces::Place> MvFolderPlaces::merged(const MvRecordFile::Records &records) const
{
    QList<Place> all;
    for (const MvRecordFile::Record &record : records) {
        const Place place = fromRecord(record);
        if (place.isValid())
            replace(&all, folderOf(place.medium), place);
    }
    for (const Change &change : changes)
        replace(&all, change.folder, change.place);
    while (all.size() > maxEntries)
        all.removeFirst();
    return all;
}

void MvFolderPlaces::refresh()
{
    MvRecordFile::Records records;
    if (file.read(&records) || places.isEmpty())
        places = merged(records);
}

bool MvFolderPlaces::note(const QString &medium, int position, int length)
{
    Place place;
    if (position < 0 || length <= 0 || !statOf(medium, &place.size, &place.mtime))
        return false;
    place.medium = medium;
    place.position = qMin(position, length);
    place.length = length;
    const QString folder = folderOf(medium);
    const Place kept = placeIn(folder);
    if (kept.medium == medium && kept.position == place.position && kept.length == length)
        return false;
    place.stoppedAt = QDateTime::currentSecsSinceEpoch();
    replace(&places, folder, place);
    changes.append({folder, place});
    return true;
}

void MvFolderPlaces::progress(const QString &medium, int position, int length)
{
    note(medium, position, length);
    if (!changes.isEmpty() && (!lastWrite.isValid() || lastWrite.elapsed() >= writeIntervalMs))
        write();
}

void MvFolderPlaces::stopped(const QString &medium, int position, int length)
{
    // A stop is news even at the place last written: it tells when.
    if (!note(medium, position, length) && placeIn(folderOf(medium)).medium == medium) {
        Place place = placeIn(folderOf(medium));
        place.stoppedAt = QDateTime::currentSecsSinceEpoch();
        replace(&places, folderOf(medium), place);
        changes.append({folderOf(medium), place});
    }
    flush();
}

void MvFolderPlaces::ended(const QString &medium)
{
    const QString folder = folderOf(medium);
    for (const Place &place : places) {
        if (place.medium == medium) {
            replace(&places, folder, Place());
            changes.append({folder, Place()});
            flush();
            return;
        }
    }
}

bool MvFolderPlaces::flush()
{
    return changes.isEmpty() || write();
}

bool MvFolderPlaces::write()
{
    lastWrite.start();
    MvRecordFile::Records written;
    const bool done = file.update(
        [this](const MvRecordFile::Records &now) {
            MvRecordFile::Records records;
            for (const Place &place : merged(now))
                records.append(toRecord(place));
            return records;
        },
        &written);
    QList<Place> all;
    for (const MvRecordFile::Record &record : written)
        all.append(fromRecord(record));
    places = all;
    if (done)
        changes.clear();
    return done;
}
