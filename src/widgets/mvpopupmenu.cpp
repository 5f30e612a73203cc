#include "widgets/mvpopupmenu.h"

#include "core/trace.h"
#include "platform/qcustommenuitem.h"
#include "platform/qpopupmenu.h"

#include <QKeyEvent>

MvPopupMenu::MvPopupMenu(QWidget *parent, const char *name)
    : MvObject(parent, name), popupMenu(new QPopupMenu(parent, name))
{
    popupMenu->installEventFilter(this);
    setWatched(popupMenu);
    setFiltering(true);
    connect(popupMenu, &QMenu::aboutToShow, this, &MvPopupMenu::slotAboutToShow);
}

MvPopupMenu::~MvPopupMenu()
{
    if (popupMenu) {
        popupMenu->removeEventFilter(this);
        delete popupMenu;
    }
}

int MvPopupMenu::insertItem(QCustomMenuItem *item, int id, int index)
{
    if (!popupMenu) {
        // The menu would have owned the item.
        delete item;
        return -1;
    }
    return popupMenu->insertItem(item, id, index);
}

bool MvPopupMenu::mousePressEvent(QMouseEvent *)
{
    traceLine("MvPopupMenu::mousePressEvent\n");
    return false;
}

bool MvPopupMenu::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    traceLine("MvPopupMenu::keyPressEvent\n");
    return false;
}

bool MvPopupMenu::paintEvent(QPaintEvent *)
{
    return false;
}

bool MvPopupMenu::resizeEvent(QResizeEvent *)
{
    return false;
}

void MvPopupMenu::slotAboutToShow() {}
