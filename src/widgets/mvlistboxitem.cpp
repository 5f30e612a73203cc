#include "widgets/mvlistboxitem.h"

#include "core/mvsharepixmap.h"
#include "platform/phonegeometry.h"
#include "platform/qlistbox.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int TextLeft = 3;
constexpr int BoxTop = 2;
constexpr int BoxGap = 6;
constexpr int BoxSize = 18;
constexpr int IconGap = 5;
constexpr int TextWidth = PhoneGeometry::ScreenWidth;
constexpr int TextRightGap = 3;
constexpr int MarkWidth = 8;
constexpr int MarkHeight = 14;
const QColor MarkColour(0xe0, 0x8a, 0x2c);
} // namespace

MvListBoxItem::MvListBoxItem(QListBox *box, const QString &text, const QPixmap &pixmap, bool flag)
    : UTIL_ListBoxItem(box, text, flag), itemPixmap(pixmap)
{
}

MvListBoxItem::~MvListBoxItem() = default;

const QPixmap *MvListBoxItem::pixmap() const
{
    return &itemPixmap;
}

void MvListBoxItem::setPixmap(const QPixmap &pixmap)
{
    itemPixmap = pixmap;
}

int MvListBoxItem::height(const QListBox *box) const
{
    return std::max(UTIL_ListBoxItem::height(box), itemPixmap.height() + 1);
}

void MvListBoxItem::paint(QPainter *painter)
{
    UTIL_ListBoxItem::paint(painter);
    int x = TextLeft;
    if (checkable) {
        // Without the shared pictures there is no box to paint, but the
        // text keeps its column.
        const QPixmap *box = nullptr;
        if (sharePixmap)
            box = checked ? sharePixmap->checkedPixmap : sharePixmap->uncheckedPixmap;
        if (box)
            painter->drawPixmap(TextLeft, BoxTop, *box);
        const bool shared = sharePixmap && sharePixmap->checkedPixmap;
        x = (shared ? sharePixmap->checkedPixmap->width() : BoxSize) + BoxGap;
    }
    if (!itemPixmap.isNull()) {
        painter->drawPixmap(x, 0, itemPixmap);
        x += itemPixmap.width() + IconGap;
    }
    // One line: a name holding a line break must not spill out of its row,
    // and one too long for the row ends in an ellipsis rather than mid-letter.
    // The text sits on the row's bottom, measured with the font it is drawn in.
    const QListBox *box = listBox();
    const QFontMetrics metrics(painter->font());
    const int fontHeight = metrics.height();
    const QRect rect(x, height(box) - fontHeight - 4, TextWidth, fontHeight + 1);
    const int right = box ? box->viewport()->width() : TextWidth;
    int room = right - x - TextRightGap;
    if (marked) {
        // A ribbon with a notch at its foot.
        room -= MarkWidth + TextRightGap;
        const int left = right - TextRightGap - MarkWidth;
        const int top = (height(box) - MarkHeight) / 2;
        const QPolygon ribbon({QPoint(left, top), QPoint(left + MarkWidth, top),
                               QPoint(left + MarkWidth, top + MarkHeight),
                               QPoint(left + MarkWidth / 2, top + MarkHeight - 4),
                               QPoint(left, top + MarkHeight)});
        painter->save();
        painter->setPen(Qt::NoPen);
        painter->setBrush(MarkColour);
        painter->drawPolygon(ribbon);
        painter->restore();
    }
    QString line = txt;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = metrics.elidedText(line, Qt::ElideRight, std::max(room, 0));
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

void MvListBoxItem::setCheckable(bool on)
{
    checkable = on;
}

void MvListBoxItem::setChecked(bool on)
{
    if (checkable)
        checked = on;
}
