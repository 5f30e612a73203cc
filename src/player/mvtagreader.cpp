#include "player/mvtagreader.h"

#include "core/rawfilename.h"
#include "platform/regularfile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Paths are taken by their bytes (app/rawfilename.h) throughout: a name that
// is not UTF-8 is still the file's own.

// The whole of a regular file of at most `limit` bytes, else nothing.
QByteArray readSmallFile(const QString &path, qint64 limit)
{
    struct stat info;
    const int fd = RegularFile::openForReading(rawFileName(path).constData(), &info);
    if (fd < 0)
        return QByteArray();
    QByteArray data;
    QFile file;
    if (info.st_size <= limit && file.open(fd, QIODevice::ReadOnly))
        data = file.read(limit);
    ::close(fd);
    return data;
}

QString text(const TagLib::String &value)
{
    QString out = QString::fromStdWString(value.toWString()).simplified();
    out.truncate(MvTagReader::maxTextLength);
    return out;
}

QByteArray bytes(const TagLib::ByteVector &data)
{
    if (data.size() > MvTagReader::maxCoverBytes)
        return QByteArray();
    return QByteArray(data.data(), int(data.size()));
}

template <typename List> QByteArray firstPicture(const List &pictures)
{
    // The front cover where one is marked, else the first picture.
    for (auto *picture : pictures)
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return bytes(picture->data());
    return pictures.isEmpty() ? QByteArray() : bytes(pictures.front()->data());
}

QByteArray embeddedPicture(TagLib::File *file)
{
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        TagLib::ID3v2::Tag *tag = mpeg->ID3v2Tag();
        if (!tag)
            return QByteArray();
        const TagLib::ID3v2::FrameList frames = tag->frameListMap()["APIC"];
        QByteArray first;
        for (TagLib::ID3v2::Frame *frame : frames) {
            auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame);
            if (!picture)
                continue;
            if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
                return bytes(picture->picture());
            if (first.isEmpty())
                first = bytes(picture->picture());
        }
        return first;
    }
    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file))
        return firstPicture(flac->pictureList());
    if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return vorbis->tag() ? firstPicture(vorbis->tag()->pictureList()) : QByteArray();
    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        if (!mp4->tag() || !mp4->tag()->contains("covr"))
            return QByteArray();
        const TagLib::MP4::CoverArtList covers = mp4->tag()->item("covr").toCoverArtList();
        return covers.isEmpty() ? QByteArray() : bytes(covers.front().data());
    }
    return QByteArray();
}

// cover.*, folder.* or front.* (jpg, jpeg, png, any case) beside the medium, in that order.
QString folderPicture(const QString &medium)
{
    QByteArray folder = rawFileName(medium);
    const qsizetype slash = folder.lastIndexOf('/');
    folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : folder.first(slash);
    DIR *dir = opendir(folder.constData());
    if (!dir)
        return QString();
    QByteArray best;
    int bestStem = 3;
    static const char *const stems[] = {"cover", "folder", "front"};
    while (const dirent *e = readdir(dir)) {
        const QByteArray name(e->d_name);
        const qsizetype dot = name.lastIndexOf('.');
        const QByteArray suffix = name.mid(dot + 1).toLower();
        if (dot <= 0 || (suffix != "jpg" && suffix != "jpeg" && suffix != "png"))
            continue;
        const int stem =
            int(std::find_if(std::begin(stems), std::end(stems),
                             [&](const char *stem) {
                                 return name.first(dot).compare(stem, Qt::CaseInsensitive) == 0;
                             }) -
                std::begin(stems));
        if (stem < bestStem || (stem == bestStem && stem < 3 && name < best)) {
            best = name;
            bestStem = stem;
        }
    }
    closedir(dir);
    return best.isEmpty() ? QString()
                          : fileNameFromRaw((folder == "/" ? QByteArray() : folder) + '/' + best);
}

// The picture inside `medium` as a file in `folder`: named after the medium's
// path, size and time, so that it is written once and a changed medium gets a
// new name. Only the newest is kept.
QString storeCover(const QByteArray &picture, const QString &medium, const struct stat &info,
                   const QString &folder)
{
    const qint64 mtime = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    const QByteArray key = rawFileName(medium) + '\0' + QByteArray::number(qint64(info.st_size)) +
                           '\0' + QByteArray::number(mtime);
    QBuffer buffer;
    buffer.setData(picture);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    const QString name =
        QStringLiteral("cover-%1.%2")
            .arg(QString::fromLatin1(
                     QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16)),
                 format == "jpeg" ? QStringLiteral("jpg") : QString::fromLatin1(format));
    const QDir dir(folder);
    const QString target = dir.filePath(name);
    if (QFileInfo::exists(target))
        return target;
    for (const QString &old : dir.entryList(QDir::Files))
        QFile::remove(dir.filePath(old));
    // Whole or not at all: a reader never sees half a picture.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size() || !file.commit())
        return QString();
    return target;
}
} // namespace

MvTagReader::MvTagReader(QObject *parent, QSize coverBox)
    : QObject(parent), thread(new QThread), worker(new QObject), box(coverBox),
      newest(std::make_shared<std::atomic<quint64>>(0))
{
    qRegisterMetaType<MvMediaTags>();
    worker->moveToThread(thread);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

MvTagReader::~MvTagReader()
{
    // A read under way finishes; those still queued are skipped as stale.
    newest->fetch_add(1);
    thread->quit();
    thread->wait();
    delete thread;
}

void MvTagReader::request(const QString &path)
{
    const quint64 id = newest->fetch_add(1) + 1;
    const QSize size = box;
    const std::shared_ptr<std::atomic<quint64>> latest = newest;
    const QString folder = coverFolder();
    QPointer<MvTagReader> self(this);
    QMetaObject::invokeMethod(worker, [self, latest, id, path, size, folder] {
        if (latest->load() != id)
            return;
        const MvMediaTags tags = read(path, size, folder);
        QMetaObject::invokeMethod(self.data(), [self, latest, id, tags] {
            if (self && latest->load() == id)
                emit self->tagsRead(tags);
        });
    });
}

void MvTagReader::keepCoverFiles()
{
    if (covers)
        return;
    // The runtime folder is the user's own and seen outside the phone's sandbox.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base =
        QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable() ? runtime : QDir::tempPath();
    covers = std::make_unique<QTemporaryDir>(base + QStringLiteral("/movara-covers-XXXXXX"));
    if (!covers->isValid())
        covers.reset();
}

QString MvTagReader::coverFolder() const
{
    return covers ? covers->path() : QString();
}

MvMediaTags MvTagReader::read(const QString &path, QSize coverBox, const QString &coverFolder)
{
    MvMediaTags tags;
    tags.path = path;
    // A pipe or a device would hold the reader up for good: regular files only.
    struct stat info;
    const int fd = RegularFile::openForReading(rawFileName(path).constData(), &info);
    if (fd < 0)
        return tags;
    QByteArray picture;
    {
        // Read-only: a player has no business writing to its media.
        TagLib::FileStream stream(fd, true);
        if (!stream.isOpen()) {
            ::close(fd);
            return tags;
        }
        TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
        if (!file.isNull()) {
            if (TagLib::Tag *tag = file.tag()) {
                tags.title = text(tag->title());
                tags.artist = text(tag->artist());
                tags.album = text(tag->album());
            }
            if (file.audioProperties() && file.audioProperties()->lengthInSeconds() > 0)
                tags.length = file.audioProperties()->lengthInSeconds();
            picture = embeddedPicture(file.file());
        }
    }
    if (!picture.isEmpty()) {
        tags.cover = decodeCover(picture, coverBox);
        if (!tags.cover.isNull() && !coverFolder.isEmpty())
            tags.coverFile = storeCover(picture, path, info, coverFolder);
    }
    if (tags.cover.isNull()) {
        const QString beside = folderPicture(path);
        const QByteArray data =
            beside.isEmpty() ? QByteArray() : readSmallFile(beside, maxCoverBytes);
        if (!data.isEmpty()) {
            tags.cover = decodeCover(data, coverBox);
            if (!tags.cover.isNull())
                tags.coverFile = beside;
        }
    }
    return tags;
}

QImage MvTagReader::decodeCover(const QByteArray &data, QSize box)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maxCoverPixels)
        return QImage();
    reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}
