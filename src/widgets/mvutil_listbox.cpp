#include "widgets/mvutil_listbox.h"

#include "platform/util_listbox.h"
#include "widgets/mvlistboxitem.h"

MvUTIL_ListBox::MvUTIL_ListBox(const QString &text, QWidget *parent, unsigned int flags)
    : MvObject(parent, text.toLatin1().constData()), listBox(new UTIL_ListBox(text, parent, flags))
{
    setup();
}

MvUTIL_ListBox::MvUTIL_ListBox(QWidget *parent, unsigned int flags)
    : MvObject(parent, nullptr), listBox(new UTIL_ListBox(parent, flags))
{
    setup();
}

void MvUTIL_ListBox::setup()
{
    listBox->setVariableHeight(true);
    setWatched(listBox);

    using B = QListBox;
    using L = MvUTIL_ListBox;
    B *b = listBox;
    connect(b, &B::highlighted, this, &L::slotItemHighlighted);
    connect(b, &B::selected, this, &L::slotItemSelected);
    connect(b, qOverload<>(&B::selectionChanged), this, qOverload<>(&L::slotSelectionChanged));
    connect(b, qOverload<QListBoxItem *>(&B::selectionChanged), this,
            qOverload<QListBoxItem *>(&L::slotSelectionChanged));
    connect(b, &B::currentChanged, this, &L::slotCurrentChanged);
    connect(b, qOverload<QListBoxItem *>(&B::clicked), this,
            qOverload<QListBoxItem *>(&L::slotItemClicked));
    connect(b, qOverload<QListBoxItem *, const QPoint &>(&B::clicked), this,
            qOverload<QListBoxItem *, const QPoint &>(&L::slotItemClicked));
    connect(b, qOverload<QListBoxItem *>(&B::pressed), this,
            qOverload<QListBoxItem *>(&L::slotItemPressed));
    connect(b, qOverload<QListBoxItem *, const QPoint &>(&B::pressed), this,
            qOverload<QListBoxItem *, const QPoint &>(&L::slotItemPressed));
    connect(b, &B::doubleClicked, this, &L::slotDoubleClicked);
    connect(b, &B::returnPressed, this, &L::slotReturnPressed);
    connect(b, &B::rightButtonClicked, this, &L::slotRightButtonClicked);
    connect(b, &B::rightButtonPressed, this, &L::slotRightButtonPressed);
    connect(b, &B::mouseButtonPressed, this, &L::slotMouseButtonPressed);
    connect(b, &B::mouseButtonClicked, this, &L::slotMouseButtonClicked);
    connect(b, &B::onItem, this, &L::slotOnItem);
    connect(b, &B::onViewport, this, &L::slotOnViewport);

    checkedList = new QList<UTIL_ListBoxItem *>;
}

MvUTIL_ListBox::~MvUTIL_ListBox()
{
    if (checkedList) {
        checkedList->clear();
        delete checkedList;
        checkedList = nullptr;
    }
    // With a parent, the list box is that parent's child and goes with it.
    if (!parent() && listBox)
        delete listBox.data();
}

MvListBoxItem *MvUTIL_ListBox::toRow(QListBoxItem *item)
{
    return dynamic_cast<MvListBoxItem *>(item);
}

void MvUTIL_ListBox::setFrameStyle(int style)
{
    if (listBox)
        listBox->setFrameStyle(style);
}

void MvUTIL_ListBox::insertItem(MvListBoxItem *item, int index)
{
    if (!listBox || !item)
        return;
    listBox->insertItem(static_cast<UTIL_ListBoxItem *>(item), index);
}

int MvUTIL_ListBox::count() const
{
    return listBox ? listBox->count() : 0;
}

int MvUTIL_ListBox::currentItem() const
{
    return listBox ? listBox->currentItem() : -1;
}

QListBoxItem *MvUTIL_ListBox::item(int index) const
{
    return listBox ? listBox->item(index) : nullptr;
}

QListBoxItem *MvUTIL_ListBox::firstItem() const
{
    return item(0);
}

int MvUTIL_ListBox::index(const QListBoxItem *item) const
{
    return listBox ? listBox->index(item) : -1;
}

void MvUTIL_ListBox::clear()
{
    if (listBox)
        listBox->clear();
}

void MvUTIL_ListBox::removeItem(int index)
{
    if (listBox)
        listBox->removeItem(index);
}

void MvUTIL_ListBox::updateItem(MvListBoxItem *item)
{
    if (listBox && item)
        listBox->updateItem(static_cast<UTIL_ListBoxItem *>(item));
}

void MvUTIL_ListBox::setSelected(QListBoxItem *item, bool select)
{
    if (listBox)
        listBox->setSelected(item, select);
}

bool MvUTIL_ListBox::isCurrentFirst() const
{
    return listBox && currentItem() == 0;
}

bool MvUTIL_ListBox::isCurrentLast() const
{
    return !listBox || currentItem() == count() - 1;
}

bool MvUTIL_ListBox::isChecked(int index) const
{
    return listBox && isChecked(toRow(item(index)));
}

bool MvUTIL_ListBox::isChecked(MvListBoxItem *item) const
{
    return item && item->isCheckable() && item->isChecked();
}

void MvUTIL_ListBox::setChecked(int index, bool on)
{
    if (listBox)
        setChecked(toRow(item(index)), on);
}

void MvUTIL_ListBox::setChecked(MvListBoxItem *item, bool on)
{
    if (item)
        item->setChecked(on);
}

void MvUTIL_ListBox::setAllChecked(bool on)
{
    for (int i = 0, n = count(); i < n; ++i)
        setChecked(i, on);
}

QList<UTIL_ListBoxItem *> *MvUTIL_ListBox::checkedItems()
{
    checkedList->clear();
    for (int i = 0, n = count(); i < n; ++i) {
        MvListBoxItem *row = toRow(item(i));
        if (isChecked(row))
            checkedList->append(row);
    }
    return checkedList;
}

void MvUTIL_ListBox::slotItemHighlighted(QListBoxItem *item)
{
    emit highlighted(toRow(item));
}

void MvUTIL_ListBox::slotItemSelected(QListBoxItem *item)
{
    emit selected(toRow(item));
}

void MvUTIL_ListBox::slotSelectionChanged()
{
    emit selectionChanged();
}

void MvUTIL_ListBox::slotSelectionChanged(QListBoxItem *item)
{
    emit selectionChanged(toRow(item));
}

void MvUTIL_ListBox::slotCurrentChanged(QListBoxItem *item)
{
    emit currentChanged(toRow(item));
}

void MvUTIL_ListBox::slotItemClicked(QListBoxItem *item)
{
    emit clicked(toRow(item));
}

// A tap on the check box of a checkable row toggles it and goes no further.
void MvUTIL_ListBox::slotItemClicked(QListBoxItem *item, const QPoint &pos)
{
    MvListBoxItem *row = toRow(item);
    if (row && row->isCheckable() && pos.x() >= CheckBandLeft && pos.x() <= CheckBandRight) {
        row->setChecked(!row->isChecked());
        if (listBox)
            listBox->updateItem(static_cast<UTIL_ListBoxItem *>(row));
        return;
    }
    emit clicked(row, pos);
}

void MvUTIL_ListBox::slotItemPressed(QListBoxItem *item)
{
    emit pressed(toRow(item));
}

void MvUTIL_ListBox::slotItemPressed(QListBoxItem *item, const QPoint &pos)
{
    emit pressed(toRow(item), pos);
}

void MvUTIL_ListBox::slotDoubleClicked(QListBoxItem *item)
{
    emit doubleClicked(toRow(item));
}

void MvUTIL_ListBox::slotReturnPressed(QListBoxItem *item)
{
    emit returnPressed(toRow(item));
}

void MvUTIL_ListBox::slotRightButtonClicked(QListBoxItem *item, const QPoint &pos)
{
    emit rightButtonClicked(toRow(item), pos);
}

void MvUTIL_ListBox::slotRightButtonPressed(QListBoxItem *item, const QPoint &pos)
{
    emit rightButtonPressed(toRow(item), pos);
}

void MvUTIL_ListBox::slotMouseButtonPressed(int button, QListBoxItem *item, const QPoint &pos)
{
    emit mouseButtonPressed(button, toRow(item), pos);
}

void MvUTIL_ListBox::slotMouseButtonClicked(int button, QListBoxItem *item, const QPoint &pos)
{
    emit mouseButtonClicked(button, toRow(item), pos);
}

void MvUTIL_ListBox::slotOnItem(QListBoxItem *item)
{
    emit onItem(toRow(item));
}

void MvUTIL_ListBox::slotOnViewport()
{
    emit onViewport();
}
