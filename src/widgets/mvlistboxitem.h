#pragma once

#include "platform/util_listboxitem.h"

#include <QObject>
#include <QPixmap>
#include <QString>

// One list row: text, icon and a check state (checkable, checked). It
// measures and paints itself: an optional check box, the icon, the text.
class MvListBoxItem : public QObject, public UTIL_ListBoxItem
{
    Q_OBJECT

public:
    MvListBoxItem(QListBox *box, const QString &text, const QPixmap &pixmap, bool flag);
    ~MvListBoxItem() override;

    virtual QString text() const override;
    virtual const QPixmap *pixmap() const override;
    virtual void setText(const QString &text) override;
    virtual void setPixmap(const QPixmap &pixmap);
    virtual int height(const QListBox *box) const override;
    virtual void paint(QPainter *painter) override;
    virtual void setCheckable(bool on);
    virtual void setChecked(bool on);

    bool isCheckable() const { return checkable; }
    bool isChecked() const { return checked; }

    // Shared by all rows of all lists.
    static int itemFontHeight;
    static int lastItemHeight;

protected:
    QString itemText;
    QPixmap itemPixmap;
    bool checkable = false;
    bool checked = false;
};
