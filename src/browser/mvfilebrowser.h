#pragma once

#include "widgets/mvobject.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

class MvListBoxItem;
class MvUTIL_ListBox;
class QWidget;

// Walks from the four media roots down into their folders. A tapped or
// selected folder row is opened (dirPicked), a file row is handed on
// (filePicked). depth counts the levels below the roots.
class MvFileBrowser : public MvObject
{
    Q_OBJECT

public:
    MvFileBrowser(QWidget *parent, const char *name);
    ~MvFileBrowser() override;

    void destroy() override;

    QWidget *listWidget() const;
    QString path() const;
    void listDir(const QString &folder, bool up);
    void goUp(int n);
    void goToLevel(int level);
    bool selectPrevious();
    bool selectNext();
    // The current row's place among the file rows (from 1; 0 when it is no
    // file) and how many file rows there are: folders do not count.
    int filePlace() const;
    int fileCount() const;
    // Selects the current row again and scrolls it into view: the list may
    // have moved while hidden, at another size.
    void showCurrent();

    // The ticked media of the folder as paths, in the listed order, with
    // `alsoPath` among them even when its row is cleared. Folders and
    // playlists are not media here.
    QStringList tickedMedia(const QString &alsoPath = QString()) const;
    void setAllTicked(bool on);
    // Makes the row of `path` current without opening it; false when the
    // folder has no such row.
    bool showEntry(const QString &path);
    // Marks the row of `path` as the folder's place, and no other; "" marks none.
    void markEntry(const QString &path);

    struct MediaRoot
    {
        const char *label;
        const char *icon;
        const char *folder;
    };
    static const MediaRoot mediaRoots[4];

    int depth = 0;

public slots:
    void slotItemClicked(MvListBoxItem *item, const QPoint &point);

signals:
    void dirPicked(const QString &path);
    void filePicked(const QString &path);

protected:
    QPointer<MvUTIL_ListBox> list;
    QString currentPath;

private:
    enum class Activation { Ignored, Opened, Picked, Vanished };
    Activation activate(MvListBoxItem *item);
    bool selectAt(int index, int step);
    bool isVanished(MvListBoxItem *item) const;
    QString entryPath(const QString &name) const;
    void listRoots();
    void listFolder(const QString &folder, bool up);
    void removeRow(int index);

    // The folder rows, at the top of a folder's listing.
    int folderRows = 0;
};
