#pragma once

#include <QString>

class QListBox;
class QPainter;
class QPixmap;

// One row of a QListBox. The row measures and paints itself; the list box
// owns it once inserted and deletes it on clear(), removeItem() or its own
// destruction. Deleting a row that is still in a list box takes it out first.
// A folder can give a list a hundred thousand rows, so a row stays small: no
// object of its own in the object tree, no cached measures.
class QListBoxItem
{
public:
    QListBoxItem() = default;
    QListBoxItem(const QListBoxItem &) = delete;
    QListBoxItem &operator=(const QListBoxItem &) = delete;
    virtual ~QListBoxItem();

    virtual QString text() const { return txt; }
    virtual const QPixmap *pixmap() const { return nullptr; }
    virtual void setText(const QString &text);
    virtual int height(const QListBox *box) const;
    virtual int width(const QListBox *box) const;
    virtual void paint(QPainter *painter);

    // The list box the row is in, or was made for while not yet inserted.
    QListBox *listBox() const { return lbox; }
    bool isSelected() const { return selected; }
    bool isCurrent() const;

protected:
    QString txt;
    QListBox *lbox = nullptr;
    // The row's position in lbox, kept by the list box; -1 while not in it.
    int at = -1;
    bool selected = false;

    friend class QListBox;
};
