#include "platform/videosurface.h"

#include "platform/boarddisplay.h"

VideoSurface::VideoSurface(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VideoSurface"));
    // A window of its own for the engine to draw into; on a framebuffer the
    // engine draws on the screen itself, over this area left unpainted.
    if (!BoardDisplay::drawsOnFramebuffer()) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
    }
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}
