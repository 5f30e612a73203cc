#include "player/mvresumestore.h"
#include "platform/boardpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace {
const QByteArray header = QByteArrayLiteral("movara-resume 1\n");
const QByteArray offLine = QByteArrayLiteral("off");
} // namespace

const char MvResumeStore::defaultPath[] = "/ezx_user/download/appwrite/movara/resume";

MvResumeStore::MvResumeStore(const QString &filePath)
    : path(QString::fromStdString(boardPath(filePath.toStdString())))
{
    load();
}

bool MvResumeStore::worthKeeping(int position, int length)
{
    return length >= minLength && position > margin && position < length - margin;
}

void MvResumeStore::load()
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxFileSize)
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.read(maxFileSize + 1);
    if (data.size() > maxFileSize || !data.startsWith(header))
        return;
    const QList<QByteArray> lines = data.mid(header.size()).split('\n');
    for (const QByteArray &line : lines) {
        if (line == offLine)
            enabled = false;
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 5)
            continue;
        Entry entry;
        bool ok[4] = {};
        entry.position = fields[0].toInt(&ok[0]);
        entry.length = fields[1].toInt(&ok[1]);
        entry.size = fields[2].toLongLong(&ok[2]);
        entry.mtime = fields[3].toLongLong(&ok[3]);
        entry.path = QUrl::fromPercentEncoding(fields[4]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || entry.path.isEmpty() ||
            !worthKeeping(entry.position, entry.length))
            continue;
        const int known = indexOf(entry.path);
        if (known >= 0)
            entries.removeAt(known);
        entries.append(entry);
    }
    while (entries.size() > maxEntries)
        entries.removeFirst();
}

bool MvResumeStore::keyOf(const QString &medium, Entry *entry) const
{
    const QFileInfo info(medium);
    if (!info.isFile())
        return false;
    entry->path = medium;
    entry->size = info.size();
    entry->mtime = info.lastModified().toMSecsSinceEpoch();
    return true;
}

int MvResumeStore::indexOf(const QString &medium) const
{
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].path == medium)
            return i;
    return -1;
}

int MvResumeStore::positionOf(const QString &medium) const
{
    const int at = indexOf(medium);
    Entry now;
    if (at < 0 || !keyOf(medium, &now))
        return -1;
    const Entry &kept = entries[at];
    return kept.size == now.size && kept.mtime == now.mtime ? kept.position : -1;
}

QString MvResumeStore::lastMedium() const
{
    for (int i = int(entries.size()) - 1; i >= 0; --i)
        if (positionOf(entries[i].path) >= 0)
            return entries[i].path;
    return QString();
}

bool MvResumeStore::update(const QString &medium, int position, int length)
{
    const int at = indexOf(medium);
    Entry entry;
    if (!worthKeeping(position, length) || !keyOf(medium, &entry)) {
        if (at < 0)
            return false;
        entries.removeAt(at);
        return dirty = true;
    }
    entry.position = position;
    entry.length = length;
    if (at >= 0) {
        const Entry &kept = entries[at];
        if (at == entries.size() - 1 && kept.position == position && kept.length == length &&
            kept.size == entry.size && kept.mtime == entry.mtime)
            return false;
        entries.removeAt(at);
    }
    entries.append(entry);
    while (entries.size() > maxEntries)
        entries.removeFirst();
    return dirty = true;
}

void MvResumeStore::progress(const QString &medium, int position, int length)
{
    update(medium, position, length);
    if (dirty && (!lastWrite.isValid() || lastWrite.elapsed() >= writeIntervalMs))
        write();
}

void MvResumeStore::stopped(const QString &medium, int position, int length)
{
    update(medium, position, length);
    flush();
}

void MvResumeStore::forget(const QString &medium)
{
    const int at = indexOf(medium);
    if (at < 0)
        return;
    entries.removeAt(at);
    dirty = true;
    flush();
}

void MvResumeStore::setEnabled(bool on)
{
    if (on == enabled)
        return;
    enabled = on;
    dirty = true;
    flush();
}

bool MvResumeStore::flush()
{
    return !dirty || write();
}

bool MvResumeStore::write()
{
    lastWrite.start();
    const QFileInfo info(path);
    QDir().mkpath(info.path());
    // Something else in the file's place: an empty folder goes, anything else stays.
    if (info.isDir() && !QDir().rmdir(path))
        return false;

    QList<QByteArray> lines;
    qint64 total = header.size();
    for (const Entry &entry : entries) {
        lines.append(QByteArray::number(entry.position) + '\t' + QByteArray::number(entry.length) +
                     '\t' + QByteArray::number(entry.size) + '\t' +
                     QByteArray::number(entry.mtime) + '\t' +
                     QUrl::toPercentEncoding(entry.path, "/") + '\n');
        total += lines.last().size();
    }
    // Very long paths could make a file that would not load again: the oldest go.
    while (total > maxFileSize && !lines.isEmpty()) {
        total -= lines.takeFirst().size();
        entries.removeFirst();
    }
    QByteArray data = header;
    if (!enabled)
        data += offLine + '\n';
    for (const QByteArray &line : lines)
        data += line;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return false;
    dirty = false;
    return true;
}
