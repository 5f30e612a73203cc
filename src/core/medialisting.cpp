#include "core/medialisting.h"

#include "core/rawfilename.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

struct MediaExtension
{
    const char *suffix; // lower case, without the dot
    MediaKind kind;
};

// Every extension the browser lists as media: what the engine plays.
constexpr MediaExtension mediaExtensions[] = {
    // Sound.
    {"aac", MediaKind::Audio},
    {"ac3", MediaKind::Audio},
    {"aif", MediaKind::Audio},
    {"aifc", MediaKind::Audio},
    {"aiff", MediaKind::Audio},
    {"amr", MediaKind::Audio},
    {"ape", MediaKind::Audio},
    {"au", MediaKind::Audio},
    {"awb", MediaKind::Audio},
    {"dts", MediaKind::Audio},
    {"flac", MediaKind::Audio},
    {"m4a", MediaKind::Audio},
    {"m4b", MediaKind::Audio},
    {"mka", MediaKind::Audio},
    {"mp1", MediaKind::Audio},
    {"mp2", MediaKind::Audio},
    {"mp3", MediaKind::Audio},
    {"mpa", MediaKind::Audio},
    {"mpc", MediaKind::Audio},
    {"oga", MediaKind::Audio},
    {"ogg", MediaKind::Audio},
    {"opus", MediaKind::Audio},
    {"ra", MediaKind::Audio},
    {"spx", MediaKind::Audio},
    {"tta", MediaKind::Audio},
    {"voc", MediaKind::Audio},
    {"wav", MediaKind::Audio},
    {"wma", MediaKind::Audio},
    {"wv", MediaKind::Audio},
    // Pictures, with or without sound.
    {"3g2", MediaKind::Video},
    {"3gp", MediaKind::Video},
    {"3gpp", MediaKind::Video},
    {"asf", MediaKind::Video},
    {"avi", MediaKind::Video},
    {"dat", MediaKind::Video},
    {"divx", MediaKind::Video},
    {"dv", MediaKind::Video},
    {"f4v", MediaKind::Video},
    {"flv", MediaKind::Video},
    {"m1v", MediaKind::Video},
    {"m2t", MediaKind::Video},
    {"m2ts", MediaKind::Video},
    {"m2v", MediaKind::Video},
    {"m4v", MediaKind::Video},
    {"mjpeg", MediaKind::Video},
    {"mjpg", MediaKind::Video},
    {"mkv", MediaKind::Video},
    {"mov", MediaKind::Video},
    {"mp4", MediaKind::Video},
    {"mpe", MediaKind::Video},
    {"mpeg", MediaKind::Video},
    {"mpg", MediaKind::Video},
    {"mts", MediaKind::Video},
    {"mxf", MediaKind::Video},
    {"nut", MediaKind::Video},
    {"ogm", MediaKind::Video},
    {"ogv", MediaKind::Video},
    {"qt", MediaKind::Video},
    {"rm", MediaKind::Video},
    {"rmvb", MediaKind::Video},
    {"ts", MediaKind::Video},
    {"vob", MediaKind::Video},
    {"webm", MediaKind::Video},
    {"wmv", MediaKind::Video},
    {"xvid", MediaKind::Video},
    // Lists of media, which the engine reads and plays.
    {"m3u", MediaKind::Video},
    {"m3u8", MediaKind::Video},
    {"pls", MediaKind::Video},
};

} // namespace

MediaKind mediaKindOf(QStringView name)
{
    // Copies leave names with spaces at the end: "song.mp3 " is a song still.
    while (name.endsWith(u' '))
        name.chop(1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return MediaKind::None;
    // Lower-cased into a small buffer: one pass over the table per name.
    char suffix[8];
    const QStringView tail = name.mid(dot + 1);
    if (tail.isEmpty() || tail.size() >= qsizetype(sizeof suffix))
        return MediaKind::None;
    for (qsizetype i = 0; i < tail.size(); ++i) {
        const char16_t c = tail[i].unicode();
        if (c >= 0x80)
            return MediaKind::None;
        suffix[i] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    suffix[tail.size()] = '\0';
    for (const MediaExtension &e : mediaExtensions) {
        if (std::strcmp(suffix, e.suffix) == 0)
            return e.kind;
    }
    return MediaKind::None;
}

bool listMediaFolder(const QString &folder, QList<MediaEntry> *entries)
{
    entries->clear();
    DIR *dir = opendir(rawFileName(folder).constData());
    if (!dir)
        return false;
    while (const dirent *e = readdir(dir)) {
        const char *raw = e->d_name;
        if (raw[0] == '.')
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
        QString name = fileNameFromRaw(QByteArray::fromRawData(raw, qsizetype(std::strlen(raw))));
        const MediaKind kind = isDir ? MediaKind::None : mediaKindOf(name);
        if (!isDir && kind == MediaKind::None)
            continue;
        entries->append({std::move(name), isDir, kind});
    }
    closedir(dir);
    sortMediaEntries(entries);
    return true;
}

void sortMediaEntries(QList<MediaEntry> *entries)
{
    // The system's locale, unless it is "C" (a service's): the collator
    // would then ignore numeric mode and sort by code point.
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    struct Keyed
    {
        QCollatorSortKey key;
        MediaEntry *entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(std::size_t(entries->size()));
    for (MediaEntry &entry : *entries)
        keyed.push_back({collator.sortKey(entry.name), &entry});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.entry->dir != b.entry->dir)
            return a.entry->dir;
        const int byName = a.key.compare(b.key);
        // Names the collator holds equal ("Track 01", "Track 1"; "a", "A")
        // still come in one order every time.
        return byName != 0 ? byName < 0
                           : QStringView(a.entry->name).compare(QStringView(b.entry->name)) < 0;
    });
    QList<MediaEntry> sorted;
    sorted.reserve(entries->size());
    for (Keyed &k : keyed)
        sorted.append(std::move(*k.entry));
    entries->swap(sorted);
}
