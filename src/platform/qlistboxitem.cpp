#include "platform/qlistboxitem.h"

#include "platform/qlistbox.h"

#include <QFontMetrics>

QListBoxItem::~QListBoxItem()
{
    if (lbox && inserted)
        lbox->detachItem(this);
}

void QListBoxItem::setText(const QString &text)
{
    txt = text;
    if (lbox && inserted)
        lbox->updateItem(this);
}

int QListBoxItem::height(const QListBox *box) const
{
    return box ? box->fontMetrics().height() + 2 : 0;
}

int QListBoxItem::width(const QListBox *box) const
{
    return box ? box->fontMetrics().horizontalAdvance(text()) + 6 : 0;
}

void QListBoxItem::paint(QPainter *) {}

bool QListBoxItem::isCurrent() const
{
    return lbox && inserted && lbox->currentListItem() == this;
}
