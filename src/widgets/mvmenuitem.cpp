#include "widgets/mvmenuitem.h"

#include <QFontMetrics>
#include <QPainter>

int MvMenuItem::menuFontHeight = 0;

namespace {
const QString SeparatorText = QStringLiteral("-");
} // namespace

MvMenuItem::MvMenuItem() = default;

MvMenuItem::MvMenuItem(const QString &text, const QPixmap &pixmap)
    : itemText(text), separator(text == SeparatorText), itemPixmap(pixmap)
{
}

MvMenuItem::~MvMenuItem() = default;

bool MvMenuItem::fullSpan() const
{
    return true;
}

bool MvMenuItem::isSeparator() const
{
    return separator;
}

void MvMenuItem::setFont(const QFont &font)
{
    if (font == itemFont)
        return;
    itemFont = font;
    QCustomMenuItem::setFont(font);
    menuFontHeight = QFontMetrics(font).height();
}

void MvMenuItem::paint(QPainter *painter, const QColorGroup &group, bool act, bool, int x, int y,
                       int w, int h)
{
    const QFontMetrics metrics(itemFont);
    if (act && !separator) {
        painter->fillRect(x, y, w, h, group.brush(QPalette::Highlight));
        painter->setPen(group.color(QPalette::HighlightedText));
    }
    int tx = 5;
    if (!itemPixmap.isNull()) {
        painter->drawPixmap(0, 0, itemPixmap);
        tx = itemPixmap.width() + 5;
    }
    // Before any item was given a font the shared line height is 0, which
    // would clip the text away: the item's own font stands in then.
    const int lineHeight = menuFontHeight > 0 ? menuFontHeight : metrics.height();
    painter->setFont(itemFont);
    painter->drawText(QRect(tx + 5, 2, metrics.horizontalAdvance(itemText) + 4, lineHeight + 4),
                      Qt::AlignLeft | Qt::AlignVCenter, itemText);
}

QSize MvMenuItem::sizeHint()
{
    const QFontMetrics metrics(itemFont);
    return QSize(metrics.horizontalAdvance(itemText) + 4, metrics.height() + 4);
}

QString MvMenuItem::text() const
{
    return itemText;
}

void MvMenuItem::setText(const QString &text)
{
    if (text == itemText)
        return;
    itemText = text;
    separator = text == SeparatorText;
}
