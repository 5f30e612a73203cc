#include "platform/util_listbox.h"

#include <QPalette>

UTIL_ListBox::UTIL_ListBox(const QString &title, QWidget *parent, unsigned int) : QListBox(parent)
{
    setObjectName(title);
    setupLook();
}

UTIL_ListBox::UTIL_ListBox(QWidget *parent, unsigned int) : QListBox(parent)
{
    setupLook();
}

QFont UTIL_ListBox::phoneFont()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    return f;
}

void UTIL_ListBox::setupLook()
{
    setFont(phoneFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
    pal.setColor(QPalette::Text, QColor(0x10, 0x10, 0x10));
    pal.setColor(QPalette::Highlight, QColor(0x1e, 0x5a, 0xb4));
    pal.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    setPalette(pal);
}
