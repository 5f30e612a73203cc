#include "core/mvplaylist.h"

#include "core/rawfilename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QUtf8StringView>
#include <sys/stat.h>

#include <cctype>
#include <sys/stat.h>

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

bool MvPlaylist::canHandOver(const QString &path)
{
    struct stat info;
    return !path.isEmpty() && ::stat(rawFileName(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode) && !isPlaylistPath(path);
}

bool MvPlaylist::load(const QString &path)
{
    QFile file(path);
    block.clear();
    entries.clear();
    skippedCount = 0;
    firstSkippedText.clear();
    listPath = path;
    if (!file.open(QIODevice::ReadOnly) || !QFileInfo(path).isFile()) {
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
            if (isFile)
                skip(line.sliced(eq + 1));
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
    if (entries.size() >= MaxEntries || entry.size() > MaxEntryLength || entry.contains('\0') ||
        isNetworkUrl(entry) || isPlaylistName(entry)) {
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

QString MvPlaylist::path(int index) const
{
    QString entry = text(index);
    if (entry.isEmpty())
        return QString();
    if (entry.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        QString rest = entry.mid(7);
        // file://host/path: only the local host is meant here.
        if (!rest.startsWith(QLatin1Char('/')))
            rest = rest.mid(std::max<qsizetype>(0, rest.indexOf(QLatin1Char('/'))));
        return QString::fromUtf8(QByteArray::fromPercentEncoding(rest.toUtf8()));
    }
    const QString asWritten =
        entry.startsWith(QLatin1Char('/')) ? entry : listFolder + QLatin1Char('/') + entry;
    const bool drive = entry.size() >= 2 && entry.at(1) == QLatin1Char(':') &&
                       entry.at(0).isLetter() && entry.at(0).unicode() < 128;
    if (!drive && !entry.contains(QLatin1Char('\\')))
        return asWritten;
    // Written on Windows: the drive names nothing here, so the rest of the
    // path is looked for below the playlist's folder. A real name with a
    // backslash in it still wins.
    if (QFileInfo::exists(asWritten))
        return asWritten;
    if (drive)
        entry.remove(0, 2);
    entry.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (entry.startsWith(QLatin1Char('/')))
        entry.remove(0, 1);
    return listFolder + QLatin1Char('/') + entry;
}

QString MvPlaylist::save(const QString &folder, const QString &baseName, const QStringList &paths)
{
    QString base = baseName;
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
        base.prepend(QStringLiteral("Playlist"));
    QString target;
    for (int n = 1; n < 1000 && target.isEmpty(); ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        const QString candidate = QDir(folder).filePath(name + QStringLiteral(".m3u8"));
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            target = candidate;
    }
    if (target.isEmpty())
        return QString();
    QByteArray text("#EXTM3U\n");
    for (const QString &path : paths) {
        // A name with a line break cannot stand as one line.
        if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
            continue;
        text += "#EXTINF:-1," + QFileInfo(path).completeBaseName().toUtf8() + '\n';
        text += path.toUtf8() + '\n';
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    // The name may have been taken meanwhile; never overwrite it.
    if (QFileInfo::exists(target)) {
        file.cancelWriting();
        file.commit();
        return QString();
    }
    return file.commit() ? target : QString();
}
