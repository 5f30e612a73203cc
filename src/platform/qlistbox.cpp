#include "platform/qlistbox.h"

#include "platform/qlistboxitem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>

QListBox::QListBox(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
}

QListBox::~QListBox()
{
    clear();
}

void QListBox::insertItem(QListBoxItem *item, int index)
{
    if (!item || (item->at >= 0 && item->lbox == this))
        return;
    if (item->at >= 0 && item->lbox)
        item->lbox->detachItem(item);
    item->lbox = this;
    item->selected = false;
    if (index < 0 || index >= count()) {
        item->at = count();
        items.append(item);
    } else {
        items.insert(index, item);
        renumber(index);
    }
    invalidateLayout();
}

void QListBox::removeItem(int index)
{
    QListBoxItem *row = item(index);
    if (!row)
        return;
    detachItem(row);
    delete row;
}

void QListBox::clear()
{
    if (items.isEmpty())
        return;
    // Swapped out, so that the emptied list gives its array back too.
    QList<QListBoxItem *> old;
    old.swap(items);
    current = nullptr;
    hoverKnown = false;
    ++generation;
    for (QListBoxItem *row : std::as_const(old))
        row->at = -1;
    qDeleteAll(old);
    verticalScrollBar()->setValue(0);
    invalidateLayout();
}

void QListBox::detachItem(QListBoxItem *row)
{
    const int at = index(row);
    if (at < 0)
        return;
    items.removeAt(at);
    renumber(at);
    row->at = -1;
    row->selected = false;
    if (current == row)
        current = nullptr;
    hoverKnown = false;
    ++generation;
    invalidateLayout();
}

// Each row knows its position, so that finding a row's index (several times
// for every key press) does not search the list.
void QListBox::renumber(int from)
{
    for (int i = from, n = count(); i < n; ++i)
        items.at(i)->at = i;
}

QListBoxItem *QListBox::item(int index) const
{
    return index >= 0 && index < count() ? items.at(index) : nullptr;
}

int QListBox::index(const QListBoxItem *row) const
{
    return row && row->lbox == this ? row->at : -1;
}

int QListBox::currentItem() const
{
    return index(current);
}

void QListBox::setCurrentItem(int index)
{
    setCurrentItem(item(index));
}

void QListBox::setCurrentItem(QListBoxItem *row)
{
    if (!row || row == current || index(row) < 0)
        return;
    setSelected(row, true);
}

void QListBox::setSelected(int index, bool select)
{
    setSelected(item(index), select);
}

// Single selection: selecting a row makes it the current one. The signals
// follow the old order: selectionChanged(row), selectionChanged(), then
// highlighted and currentChanged when the current row moved.
void QListBox::setSelected(QListBoxItem *row, bool select)
{
    if (!row || index(row) < 0 || row->selected == select)
        return;
    bool moved = false;
    if (select && current != row) {
        QListBoxItem *old = current;
        if (old) {
            old->selected = false;
            updateItem(old);
        }
        current = row;
        moved = true;
    }
    row->selected = select;
    updateItem(row);
    if (moved)
        ensureCurrentVisible();

    const quint64 gen = generation;
    if (select)
        emit selectionChanged(row);
    if (gen != generation)
        return;
    emit selectionChanged();
    if (!moved || gen != generation)
        return;
    emit highlighted(row);
    if (gen != generation)
        return;
    emit currentChanged(row);
}

bool QListBox::isSelected(int index) const
{
    const QListBoxItem *row = item(index);
    return row && row->selected;
}

void QListBox::setVariableHeight(bool on)
{
    if (varHeight == on)
        return;
    varHeight = on;
    invalidateLayout();
}

void QListBox::updateItem(int index)
{
    updateItem(item(index));
}

void QListBox::updateItem(QListBoxItem *row)
{
    const int at = index(row);
    if (at < 0)
        return;
    // A row whose height changed moves every row below it.
    if (!layoutDirty && at + 1 < int(tops.size())) {
        const int h = row->height(this);
        if (varHeight && h != tops[at + 1] - tops[at]) {
            invalidateLayout();
            return;
        }
    }
    const QRect r = itemRect(row);
    if (!r.isEmpty())
        viewport()->update(r);
}

int QListBox::lineHeight() const
{
    if (fontLine < 0)
        fontLine = fontMetrics().height();
    return fontLine;
}

void QListBox::triggerUpdate()
{
    invalidateLayout();
}

void QListBox::invalidateLayout()
{
    // The repaint asked for when the layout first went stale still stands.
    if (!layoutDirty)
        viewport()->update();
    layoutDirty = true;
    if (!layoutPosted) {
        layoutPosted = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    }
}

void QListBox::ensureLayout() const
{
    if (!layoutDirty)
        return;
    const int n = count();
    // A list emptied after a big folder gives that folder's share back.
    if (tops.capacity() / 2 > size_t(n) + 1)
        tops = std::vector<int>();
    tops.resize(size_t(n) + 1);
    int y = 0;
    if (varHeight) {
        for (int i = 0; i < n; ++i) {
            tops[size_t(i)] = y;
            y += std::max(1, items.at(i)->height(this));
        }
    } else {
        int h = 1;
        for (QListBoxItem *row : items)
            h = std::max(h, row->height(this));
        for (int i = 0; i < n; ++i) {
            tops[size_t(i)] = y;
            y += h;
        }
    }
    tops[size_t(n)] = y;
    layoutDirty = false;
}

void QListBox::updateScrollRange()
{
    ensureLayout();
    const int total = tops.back();
    const int page = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(std::max(1, page));
    bar->setSingleStep(count() ? std::max(1, tops[1] - tops[0]) : 20);
    bar->setRange(0, std::max(0, total - page));
}

bool QListBox::event(QEvent *e)
{
    if (e->type() == QEvent::LayoutRequest) {
        layoutPosted = false;
        updateScrollRange();
    }
    return QAbstractScrollArea::event(e);
}

void QListBox::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollRange();
}

void QListBox::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::FontChange) {
        fontLine = -1;
        invalidateLayout();
    }
    QAbstractScrollArea::changeEvent(e);
}

void QListBox::scrollContentsBy(int, int dy)
{
    viewport()->scroll(0, dy);
}

int QListBox::rowAtY(int contentY) const
{
    ensureLayout();
    if (contentY < 0 || contentY >= tops.back())
        return -1;
    auto it = std::upper_bound(tops.begin(), tops.end(), contentY);
    return int(it - tops.begin()) - 1;
}

QListBoxItem *QListBox::itemAt(const QPoint &p) const
{
    if (p.x() < 0 || p.x() >= viewport()->width())
        return nullptr;
    return item(rowAtY(p.y() + verticalScrollBar()->value()));
}

QRect QListBox::itemRect(QListBoxItem *row) const
{
    const int at = index(row);
    if (at < 0)
        return QRect();
    ensureLayout();
    const int y = tops[size_t(at)] - verticalScrollBar()->value();
    return QRect(0, y, viewport()->width(), tops[size_t(at) + 1] - tops[size_t(at)]);
}

void QListBox::ensureCurrentVisible()
{
    const int at = index(current);
    if (at < 0)
        return;
    updateScrollRange();
    QScrollBar *bar = verticalScrollBar();
    const int top = tops[size_t(at)];
    const int bottom = tops[size_t(at) + 1];
    const int page = viewport()->height();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + page)
        bar->setValue(std::min(top, bottom - page));
}

// Only the rows that meet the damaged region are asked to paint.
void QListBox::paintEvent(QPaintEvent *e)
{
    ensureLayout();
    QPainter p(viewport());
    const int offset = verticalScrollBar()->value();
    const QRect damage = e->rect();
    const int width = viewport()->width();
    int row = rowAtY(damage.top() + offset);
    if (row < 0)
        return;
    for (; row < count(); ++row) {
        const int top = tops[size_t(row)] - offset;
        if (top > damage.bottom())
            break;
        QListBoxItem *it = items.at(row);
        const int h = std::max(1, it->height(this));
        p.save();
        p.translate(0, top);
        p.setClipRect(0, 0, width, h);
        p.setFont(font());
        p.setPen(palette().color(QPalette::Text));
        it->paint(&p);
        p.restore();
    }
}

QPoint QListBox::screenPos(const QPoint &viewportPos) const
{
    return viewport()->mapTo(window(), viewportPos);
}

void QListBox::press(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    QListBoxItem *row = itemAt(pos);
    pressedItem = row;
    pressGeneration = generation;
    const quint64 gen = generation;
    if (row) {
        setCurrentItem(row);
        if (gen == generation && !row->selected)
            setSelected(row, true);
        if (gen != generation)
            return;
    }
    const QPoint at = screenPos(pos);
    const int button = int(e->button());
    emit pressed(row);
    if (gen != generation && row)
        return;
    emit pressed(row, at);
    if (gen != generation && row)
        return;
    emit mouseButtonPressed(button, row, at);
    if (gen != generation && row)
        return;
    if (e->button() == Qt::RightButton)
        emit rightButtonPressed(row, at);
}

// The second press of a double tap whose first tap changed the list (a folder
// opened) is dropped with its double click and release: it must not act on a
// row the user has not seen yet.
void QListBox::mousePressEvent(QMouseEvent *e)
{
    const quint64 sinceClick = e->timestamp() - lastClickTime;
    ignoreRelease =
        lastClickChangedList &&
        sinceClick <= quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    lastClickChangedList = false;
    if (!ignoreRelease)
        press(e);
}

void QListBox::mouseDoubleClickEvent(QMouseEvent *)
{
    QListBoxItem *row = pressedItem;
    if (ignoreRelease || !row || pressGeneration != generation)
        return;
    const quint64 gen = generation;
    emit doubleClicked(row);
    if (gen != generation)
        return;
    emit selected(row);
}

// A tap is reported on release, for the row under the finger when it is the
// row the press began on; anywhere else it is a tap beside the rows.
void QListBox::mouseReleaseEvent(QMouseEvent *e)
{
    if (ignoreRelease) {
        ignoreRelease = false;
        return;
    }
    const QPoint pos = e->position().toPoint();
    QListBoxItem *row = itemAt(pos);
    if (row != pressedItem || pressGeneration != generation)
        row = nullptr;
    pressedItem = nullptr;
    const QPoint at = screenPos(pos);
    const quint64 gen = generation;
    lastClickTime = e->timestamp();
    emit mouseButtonClicked(int(e->button()), row, at);
    if (gen == generation || !row) {
        if (e->button() == Qt::LeftButton) {
            emit clicked(row);
            if (gen == generation || !row)
                emit clicked(row, at);
        } else if (e->button() == Qt::RightButton) {
            emit rightButtonClicked(row, at);
        }
    }
    lastClickChangedList = gen != generation;
}

void QListBox::mouseMoveEvent(QMouseEvent *e)
{
    QListBoxItem *row = itemAt(e->position().toPoint());
    if (hoverKnown && row == hoverItem)
        return;
    hoverKnown = true;
    hoverItem = row;
    if (row)
        emit onItem(row);
    else
        emit onViewport();
}

void QListBox::moveCurrent(int to)
{
    if (count() == 0)
        return;
    setCurrentItem(std::clamp(to, 0, count() - 1));
}

// The select key acts as a tap on the current row's text: besides the old
// selected/returnPressed pair it reports a click at the row's centre.
void QListBox::activateCurrent()
{
    QListBoxItem *row = current;
    if (!row)
        return;
    const QPoint at = screenPos(itemRect(row).center());
    const quint64 gen = generation;
    emit selected(row);
    if (gen != generation)
        return;
    emit returnPressed(row);
    if (gen != generation)
        return;
    emit clicked(row);
    if (gen != generation)
        return;
    emit clicked(row, at);
}

void QListBox::keyPressEvent(QKeyEvent *e)
{
    const int at = currentItem();
    const int page = std::max(1, viewport()->height());
    switch (e->key()) {
    case Qt::Key_Up:
        moveCurrent(at < 0 ? 0 : at - 1);
        break;
    case Qt::Key_Down:
        moveCurrent(at + 1);
        break;
    case Qt::Key_Home:
        moveCurrent(0);
        break;
    case Qt::Key_End:
        moveCurrent(count() - 1);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        if (count() == 0)
            break;
        ensureLayout();
        const int from = at < 0 ? 0 : tops[size_t(at)];
        const int y = e->key() == Qt::Key_PageUp ? from - page : from + page;
        int to = rowAtY(std::clamp(y, 0, tops.back() - 1));
        moveCurrent(to < 0 ? 0 : to);
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activateCurrent();
        break;
    default:
        e->ignore();
        return;
    }
    e->accept();
}
