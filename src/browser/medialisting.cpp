#include "browser/medialisting.h"

#include <QFile>
#include <QUtf8StringView>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

bool matchesWildcard(QStringView name, QStringView pattern)
{
    // Greedy matching with one backtrack point: enough for '*' and '?'.
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool listMediaFolder(const QString &folder, const QStringList &patterns, QList<MediaEntry> *entries)
{
    entries->clear();
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    while (const dirent *e = readdir(dir)) {
        const char *raw = e->d_name;
        if (raw[0] == '.')
            continue;
        const qsizetype length = qsizetype(std::strlen(raw));
        if (!QUtf8StringView(raw, length).isValidUtf8())
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir), raw, &st, 0) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                isDir = true;
            else if (!S_ISREG(st.st_mode))
                continue;
        } else if (e->d_type != DT_DIR && e->d_type != DT_REG) {
            continue;
        }
        QString name = QString::fromUtf8(raw, length);
        if (!isDir && std::none_of(patterns.begin(), patterns.end(),
                                   [&](const QString &p) { return matchesWildcard(name, p); }))
            continue;
        entries->append({std::move(name), isDir});
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(), [](const MediaEntry &a, const MediaEntry &b) {
        if (a.dir != b.dir)
            return a.dir;
        return QStringView(a.name).compare(QStringView(b.name)) < 0;
    });
    return true;
}
