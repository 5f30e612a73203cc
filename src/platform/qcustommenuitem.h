#pragma once

#include <QPalette>
#include <QSize>

class QFont;
class QPainter;

// The old toolkit's colour group: the palette serves.
using QColorGroup = QPalette;

// A menu entry that sizes and paints itself.
class QCustomMenuItem
{
public:
    QCustomMenuItem() = default;
    virtual ~QCustomMenuItem() = default;
    QCustomMenuItem(const QCustomMenuItem &) = delete;
    QCustomMenuItem &operator=(const QCustomMenuItem &) = delete;

    virtual bool fullSpan() const { return false; }
    virtual bool isSeparator() const { return false; }
    virtual void setFont(const QFont &) {}
    virtual void paint(QPainter *painter, const QColorGroup &group, bool act, bool enabled, int x,
                       int y, int w, int h) = 0;
    virtual QSize sizeHint() = 0;
};
