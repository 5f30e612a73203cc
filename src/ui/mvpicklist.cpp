#include "ui/mvpicklist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

namespace {
constexpr int Frame = 1;
constexpr int TextInset = 10;
constexpr int ScrollMark = 3;
} // namespace

MvPickList::MvPickList(QWidget *parent) : QWidget(parent, Qt::Popup)
{
    setObjectName(QStringLiteral("MvPickList"));
    // The options menu's own look.
    setFont(QApplication::font("QMenu"));
    setPalette(QApplication::palette("QMenu"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

int MvPickList::rowHeight() const
{
    return fontMetrics().height() + 4;
}

int MvPickList::shownRows() const
{
    return qMax(1, (height() - 2 * Frame) / rowHeight());
}

void MvPickList::open(const QStringList &rows, int chosen, const QPoint &bottomLeft)
{
    items = rows;
    current = rows.isEmpty() ? -1 : qBound(0, chosen, int(rows.size()) - 1);
    first = 0;
    const QWidget *area = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect room =
        area ? QRect(area->mapToGlobal(QPoint()), area->size()) : screen()->availableGeometry();
    const int tallest = qMax(rowHeight(), bottomLeft.y() - room.top() - 2 * Frame);
    const int wanted = int(qMin<qsizetype>(rows.size(), tallest / rowHeight())) * rowHeight();
    setGeometry(room.left(), bottomLeft.y() - wanted - 2 * Frame, room.width(), wanted + 2 * Frame);
    moveTo(current);
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);
}

void MvPickList::moveTo(int index)
{
    if (items.isEmpty())
        return;
    current = qBound(0, index, int(items.size()) - 1);
    // The chosen row in view: at the top when it was above, at the bottom when below.
    if (current < first)
        first = current;
    else if (current >= first + shownRows())
        first = current - shownRows() + 1;
    update();
}

void MvPickList::pick(int index)
{
    hide();
    if (index >= 0 && index < items.size())
        emit picked(index);
}

void MvPickList::keyPressEvent(QKeyEvent *event)
{
    const int n = int(items.size());
    switch (event->key()) {
    case Qt::Key_Up:
        moveTo(current > 0 ? current - 1 : n - 1);
        break;
    case Qt::Key_Down:
        moveTo(current + 1 < n ? current + 1 : 0);
        break;
    case Qt::Key_PageUp:
        moveTo(current - shownRows());
        break;
    case Qt::Key_PageDown:
        moveTo(current + shownRows());
        break;
    case Qt::Key_Home:
        moveTo(0);
        break;
    case Qt::Key_End:
        moveTo(n - 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        pick(current);
        break;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        hide();
        break;
    default:
        // Other keys, the soft keys' included, do nothing behind the list.
        break;
    }
    event->accept();
}

void MvPickList::mousePressEvent(QMouseEvent *event)
{
    if (!rect().contains(event->position().toPoint())) {
        hide();
        return;
    }
    const int row = first + (int(event->position().y()) - Frame) / rowHeight();
    if (row < first + shownRows())
        pick(row);
}

void MvPickList::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    first = qBound(0, first - steps, qMax(0, int(items.size()) - shownRows()));
    update();
}

void MvPickList::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().brush(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int h = rowHeight();
    const int last = qMin(int(items.size()), first + shownRows());
    const int textWidth = width() - 2 * Frame - TextInset - ScrollMark - 2;
    for (int i = first; i < last; ++i) {
        const QRect row(Frame, Frame + (i - first) * h, width() - 2 * Frame, h);
        if (i == current)
            painter.fillRect(row, palette().brush(QPalette::Highlight));
        painter.setPen(palette().color(i == current ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(row.adjusted(TextInset, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(items.at(i), Qt::ElideRight, textWidth));
    }
    // Where the rows in view lie in a longer list.
    if (items.size() > shownRows()) {
        const int track = height() - 2 * Frame;
        const int top = int(qint64(track) * first / items.size());
        const int length = qMax(6, int(qint64(track) * shownRows() / items.size()));
        painter.fillRect(width() - Frame - ScrollMark, Frame + qMin(top, track - length),
                         ScrollMark, length, palette().color(QPalette::Mid));
    }
}
