#include "core/mvuserfile.h"

#include "platform/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Same pattern as mkostemp's: six letters or digits after the name and a dot.
bool isTemporaryOf(const QByteArray &entry, const QByteArray &name)
{
    if (entry.size() != name.size() + 7 || !entry.startsWith(name) || entry[name.size()] != '.')
        return false;
    for (qsizetype i = name.size() + 1; i < entry.size(); ++i) {
        const char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

MvUserFile::Lock::Lock(const QString &filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Another instance holds it for a few milliseconds at most; one stopped
    // in the middle does not stop this one for long.
    for (int tries = 0; ::flock(fd, LOCK_EX | LOCK_NB) < 0; ++tries) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || tries == maxWaitMs / 10) {
            ::close(fd);
            fd = -1;
            return;
        }
        ::usleep(10000);
    }
}

MvUserFile::Lock::~Lock()
{
    if (fd >= 0)
        ::close(fd);
}

bool MvUserFile::replace(const QString &filePath, const QByteArray &data, QString *reason)
{
    const QByteArray target = QFile::encodeName(filePath);
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    struct stat old;
    const bool exists = ::lstat(target.constData(), &old) == 0;
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = failure(filePath, errno);
        return false;
    }
    // A file replaced keeps its permissions; a new one may be read by all.
    ::fchmod(fd, exists && S_ISREG(old.st_mode) ? old.st_mode & 07777 : 0644);
    bool written = writeAll(fd, data.constData(), data.size()) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || !RegularFile::renameOver(temporary.constData(), target.constData())) {
        const int error = errno;
        ::unlink(temporary.constData());
        if (reason)
            *reason = failure(filePath, error);
        return false;
    }
    return true;
}

QString MvUserFile::failure(const QString &filePath, int error)
{
    return QFileInfo(filePath).fileName() + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(error));
}

void MvUserFile::removeTemporaries(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        struct stat st;
        if (isTemporaryOf(QByteArray(entry->d_name), name) &&
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

QByteArray MvUserFile::read(const QString &filePath, qint64 limit)
{
    const int fd = RegularFile::openForReading(QFile::encodeName(filePath).constData());
    if (fd < 0)
        return QByteArray();
    QByteArray data;
    QFile file;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        data = file.read(limit);
    ::close(fd);
    return data;
}
