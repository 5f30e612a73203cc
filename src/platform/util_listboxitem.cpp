#include "platform/util_listboxitem.h"

#include "platform/util_listbox.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {
// Tall enough for the 18-pixel check box with a pixel of air around it.
constexpr int MinRowHeight = 22;
constexpr int RowPadding = 6;
} // namespace

UTIL_ListBoxItem::UTIL_ListBoxItem(QListBox *box, const QString &text, bool flag) : flag(flag)
{
    lbox = box;
    txt = text;
}

UTIL_ListBoxItem::~UTIL_ListBoxItem() = default;

QFont UTIL_ListBoxItem::font() const
{
    return lbox ? lbox->font() : UTIL_ListBox::phoneFont();
}

int UTIL_ListBoxItem::height(const QListBox *box) const
{
    static const int phoneLine = QFontMetrics(UTIL_ListBox::phoneFont()).height();
    const QListBox *measure = box ? box : lbox;
    const int line = measure ? measure->lineHeight() : phoneLine;
    return std::max(MinRowHeight, line + RowPadding);
}

void UTIL_ListBoxItem::paint(QPainter *painter)
{
    const QListBox *box = listBox();
    if (!box)
        return;
    const QPalette &pal = box->palette();
    if (isSelected()) {
        const QRect row(0, 0, box->viewport()->width(), height(box));
        painter->fillRect(row, pal.color(QPalette::Highlight));
        painter->setPen(pal.color(QPalette::HighlightedText));
    } else {
        painter->setPen(pal.color(QPalette::Text));
    }
}

void UTIL_ListBoxItem::setText(const QString &text)
{
    QListBoxItem::setText(text);
}
