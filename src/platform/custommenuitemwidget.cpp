#include "platform/custommenuitemwidget.h"

#include "platform/qcustommenuitem.h"

#include <QMenu>
#include <QPainter>
#include <QWidgetAction>

CustomMenuItemWidget::CustomMenuItemWidget(QCustomMenuItem *item, QWidget *parent)
    : QWidget(parent), custom(item)
{
    setObjectName(QStringLiteral("CustomMenuItem"));
    setMouseTracking(true);
    if (custom->fullSpan())
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

CustomMenuItemWidget::~CustomMenuItemWidget() = default;

QSize CustomMenuItemWidget::sizeHint() const
{
    return custom->sizeHint();
}

void CustomMenuItemWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Current by the pointer or by the keys.
    auto *menu = qobject_cast<QMenu *>(parentWidget());
    auto *current = menu ? qobject_cast<QWidgetAction *>(menu->activeAction()) : nullptr;
    const bool act = active || (current && current->defaultWidget() == this);
    // The item paints relative to the painter's origin, the entry's top-left corner.
    custom->paint(&painter, palette(), act, isEnabled(), 0, 0, width(), height());
}

void CustomMenuItemWidget::enterEvent(QEnterEvent *event)
{
    active = true;
    update();
    QWidget::enterEvent(event);
}

void CustomMenuItemWidget::leaveEvent(QEvent *event)
{
    active = false;
    update();
    QWidget::leaveEvent(event);
}
