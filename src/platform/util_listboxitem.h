#pragma once

#include "platform/qlistboxitem.h"

#include <QFont>

// The phone's list row. Unlike the old toolkit's rows it does not insert
// itself into the list box it is made for: the owner inserts it explicitly.
class UTIL_ListBoxItem : public QListBoxItem
{
public:
    UTIL_ListBoxItem(QListBox *box, const QString &text, bool flag);
    ~UTIL_ListBoxItem() override;

    QFont font() const;
    int height(const QListBox *box) const override;
    // Paints the row's background: the selection bar when selected. It leaves
    // the painter's pen in the matching text colour for what is drawn on top.
    void paint(QPainter *painter) override;
    void setText(const QString &text) override;

protected:
    bool flag;
};
