#include "platform/regularfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char *kindOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFLNK:
        return "a symbolic link";
    case S_IFIFO:
        return "a pipe";
    case S_IFDIR:
        return "a folder";
    case S_IFSOCK:
        return "a socket";
    default:
        return "a device";
    }
}

void sayReplaced(const char *path, mode_t mode)
{
    std::fprintf(stderr, "movara: %s was %s: it is now a file%s\n", path, kindOf(mode),
                 S_ISLNK(mode) ? ", its target was left as it was" : "");
}

// Removes what is at `path` when it is no regular file; its kind goes to `mode`.
bool removeOther(const char *path, mode_t *mode)
{
    struct stat info;
    if (::lstat(path, &info) != 0)
        return errno == ENOENT;
    *mode = info.st_mode;
    if (S_ISREG(info.st_mode))
        return true;
    return (S_ISDIR(info.st_mode) ? ::rmdir(path) : ::unlink(path)) == 0;
}
} // namespace

int RegularFile::openForReading(const char *path, struct stat *info)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat own;
    struct stat *at = info ? info : &own;
    if (fd >= 0 && ::fstat(fd, at) == 0 && S_ISREG(at->st_mode))
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

int RegularFile::openOwn(const char *path)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
    for (int round = 0; round < 2; ++round) {
        int fd = ::open(path, flags | O_CREAT, 0644);
        // Another user's file in a shared folder may be opened but not created.
        if (fd < 0 && errno == EACCES)
            fd = ::open(path, flags);
        struct stat info;
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            return fd;
        if (fd >= 0)
            ::close(fd);
        mode_t mode = 0;
        if (!removeOther(path, &mode)) {
            std::fprintf(stderr, "movara: %s is %s and cannot be replaced: %s\n", path,
                         kindOf(mode), std::strerror(errno));
            return -1;
        }
        // Made anew, or by another instance meanwhile: then it is opened as it is.
        fd = ::open(path, flags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            if (mode && !S_ISREG(mode))
                sayReplaced(path, mode);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

bool RegularFile::renameOver(const char *from, const char *to)
{
    struct stat old;
    const bool existed = ::lstat(to, &old) == 0;
    // rename() puts the file in the place of a link, not of its target; a
    // folder only goes when empty.
    if (existed && S_ISDIR(old.st_mode) && ::rmdir(to) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST)
            errno = EISDIR;
        return false;
    }
    if (::rename(from, to) != 0)
        return false;
    if (existed && !S_ISREG(old.st_mode))
        sayReplaced(to, old.st_mode);
    return true;
}
