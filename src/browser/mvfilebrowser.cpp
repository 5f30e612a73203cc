#include "browser/mvfilebrowser.h"

#include "core/medialisting.h"
#include "core/mvplaylist.h"
#include "core/rawfilename.h"

#include "platform/boardpaths.h"
#include "platform/res_icon_reader.h"
#include "platform/util_listbox.h"
#include "widgets/mvlistboxitem.h"
#include "widgets/mvutil_listbox.h"

#include <QDir>
#include <algorithm>
#include <sys/stat.h>

const MvFileBrowser::MediaRoot MvFileBrowser::mediaRoots[4] = {
    {QT_TRANSLATE_NOOP("MvFileBrowser", "MyVideo"), "FMMS_Folder_Video_S.gif", mediaFolders[0]},
    {QT_TRANSLATE_NOOP("MvFileBrowser", "MyAudio"), "FMMS_Folder_Audio_S.gif", mediaFolders[1]},
    {QT_TRANSLATE_NOOP("MvFileBrowser", "My playlists"), "FMMS_Personal_Folder_S.gif",
     mediaFolders[2]},
    {QT_TRANSLATE_NOOP("MvFileBrowser", "Memory card"), "FMMS_Mmc_S.g", mediaFolders[3]},
};

namespace {
const char *const FolderIcon = "FMMS_Personal_Folder_S.g";
const char *const AudioIcon = "FMMS_File_Audio_S.g";
const char *const VideoIcon = "FMMS_File_Video_S.g";
const char *const TopLevelPath = "BASEPATH";

// A row whose name is not UTF-8: it shows the name as best it decodes and
// keeps the name itself for the path.
class RawNameRow : public MvListBoxItem
{
public:
    RawNameRow(QListBox *box, const QString &name, const QPixmap &icon)
        : MvListBoxItem(box, displayFileName(name), icon, false), fileName(name)
    {
    }
    const QString fileName;
};

QString rowName(const MvListBoxItem *row)
{
    const auto *raw = dynamic_cast<const RawNameRow *>(row);
    return raw ? raw->fileName : row->text();
}

// By the path's bytes: QFileInfo would lose those that are not UTF-8.
enum class PathType { Missing, Folder, Other };
PathType pathType(const QString &path)
{
    const QByteArray raw = rawFileName(path);
    struct stat st;
    if (::stat(raw.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? PathType::Folder : PathType::Other;
    // A broken link is still there to be tried.
    return ::lstat(raw.constData(), &st) == 0 ? PathType::Other : PathType::Missing;
}
} // namespace

MvFileBrowser::MvFileBrowser(QWidget *parent, const char *name) : MvObject(parent, name)
{
    list = new MvUTIL_ListBox(parent, 0);
    list->setFrameStyle(0);
    connect(list, qOverload<MvListBoxItem *, const QPoint &>(&MvUTIL_ListBox::clicked), this,
            &MvFileBrowser::slotItemClicked);
    listDir(QString(), false);
}

MvFileBrowser::~MvFileBrowser()
{
    destroy();
}

void MvFileBrowser::destroy()
{
    // With a parent, the list is that parent's child and goes with it.
    if (!parent() && list)
        delete list.data();
}

QWidget *MvFileBrowser::listWidget() const
{
    return list ? list->listBox.data() : nullptr;
}

QString MvFileBrowser::path() const
{
    return depth != 0 ? currentPath : QString::fromLatin1(TopLevelPath);
}

// A listing starts with a current row: the folder just left when going up,
// otherwise the first.
void MvFileBrowser::listDir(const QString &folder, bool up)
{
    const QString left = up && depth > 0 ? currentPath : QString();
    if (up && depth > 0)
        --depth;
    if (depth == 0)
        listRoots();
    else
        listFolder(folder, up);
    if (!list)
        return;
    int at = 0;
    for (int i = 0; !left.isEmpty() && i < list->count(); ++i) {
        const MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(i));
        const QString path = depth == 0 ? QString::fromLatin1(mediaRoots[i].folder)
                             : row      ? entryPath(rowName(row))
                                        : QString();
        if (path == left) {
            at = i;
            break;
        }
    }
    if (MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(at)))
        list->setSelected(row, true);
}

void MvFileBrowser::listRoots()
{
    if (!list)
        return;
    RES_ICON_Reader icons;
    list->clear();
    for (const MediaRoot &root : mediaRoots) {
        auto *row = new MvListBoxItem(list->listBox, tr(root.label),
                                      icons.getIcon(root.icon, false), false);
        list->insertItem(row, -1);
    }
}

// A folder is named by the way the user came in, links and all, so that
// going up goes back along that way and never above the root it began at.
// A folder that cannot be entered or read is shown as an empty list at its
// level, so that the rows, currentPath and depth always agree.
void MvFileBrowser::listFolder(const QString &folder, bool up)
{
    if (!list)
        return;
    RES_ICON_Reader icons;
    QString target;
    if (!folder.isEmpty()) {
        target = QDir::current().absoluteFilePath(folder);
        target = QDir::cleanPath(up ? target + QStringLiteral("/..") : target);
    }
    const bool entered = !target.isEmpty() && pathType(target) == PathType::Folder;
    currentPath = target;
    list->clear();
    folderRows = 0;
    if (!entered)
        return;

    QList<MediaEntry> entries;
    if (!listMediaFolder(currentPath, &entries))
        return;
    const QPixmap folderIcon = icons.getIcon(FolderIcon, false);
    const QPixmap audioIcon = icons.getIcon(AudioIcon, false);
    const QPixmap videoIcon = icons.getIcon(VideoIcon, false);
    for (const MediaEntry &entry : entries) {
        const QPixmap &icon = entry.dir                        ? folderIcon
                              : entry.kind == MediaKind::Audio ? audioIcon
                                                               : videoIcon;
        MvListBoxItem *row = hasRawBytes(entry.name)
                                 ? new RawNameRow(list->listBox, entry.name, icon)
                                 : new MvListBoxItem(list->listBox, entry.name, icon, false);
        if (entry.dir)
            ++folderRows;
        row->setCheckable(true);
        list->insertItem(row, -1);
        list->setChecked(row, true);
    }
}

void MvFileBrowser::goUp(int n)
{
    const int passes = std::min(n + 1, depth);
    for (int i = 0; i < passes; ++i)
        listDir(currentPath, true);
    emit dirPicked(currentPath);
}

void MvFileBrowser::goToLevel(int level)
{
    level = std::max(0, std::min(level, depth));
    if (level == depth)
        return;
    goUp(depth - level - 1);
}

void MvFileBrowser::slotItemClicked(MvListBoxItem *item, const QPoint &)
{
    activate(item);
}

MvFileBrowser::Activation MvFileBrowser::activate(MvListBoxItem *item)
{
    if (!item || !list)
        return Activation::Ignored;
    if (depth == 0) {
        const int at = list->index(item);
        if (at < 0 || at > 3)
            return Activation::Ignored;
        currentPath = QString::fromStdString(boardPath(mediaRoots[at].folder));
        depth = 1;
        listDir(currentPath, false);
        emit dirPicked(currentPath);
        return Activation::Opened;
    }
    const QString full = entryPath(rowName(item));
    const PathType type = pathType(full);
    if (type == PathType::Folder) {
        ++depth;
        listDir(full, false);
        emit dirPicked(currentPath);
        return Activation::Opened;
    }
    // A file deleted since the listing leaves the list instead of being
    // handed on as if it could be played.
    if (type == PathType::Missing) {
        removeRow(list->index(item));
        return Activation::Vanished;
    }
    emit filePicked(full);
    return Activation::Picked;
}

bool MvFileBrowser::isVanished(MvListBoxItem *item) const
{
    if (depth == 0 || !item)
        return false;
    return pathType(entryPath(rowName(item))) == PathType::Missing;
}

QString MvFileBrowser::entryPath(const QString &name) const
{
    const QString prefix = currentPath == QLatin1String("/") ? QString() : currentPath;
    return prefix + QLatin1Char('/') + name;
}

// Selects and activates the row at index. Rows whose entries have vanished
// are dropped on the way, without moving the current row, and the next one in
// the same direction is tried.
bool MvFileBrowser::selectAt(int index, int step)
{
    while (list) {
        MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(index));
        if (!row)
            return false;
        if (isVanished(row)) {
            removeRow(index);
            if (step < 0)
                --index;
            continue;
        }
        list->setSelected(row, true);
        activate(row);
        return true;
    }
    return false;
}

bool MvFileBrowser::selectPrevious()
{
    if (!list)
        return false;
    const int c = list->currentItem();
    if (c <= 0)
        return false;
    return selectAt(c - 1, -1);
}

bool MvFileBrowser::selectNext()
{
    if (!list)
        return false;
    const int c = list->currentItem();
    if (c == list->count() - 1)
        return false;
    return selectAt(c + 1, +1);
}

void MvFileBrowser::removeRow(int index)
{
    // Folders are listed first.
    if (index >= 0 && index < folderRows)
        --folderRows;
    list->removeItem(index);
}

int MvFileBrowser::filePlace() const
{
    if (!list || depth == 0)
        return 0;
    const int c = list->currentItem();
    return c < folderRows ? 0 : c - folderRows + 1;
}

int MvFileBrowser::fileCount() const
{
    return list && depth != 0 ? list->count() - folderRows : 0;
}

void MvFileBrowser::showCurrent()
{
    if (!list)
        return;
    if (MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(list->currentItem()))) {
        list->setSelected(row, true);
        list->listBox->ensureCurrentVisible();
    }
}

QStringList MvFileBrowser::tickedMedia(const QString &alsoPath) const
{
    QStringList media;
    if (!list || depth == 0)
        return media;
    for (int i = 0; i < list->count(); ++i) {
        MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(i));
        if (!row)
            continue;
        const QString full = entryPath(rowName(row));
        if (!row->isChecked() && full != alsoPath)
            continue;
        struct stat info;
        if (MvPlaylist::isPlaylistPath(full) ||
            (::stat(rawFileName(full).constData(), &info) == 0 && S_ISDIR(info.st_mode)))
            continue;
        media.append(full);
    }
    return media;
}

void MvFileBrowser::setAllTicked(bool on)
{
    if (list && depth != 0)
        list->setAllChecked(on);
}

bool MvFileBrowser::showEntry(const QString &path)
{
    if (!list || depth == 0)
        return false;
    for (int i = 0; i < list->count(); ++i) {
        MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(i));
        if (row && entryPath(rowName(row)) == path) {
            list->setSelected(row, true);
            return true;
        }
    }
    return false;
}

void MvFileBrowser::markEntry(const QString &path)
{
    if (!list)
        return;
    for (int i = 0; i < list->count(); ++i) {
        MvListBoxItem *row = MvUTIL_ListBox::toRow(list->item(i));
        const bool mark = row && depth != 0 && !path.isEmpty() && entryPath(rowName(row)) == path;
        if (row && row->isMarked() != mark) {
            row->setMarked(mark);
            list->listBox->updateItem(i);
        }
    }
}
