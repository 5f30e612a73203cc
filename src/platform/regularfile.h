#pragma once

#include <sys/types.h>

struct stat;

// Opening files that anyone may have put something else in place of (a pipe,
// a device, a link): the open never waits (a pipe's waits for good for its
// other end) and only a regular file is taken.
class RegularFile
{
public:
    // Opens `path` read-only, following links; -1 when it cannot be opened or
    // is no regular file. `info` gets its status.
    static int openForReading(const char *path, struct stat *info = nullptr);
    // Opens a file of the program's own read-only (for a lock), making it when
    // missing. Anything else in its place is replaced by a new file, and said
    // on stderr; -1 when that cannot be done.
    static int openOwn(const char *path);
    // Renames `from` over `to`, which is a regular file afterwards whatever was
    // there before (an empty folder too); a replaced link, pipe or folder is
    // said on stderr. False, with errno set, when it cannot be done.
    static bool renameOver(const char *from, const char *to);
};
