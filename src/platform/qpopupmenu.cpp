#include "platform/qpopupmenu.h"

#include "platform/custommenuitemwidget.h"
#include "platform/qcustommenuitem.h"

#include <QWidgetAction>

namespace {
const char *const IdProperty = "menuItemId";

// Ids the menus choose themselves are negative and unique in the process.
int nextMenuId()
{
    static int next = -2;
    return next--;
}
} // namespace

QPopupMenu::QPopupMenu(QWidget *parent, const char *name) : QMenu(parent)
{
    setObjectName(QString::fromLatin1(name));
    connect(this, &QMenu::triggered, this,
            [this](QAction *action) { emit activated(action->property(IdProperty).toInt()); });
}

int QPopupMenu::insertItem(QCustomMenuItem *item, int id, int index)
{
    if (!item)
        return -1;
    auto *action = new QWidgetAction(this);
    auto *shown = new CustomMenuItemWidget(item, this);
    // A separator only shows; it is never chosen.
    if (item->isSeparator())
        shown->setEnabled(false);
    action->setDefaultWidget(shown);
    action->setEnabled(!item->isSeparator());
    return insertAction(action, id, index);
}

int QPopupMenu::insertItem(const QString &text, int id, int index)
{
    return insertAction(new QAction(text, this), id, index);
}

int QPopupMenu::insertAction(QAction *action, int id, int index)
{
    if (id < 0)
        id = nextMenuId();
    action->setProperty(IdProperty, id);
    const QList<QAction *> entries = actions();
    if (index < 0 || index >= entries.size())
        addAction(action);
    else
        QMenu::insertAction(entries.at(index), action);
    return id;
}

int QPopupMenu::idAt(int index) const
{
    const QList<QAction *> entries = actions();
    if (index < 0 || index >= entries.size())
        return -1;
    return entries.at(index)->property(IdProperty).toInt();
}

int QPopupMenu::indexOf(int id) const
{
    const QList<QAction *> entries = actions();
    for (int index = 0; index < entries.size(); ++index) {
        if (entries.at(index)->property(IdProperty).toInt() == id)
            return index;
    }
    return -1;
}

QAction *QPopupMenu::actionOf(int id) const
{
    const int index = indexOf(id);
    return index < 0 ? nullptr : actions().at(index);
}

QCustomMenuItem *QPopupMenu::customItem(int id) const
{
    auto *action = qobject_cast<QWidgetAction *>(actionOf(id));
    auto *shown = action ? qobject_cast<CustomMenuItemWidget *>(action->defaultWidget()) : nullptr;
    return shown ? shown->item() : nullptr;
}
