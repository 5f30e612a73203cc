#include "platform/qlistboxitem.h"

#include "platform/qlistbox.h"

#include <QFontMetrics>

QListBoxItem::~QListBoxItem()
{
    if (lbox && at >= 0)
        lbox->detachItem(this);
}

void QListBoxItem::setText(const QString &text)
{
    txt = text;
    if (lbox && at >= 0)
        lbox->updateItem(this);
}

int QListBoxItem::height(const QListBox *box) const
{
    return box ? box->lineHeight() + 2 : 0;
}

int QListBoxItem::width(const QListBox *box) const
{
    return box ? box->fontMetrics().horizontalAdvance(text()) + 6 : 0;
}

void QListBoxItem::paint(QPainter *) {}

bool QListBoxItem::isCurrent() const
{
    return lbox && at >= 0 && lbox->currentListItem() == this;
}
