#pragma once

#include "platform/phonegeometry.h"
#include "widgets/mvlistboxitem.h"
#include "widgets/mvobject.h"

#include <QList>
#include <QPoint>
#include <QPointer>

class QListBoxItem;
class QWidget;
class UTIL_ListBox;
class UTIL_ListBoxItem;

// A list of MvListBoxItem rows on the phone's list box. It re-emits the list
// box's signals with the program's own rows, and turns a tap on a checkable
// row's check-box band into a change of its check state. The row's class is
// complete here so that its pointer in the signals has a meta type.
class MvUTIL_ListBox : public MvObject
{
    Q_OBJECT

public:
    MvUTIL_ListBox(const QString &text, QWidget *parent, unsigned int flags);
    MvUTIL_ListBox(QWidget *parent, unsigned int flags);
    ~MvUTIL_ListBox() override;

    void setFrameStyle(int style);
    void insertItem(MvListBoxItem *item, int index);
    int count() const;
    int currentItem() const;
    QListBoxItem *item(int index) const;
    QListBoxItem *firstItem() const;
    int index(const QListBoxItem *item) const;
    void clear();
    void removeItem(int index);
    void updateItem(MvListBoxItem *item);
    void setSelected(QListBoxItem *item, bool select);
    bool isCurrentFirst() const;
    bool isCurrentLast() const;
    bool isChecked(int index) const;
    bool isChecked(MvListBoxItem *item) const;
    void setChecked(int index, bool on);
    void setChecked(MvListBoxItem *item, bool on);
    void setAllChecked(bool on);
    QList<UTIL_ListBoxItem *> *checkedItems();

    // The row of a list box item; null for null or a row of another kind.
    static MvListBoxItem *toRow(QListBoxItem *item);

    // The tap band over the check box, in the list's x coordinates.
    static constexpr int CheckBandLeft = PhoneGeometry::CheckBandLeft;
    static constexpr int CheckBandRight = PhoneGeometry::CheckBandRight;

    // Guarded: when the list box widget is deleted by its parent first, the
    // operations see it missing instead of touching freed memory.
    QPointer<UTIL_ListBox> listBox;

public slots:
    void slotItemHighlighted(QListBoxItem *item);
    void slotItemSelected(QListBoxItem *item);
    void slotSelectionChanged();
    void slotSelectionChanged(QListBoxItem *item);
    void slotCurrentChanged(QListBoxItem *item);
    void slotItemClicked(QListBoxItem *item);
    void slotItemClicked(QListBoxItem *item, const QPoint &pos);
    void slotItemPressed(QListBoxItem *item);
    void slotItemPressed(QListBoxItem *item, const QPoint &pos);
    void slotDoubleClicked(QListBoxItem *item);
    void slotReturnPressed(QListBoxItem *item);
    void slotRightButtonClicked(QListBoxItem *item, const QPoint &pos);
    void slotRightButtonPressed(QListBoxItem *item, const QPoint &pos);
    void slotMouseButtonPressed(int button, QListBoxItem *item, const QPoint &pos);
    void slotMouseButtonClicked(int button, QListBoxItem *item, const QPoint &pos);
    void slotOnItem(QListBoxItem *item);
    void slotOnViewport();

signals:
    void highlighted(MvListBoxItem *item);
    void selected(MvListBoxItem *item);
    void selectionChanged();
    void selectionChanged(MvListBoxItem *item);
    void currentChanged(MvListBoxItem *item);
    void clicked(MvListBoxItem *item);
    void clicked(MvListBoxItem *item, const QPoint &pos);
    void pressed(MvListBoxItem *item);
    void pressed(MvListBoxItem *item, const QPoint &pos);
    void doubleClicked(MvListBoxItem *item);
    void returnPressed(MvListBoxItem *item);
    void rightButtonClicked(MvListBoxItem *item, const QPoint &pos);
    void rightButtonPressed(MvListBoxItem *item, const QPoint &pos);
    void mouseButtonPressed(int button, MvListBoxItem *item, const QPoint &pos);
    void mouseButtonClicked(int button, MvListBoxItem *item, const QPoint &pos);
    void onItem(MvListBoxItem *item);
    void onViewport();
    void checked(MvListBoxItem *item);
    void unchecked(MvListBoxItem *item);

protected:
    QList<UTIL_ListBoxItem *> *checkedList = nullptr;

private:
    void setup();
};
