#include "player/mvrecordfile.h"

#include "core/mvuserfile.h"
#include "core/rawfilename.h"

#include <QDir>
#include <QFileInfo>

MvRecordFile::MvRecordFile(const QString &filePath, const QByteArray &header, qint64 maxSize)
    : filePath(filePath), header(header), maxSize(maxSize)
{
}

void MvRecordFile::tidy() const
{
    MvUserFile::Lock lock(filePath);
    if (lock.held())
        MvUserFile::removeTemporaries(filePath);
}

bool MvRecordFile::read(Records *records) const
{
    records->clear();
    // A file some way past the limit is still read; a much larger one is not ours.
    const QByteArray data = MvUserFile::read(filePath, 4 * maxSize + 1);
    if (data.size() > 4 * maxSize || !data.startsWith(header))
        return false;
    const QList<QByteArray> lines = data.mid(header.size()).split('\n');
    for (const QByteArray &line : lines)
        if (!line.isEmpty())
            records->append(line.split('\t'));
    return true;
}

bool MvRecordFile::update(const std::function<Records(const Records &)> &merge, Records *written)
{
    const QFileInfo info(filePath);
    QDir().mkpath(info.path());
    MvUserFile::Lock lock(filePath);
    Records now;
    if (!read(&now))
        now.clear();
    Records all = merge(now);
    QList<QByteArray> lines;
    qint64 total = header.size();
    for (const Record &record : all) {
        lines.append(record.join('\t') + '\n');
        total += lines.last().size();
    }
    while (total > maxSize && !lines.isEmpty()) {
        total -= lines.takeFirst().size();
        all.removeFirst();
    }
    *written = all;
    // Something else in the file's place: an empty folder goes, anything else stays.
    QString reason;
    bool done = !info.isDir() || info.isSymLink() || QDir().rmdir(filePath);
    if (!done) {
        reason = info.fileName() + QStringLiteral(": a folder holding files");
    } else {
        QByteArray data = header;
        for (const QByteArray &line : lines)
            data += line;
        done = MvUserFile::replace(filePath, data, &reason);
    }
    if (!done && writeFailed)
        writeFailed(reason);
    return done;
}

QByteArray MvRecordFile::pathField(const QString &path)
{
    return rawFileName(path).toPercentEncoding("/");
}

QString MvRecordFile::pathFromField(const QByteArray &field)
{
    return fileNameFromRaw(QByteArray::fromPercentEncoding(field));
}
