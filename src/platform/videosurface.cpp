#include "platform/videosurface.h"

VideoSurface::VideoSurface(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VideoSurface"));
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}
