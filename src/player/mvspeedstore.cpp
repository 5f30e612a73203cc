#include "player/mvspeedstore.h"

#include "core/mvuserfile.h"
#include "core/rawfilename.h"
#include "platform/boardpaths.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace {
const QByteArray header = QByteArrayLiteral("movara-speeds 1\n");
} // namespace

const char MvSpeedStore::defaultPath[] = "/ezx_user/download/appwrite/movara/speeds";

MvSpeedStore::MvSpeedStore(const QString &filePath)
    : path(QString::fromStdString(boardPath(filePath.toStdString())))
{
    MvUserFile::Lock lock(path);
    if (lock.held())
        MvUserFile::removeTemporaries(path);
    refresh();
}

// One line a folder, the newest last: "1.5<TAB>folder", the folder
// percent-encoded by its bytes.
bool MvSpeedStore::parse(const QByteArray &data, QList<Entry> *read)
{
    if (data.size() > maxFileSize || !data.startsWith(header))
        return false;
    read->clear();
    for (const QByteArray &line : data.mid(header.size()).split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        bool ok = false;
        const double speed = line.left(tab).toDouble(&ok);
        const QString folder = fileNameFromRaw(QByteArray::fromPercentEncoding(line.mid(tab + 1)));
        if (tab > 0 && ok && speed >= slowest && speed <= fastest && speed != 1 &&
            folder.startsWith(QLatin1Char('/')))
            put(read, {folder, speed});
    }
    return true;
}

void MvSpeedStore::put(QList<Entry> *list, const Entry &entry)
{
    for (qsizetype i = 0; i < list->size(); ++i) {
        if ((*list)[i].folder == entry.folder) {
            list->removeAt(i);
            break;
        }
    }
    if (entry.speed != 1)
        list->append(entry);
    while (list->size() > maxFolders)
        list->removeFirst();
}

void MvSpeedStore::refresh()
{
    struct stat info;
    const bool there = ::stat(QFile::encodeName(path).constData(), &info) == 0;
    const off_t size = there ? info.st_size : -1;
    const qint64 change =
        there ? qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec : -1;
    if (size == readSize && change == readChange)
        return;
    readSize = size;
    readChange = change;
    QList<Entry> read;
    if (!parse(MvUserFile::read(path, maxFileSize + 1), &read))
        read.clear();
    for (const Entry &entry : unwritten)
        put(&read, entry);
    entries = read;
}

double MvSpeedStore::speedOf(const QString &folder)
{
    refresh();
    for (const Entry &entry : entries)
        if (entry.folder == folder)
            return entry.speed;
    return 1;
}

bool MvSpeedStore::setSpeed(const QString &folder, double speed, QString *reason)
{
    unwritten.append({folder, speed});
    put(&entries, unwritten.last());
    QDir().mkpath(QFileInfo(path).path());
    MvUserFile::Lock lock(path);
    // Others' folders stay: this instance's changes go on top of the file as it is now.
    QList<Entry> all;
    if (!parse(MvUserFile::read(path, maxFileSize + 1), &all))
        all.clear();
    for (const Entry &entry : unwritten)
        put(&all, entry);
    QList<QByteArray> lines;
    qint64 total = header.size();
    for (const Entry &entry : all) {
        lines.append(QByteArray::number(entry.speed) + '\t' +
                     rawFileName(entry.folder).toPercentEncoding("/") + '\n');
        total += lines.last().size();
    }
    // Very long names could make too large a file: the oldest go.
    while (total > maxFileSize && !lines.isEmpty()) {
        total -= lines.takeFirst().size();
        all.removeFirst();
    }
    entries = all;
    if (!MvUserFile::replace(path, header + lines.join(), reason))
        return false;
    unwritten.clear();
    // What this instance wrote is what it knows.
    readSize = -1;
    refresh();
    return true;
}
