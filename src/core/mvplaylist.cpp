#include "core/mvplaylist.h"

#include "core/medialisting.h"
#include "core/rawfilename.h"
#include "platform/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QUtf8StringView>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool endsWithNoCase(QByteArrayView text, const char *tail)
{
    const QByteArrayView t(tail);
    return text.size() >= t.size() && text.last(t.size()).compare(t, Qt::CaseInsensitive) == 0;
}

bool isPlaylistName(QByteArrayView name)
{
    return endsWithNoCase(name, ".m3u") || endsWithNoCase(name, ".m3u8") ||
           endsWithNoCase(name, ".pls");
}

bool isBlank(QByteArrayView line)
{
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

// "scheme://" other than file://: a stream this player cannot open.
bool isNetworkUrl(QByteArrayView entry)
{
    if (entry.isEmpty() || !std::isalpha(static_cast<unsigned char>(entry.at(0))))
        return false;
    qsizetype sep = 1;
    while (sep < entry.size()) {
        const char c = entry.at(sep);
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            break;
        ++sep;
    }
    return entry.sliced(sep).startsWith("://") &&
           entry.first(sep).compare("file", Qt::CaseInsensitive) != 0;
}

// Calls `line` for each line of data, without its line end.
template <typename F> void forEachLine(QByteArrayView data, F line)
{
    qsizetype at = 0;
    while (at < data.size()) {
        qsizetype end = data.indexOf('\n', at);
        if (end < 0)
            end = data.size();
        QByteArrayView one = data.sliced(at, end - at);
        if (one.endsWith('\r'))
            one.chop(1);
        line(one);
        at = end + 1;
    }
}
} // namespace

bool MvPlaylist::isPlaylistPath(const QString &path)
{
    return isPlaylistName(QFile::encodeName(QFileInfo(path).fileName()));
}

QString MvPlaylist::refusal(const QString &path)
{
    if (isPlaylistPath(path))
        return QStringLiteral("a playlist");
    struct stat info;
    if (path.isEmpty() || ::stat(rawFileName(path).constData(), &info) != 0)
        return QStringLiteral("no such file");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a file");
    const int fd = RegularFile::openForReading(rawFileName(path).constData(), &info);
    if (fd < 0)
        return QStringLiteral("unreadable");
    ::close(fd);
    return info.st_size == 0 ? QStringLiteral("the file is empty") : QString();
}

bool MvPlaylist::load(const QString &path)
{
    QFile file;
    block.clear();
    entries.clear();
    skippedCount = 0;
    firstSkippedText.clear();
    listPath = path;
    const int fd = RegularFile::openForReading(rawFileName(path).constData());
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        loadError = Error::Unreadable;
        return false;
    }
    if (file.size() > MaxFileSize) {
        loadError = Error::TooLarge;
        return false;
    }
    const QByteArray data = file.readAll();
    if (data.size() > MaxFileSize) {
        loadError = Error::TooLarge;
        return false;
    }
    parse(data, path);
    return true;
}

void MvPlaylist::parse(const QByteArray &data, const QString &path)
{
    block.clear();
    entries.clear();
    skippedCount = 0;
    cutCount = 0;
    folders.clear();
    firstSkippedText.clear();
    loadError = Error::None;
    listPath = path;
    listFolder = QFileInfo(path).absolutePath();

    QByteArrayView view(data);
    const bool bom = view.startsWith("\xEF\xBB\xBF");
    if (bom)
        view = view.sliced(3);
    latin1 = !bom && !endsWithNoCase(QFile::encodeName(path), ".m3u8") &&
             !QUtf8StringView(view).isValidUtf8();
    block.reserve(view.size());
    entries.reserve(std::min<qsizetype>(view.size() / 16, MaxEntries));
    if (endsWithNoCase(QFile::encodeName(path), ".pls"))
        parsePls(view);
    else
        parseM3u(view);
    entries.squeeze();
    block.squeeze();
}

void MvPlaylist::parseM3u(QByteArrayView data)
{
    QByteArrayView title;
    forEachLine(data, [&](QByteArrayView line) {
        if (isBlank(line))
            return;
        if (line.startsWith('#')) {
            if (line.startsWith("#EXTINF:")) {
                const qsizetype comma = line.indexOf(',');
                title = comma < 0 ? QByteArrayView() : line.sliced(comma + 1);
            }
            return;
        }
        addEntry(line, title);
        title = QByteArrayView();
    });
}

void MvPlaylist::parsePls(QByteArrayView data)
{
    // Numbered keys may come in any order; the numbers give the order.
    QMap<int, std::pair<QByteArrayView, QByteArrayView>> numbered;
    forEachLine(data, [&](QByteArrayView line) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            return;
        const QByteArrayView key = line.first(eq);
        const bool isFile = key.startsWith("File") || key.startsWith("file");
        const bool isTitle = key.startsWith("Title") || key.startsWith("title");
        if (!isFile && !isTitle)
            return;
        bool ok = false;
        const int number = key.sliced(isFile ? 4 : 5).toInt(&ok);
        if (!ok)
            return;
        if (!numbered.contains(number) && numbered.size() >= MaxEntries) {
            cutCount += isFile;
            return;
        }
        auto &slot = numbered[number];
        (isFile ? slot.first : slot.second) = line.sliced(eq + 1);
    });
    for (const auto &[file, title] : std::as_const(numbered))
        if (!file.isEmpty())
            addEntry(file, title);
}

void MvPlaylist::addEntry(QByteArrayView entry, QByteArrayView entryTitle)
{
    if (entries.size() >= MaxEntries) {
        ++cutCount;
        return;
    }
    if (entry.size() > MaxEntryLength || entry.contains('\0') || isNetworkUrl(entry) ||
        isPlaylistName(entry)) {
        skip(entry);
        return;
    }
    if (entryTitle.size() > MaxEntryLength || entryTitle.contains('\0') || isBlank(entryTitle))
        entryTitle = QByteArrayView();
    Entry e;
    e.at = quint32(block.size());
    e.length = quint32(entry.size());
    block.append(entry);
    e.titleAt = quint32(block.size());
    e.titleLength = quint32(entryTitle.size());
    block.append(entryTitle);
    entries.append(e);
}

void MvPlaylist::skip(QByteArrayView entry)
{
    if (skippedCount++ == 0) {
        const QByteArrayView shown = entry.first(std::min<qsizetype>(entry.size(), 200));
        firstSkippedText = latin1 ? QString::fromLatin1(shown) : QString::fromUtf8(shown);
        firstSkippedText.replace(QChar(0), QChar(u'?'));
    }
}

QString MvPlaylist::decoded(quint32 at, quint32 length) const
{
    const QByteArrayView bytes = QByteArrayView(block).sliced(at, length);
    return latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

QString MvPlaylist::text(int index) const
{
    if (index < 0 || index >= entries.size())
        return QString();
    return decoded(entries[index].at, entries[index].length);
}

QString MvPlaylist::title(int index) const
{
    if (index < 0 || index >= entries.size())
        return QString();
    return decoded(entries[index].titleAt, entries[index].titleLength);
}

namespace {
bool pathExists(const QString &path)
{
    struct stat info;
    return ::stat(rawFileName(path).constData(), &info) == 0;
}

} // namespace

QStringList MvPlaylist::searchFolders = [] {
    QStringList folders;
    for (const char *folder : mediaFolders)
        folders << QString::fromLatin1(folder);
    return folders;
}();

QString MvPlaylist::path(int index) const
{
    if (index < 0 || index >= entries.size())
        return QString();
    const QByteArray bytes = block.mid(entries[index].at, entries[index].length);
    // The entry's bytes name the file as they stand; a Latin-1 list may also
    // name a file whose name was written in UTF-8.
    const QString asBytes = resolve(fileNameFromRaw(bytes));
    if (!latin1 || asBytes.isEmpty() || pathExists(asBytes))
        return asBytes;
    return resolve(QString::fromLatin1(bytes));
}

const MvPlaylist::Folder &MvPlaylist::folderNames(const QString &folder) const
{
    // Each folder is read once per list: a long list of names that are
    // nowhere costs lookups, not a listing per entry.
    auto found = folders.constFind(folder);
    if (found != folders.constEnd())
        return *found;
    Folder names;
    if (DIR *dir = opendir(rawFileName(folder).constData())) {
        names.listed = true;
        while (const dirent *e = readdir(dir)) {
            const QString name = fileNameFromRaw(QByteArray(e->d_name));
            names.exact.insert(name);
            // Compared as a user reads them: a Latin-1 name matches its UTF-8 spelling.
            names.folded.insert(displayFileName(name).toCaseFolded(), name);
        }
        closedir(dir);
    }
    return *folders.insert(folder, names);
}

QString MvPlaylist::findBelow(const QString &base, const QStringList &parts, bool anyCase) const
{
    QString at = base;
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            at += QLatin1Char('/') + part;
            continue;
        }
        const Folder &names = folderNames(at);
        // A folder that may be passed but not read still has the names written.
        if (names.exact.contains(part) ||
            (!names.listed && pathExists(at + QLatin1Char('/') + part))) {
            at += QLatin1Char('/') + part;
            continue;
        }
        const QString other =
            anyCase ? names.folded.value(displayFileName(part).toCaseFolded()) : QString();
        if (other.isEmpty())
            return QString();
        at += QLatin1Char('/') + other;
    }
    return pathExists(at) ? at : QString();
}

QString MvPlaylist::resolve(QString entry) const
{
    if (entry.isEmpty())
        return QString();
    if (entry.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        QString rest = entry.mid(7);
        // file://host/path: only the local host is meant here. file://name has
        // no host: the name is the list's own, as a relative entry is.
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash > 0)
            rest = rest.mid(slash);
        // Percent-encoded bytes are the name's own, UTF-8 or not.
        const QString local = fileNameFromRaw(QByteArray::fromPercentEncoding(rawFileName(rest)));
        if (local.isEmpty() || local.contains(QChar(0)))
            return QString();
        return local.startsWith(QLatin1Char('/')) ? local : listFolder + QLatin1Char('/') + local;
    }
    const QString asWritten =
        entry.startsWith(QLatin1Char('/')) ? entry : listFolder + QLatin1Char('/') + entry;
    const bool drive = entry.size() >= 2 && entry.at(1) == QLatin1Char(':') &&
                       entry.at(0).isLetter() && entry.at(0).unicode() < 128;
    if (!drive && !entry.contains(QLatin1Char('\\')))
        return asWritten;
    // Written on Windows: the drive and the folders above names nothing here.
    // The path's tail is looked for below the playlist's folder and each
    // media folder, the longest tail first, as written and then in any
    // letter case. A real name with a backslash in it still wins.
    if (pathExists(asWritten))
        return asWritten;
    if (drive)
        entry.remove(0, 2);
    entry.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (entry.startsWith(QLatin1Char('/')))
        entry.remove(0, 1);
    const QStringList parts = entry.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList bases{listFolder};
    for (const QString &folder : std::as_const(searchFolders))
        if (!bases.contains(folder))
            bases.append(folder);
    for (bool anyCase : {false, true}) {
        for (qsizetype first = 0; first < parts.size(); ++first) {
            if (parts[first] == QLatin1String(".."))
                continue;
            for (const QString &base : std::as_const(bases)) {
                const QString found = findBelow(base, parts.mid(first), anyCase);
                if (!found.isEmpty())
                    return found;
            }
        }
    }
    return listFolder + QLatin1Char('/') + entry;
}

bool MvPlaylist::createNew(const QString &targetPath, const QByteArray &data)
{
    // Never over a file or a link that is there or appears meanwhile, never
    // through a link: the bytes go to a temporary of our own, which then gets
    // the name only where nothing has it.
    const QByteArray target = rawFileName(targetPath);
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temporary =
        (slash < 0 ? QByteArray(".") : target.first(slash)) + "/.playlist-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    bool ok = written == data.size() && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        // link() creates the name or fails when anything has it, a dangling
        // link included; where links are not made (FAT cards), a rename that
        // refuses to replace.
        if (::link(temporary.constData(), target.constData()) == 0) {
            ::unlink(temporary.constData());
            return true;
        }
        if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) {
            if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                            RENAME_NOREPLACE) == 0)
                return true;
        }
    }
    const int error = errno;
    ::unlink(temporary.constData());
    errno = error;
    return false;
}

QString MvPlaylist::save(const QString &folder, const QString &baseName, const QStringList &paths)
{
    QString base = baseName;
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
        base.prepend(QStringLiteral("Playlist"));
    // Each entry by its bytes: a name that is not UTF-8 plays from the list too.
    QByteArray text("#EXTM3U\n");
    for (const QString &path : paths) {
        // A name with a line break cannot stand as one line.
        if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
            continue;
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        text += "#EXTINF:-1," + displayFileName(dot > 0 ? name.left(dot) : name).toUtf8() + '\n';
        text += rawFileName(path) + '\n';
    }
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".m3u8");
        if (createNew(target, text))
            return target;
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}
