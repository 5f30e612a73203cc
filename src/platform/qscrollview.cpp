#include "platform/qscrollview.h"

QScrollView::QScrollView(QWidget *parent, const char *name) : QScrollArea(parent)
{
    setObjectName(QString::fromLatin1(name));
    setFrameShape(QFrame::NoFrame);
    // The keys belong to the frame and to the lists placed inside.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    auto *area = new QWidget;
    area->setFocusPolicy(Qt::NoFocus);
    setWidget(area);
}

void QScrollView::addChild(QWidget *child, int x, int y)
{
    if (!child)
        return;
    const bool wasShown = !child->isHidden();
    child->setParent(widget());
    child->move(x, y);
    if (wasShown)
        child->show();
}
