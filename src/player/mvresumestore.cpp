#include "player/mvresumestore.h"
#include "platform/boardpaths.h"

#include "core/mvuserfile.h"
#include "core/rawfilename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>

namespace {
const QByteArray header = QByteArrayLiteral("movara-resume 1\n");
const QByteArray offLine = QByteArrayLiteral("off");

// A medium's path as stored, percent-encoded by its bytes: names that are not
// UTF-8 come back as the very file.
QByteArray storedName(const QString &medium)
{
    return rawFileName(medium).toPercentEncoding("/");
}

QString nameFromStored(const QByteArray &stored)
{
    return fileNameFromRaw(QByteArray::fromPercentEncoding(stored));
}
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
    // No instance writes meanwhile: a temporary now is one a kill left.
    MvUserFile::Lock lock(path);
    if (lock.held())
        MvUserFile::removeTemporaries(path);
    bool on = true;
    if (parse(MvUserFile::read(path, maxReadSize + 1), &entries, &on))
        enabled = on;
}

bool MvResumeStore::parse(const QByteArray &data, QList<Entry> *entries, bool *on)
{
    if (data.size() > maxReadSize || !data.startsWith(header))
        return false;
    entries->clear();
    *on = true;
    const QList<QByteArray> lines = data.mid(header.size()).split('\n');
    for (const QByteArray &line : lines) {
        if (line == offLine)
            *on = false;
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 5)
            continue;
        Entry entry;
        bool ok[4] = {};
        entry.position = fields[0].toInt(&ok[0]);
        entry.length = fields[1].toInt(&ok[1]);
        entry.size = fields[2].toLongLong(&ok[2]);
        entry.mtime = fields[3].toLongLong(&ok[3]);
        entry.path = nameFromStored(fields[4]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || entry.path.isEmpty() ||
            !worthKeeping(entry.position, entry.length))
            continue;
        for (qsizetype i = 0; i < entries->size(); ++i) {
            if ((*entries)[i].path == entry.path) {
                entries->removeAt(i);
                break;
            }
        }
        entries->append(entry);
    }
    while (entries->size() > maxEntries)
        entries->removeFirst();
    return true;
}

bool MvResumeStore::merged(QList<Entry> *result, bool *on) const
{
    if (!parse(MvUserFile::read(path, maxReadSize + 1), result, on))
        return false;
    if (enabledChanged)
        *on = enabled;
    for (const Change &change : changes) {
        for (qsizetype i = 0; i < result->size(); ++i) {
            if ((*result)[i].path == change.entry.path) {
                result->removeAt(i);
                break;
            }
        }
        if (change.kept)
            result->append(change.entry);
    }
    while (result->size() > maxEntries)
        result->removeFirst();
    return true;
}

void MvResumeStore::refresh()
{
    QList<Entry> now;
    bool on = enabled;
    if (!merged(&now, &on))
        return;
    entries = now;
    enabled = on;
}

void MvResumeStore::note(const Entry &entry, bool kept)
{
    changes.append(Change{entry, kept});
    dirty = true;
}

bool MvResumeStore::keyOf(const QString &medium, Entry *entry) const
{
    // By the name's own bytes: QFileInfo would lose those that are not UTF-8.
    struct stat info;
    if (::stat(rawFileName(medium).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    entry->path = medium;
    entry->size = info.st_size;
    entry->mtime = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
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
        note(entries.takeAt(at), false);
        return true;
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
    note(entry, true);
    return true;
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
    note(entries.takeAt(at), false);
    flush();
}

void MvResumeStore::setEnabled(bool on)
{
    if (on == enabled)
        return;
    enabled = on;
    enabledChanged = dirty = true;
    flush();
}

bool MvResumeStore::flush()
{
    return !dirty || write();
}

bool MvResumeStore::write()
{
    lastWrite.start();
    QDir().mkpath(QFileInfo(path).path());
    MvUserFile::Lock lock(path);
    // Others' places stay; a file that is not ours is replaced by what this instance knows.
    QList<Entry> all;
    bool on = enabled;
    if (!merged(&all, &on))
        all = entries;
    QList<QByteArray> lines;
    qint64 total = header.size() + (on ? 0 : offLine.size() + 1);
    for (const Entry &entry : all) {
        lines.append(QByteArray::number(entry.position) + '\t' + QByteArray::number(entry.length) +
                     '\t' + QByteArray::number(entry.size) + '\t' +
                     QByteArray::number(entry.mtime) + '\t' + storedName(entry.path) + '\n');
        total += lines.last().size();
    }
    // Very long paths could make too large a file: the oldest go.
    while (total > maxFileSize && !lines.isEmpty()) {
        total -= lines.takeFirst().size();
        all.removeFirst();
    }
    QByteArray data = header;
    if (!on)
        data += offLine + '\n';
    for (const QByteArray &line : lines)
        data += line;
    entries = all;
    enabled = on;
    QString reason;
    if (!MvUserFile::replace(path, data, &reason)) {
        if (writeFailed)
            writeFailed(reason);
        return false;
    }
    changes.clear();
    enabledChanged = dirty = false;
    return true;
}
