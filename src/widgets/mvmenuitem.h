#pragma once

#include "platform/qcustommenuitem.h"

#include <QFont>
#include <QPixmap>
#include <QString>

// A menu entry with an optional picture before its text, in a font of its
// own; the text "-" makes it a separator.
class MvMenuItem : public QCustomMenuItem
{
public:
    MvMenuItem();
    MvMenuItem(const QString &text, const QPixmap &pixmap);
    ~MvMenuItem() override;

    bool fullSpan() const override;
    bool isSeparator() const override;
    void setFont(const QFont &font) override;
    void paint(QPainter *painter, const QColorGroup &group, bool act, bool enabled, int x, int y,
               int w, int h) override;
    QSize sizeHint() override;
    virtual QString text() const;
    virtual void setText(const QString &text);

    // Line height of the font last given to any item; 0 until then.
    static int menuFontHeight;

protected:
    QFont itemFont;
    QString itemText;
    bool separator = false;
    QPixmap itemPixmap;
};
