#pragma once

#include "platform/util_listboxitem.h"

#include <QPixmap>
#include <QString>

// One list row: text, icon and a check state (checkable, checked). It
// measures and paints itself: an optional check box, the icon, the text and,
// on a marked row, a mark at its right end.
// A folder can fill a list with a hundred thousand rows, so the text is kept
// once, in the platform row, and a row is no object of the object tree.
class MvListBoxItem : public UTIL_ListBoxItem
{
public:
    MvListBoxItem(QListBox *box, const QString &text, const QPixmap &pixmap, bool flag);
    ~MvListBoxItem() override;

    const QPixmap *pixmap() const override;
    virtual void setPixmap(const QPixmap &pixmap);
    int height(const QListBox *box) const override;
    void paint(QPainter *painter) override;
    virtual void setCheckable(bool on);
    virtual void setChecked(bool on);

    bool isCheckable() const { return checkable; }
    bool isChecked() const { return checked; }
    // Where a folder was left off: a book's place.
    void setMarked(bool on) { marked = on; }
    bool isMarked() const { return marked; }

protected:
    bool checkable = false;
    bool checked = false;
    bool marked = false;
    QPixmap itemPixmap;
};
