#pragma once

#include <QMenu>

class QAction;
class QCustomMenuItem;

// The old toolkit's pop-up menu: entries carry integer ids, and custom items
// size and paint themselves.
class QPopupMenu : public QMenu
{
    Q_OBJECT

public:
    explicit QPopupMenu(QWidget *parent = nullptr, const char *name = nullptr);

    // Takes ownership of the item. An id < 0 asks the menu for a new unique
    // id; an index < 0 or past the end appends. Returns the entry's id.
    int insertItem(QCustomMenuItem *item, int id = -1, int index = -1);
    int insertItem(const QString &text, int id = -1, int index = -1);

    int count() const { return actions().size(); }
    int idAt(int index) const;
    int indexOf(int id) const;
    QAction *actionOf(int id) const;
    QCustomMenuItem *customItem(int id) const;

signals:
    void activated(int id);

protected:
    int insertAction(QAction *action, int id, int index);
};
