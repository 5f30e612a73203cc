#include "platform/phonescreen.h"

#include "platform/boarddisplay.h"
#include "platform/lcdsleeptimer.h"
#include "platform/phonegeometry.h"
#include "platform/videosurface.h"

#include <QChildEvent>
#include <QLinearGradient>
#include <QPainter>

#include <xcb/xproto.h>

using PhoneGeometry::ScreenHeight;
using PhoneGeometry::ScreenWidth;
using PhoneGeometry::StatusHeight;

PhoneScreen::PhoneScreen(QWidget *parent)
    : QWidget(parent), surface(new VideoSurface(this)), blank(new QWidget(this)),
      darkCover(new QWidget(this))
{
    setObjectName(QStringLiteral("PhoneScreen"));
    setWindowTitle(QStringLiteral("Movara"));
    setFixedSize(ScreenWidth, ScreenHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);

    surface->setGeometry(0, 0, ScreenWidth, ScreenHeight);
    surface->hide();

    blank->setGeometry(0, 0, ScreenWidth, ScreenHeight);
    blank->setAutoFillBackground(true);
    QPalette black = blank->palette();
    black.setColor(QPalette::Window, Qt::black);
    blank->setPalette(black);
    blank->hide();

    darkCover->setObjectName(QStringLiteral("LcdDark"));
    darkCover->setGeometry(0, 0, ScreenWidth, ScreenHeight);
    if (!BoardDisplay::drawsOnFramebuffer())
        darkCover->setAttribute(Qt::WA_NativeWindow); // covers the video surface as well
    darkCover->setAutoFillBackground(true);
    darkCover->setPalette(black);
    darkCover->hide();

    LcdSleepTimer *sleep = LcdSleepTimer::instance();
    connect(sleep, &LcdSleepTimer::darkChanged, this, &PhoneScreen::setDark);
    setDark(sleep->isDark());
}

PhoneScreen *PhoneScreen::of(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *screen = qobject_cast<PhoneScreen *>(const_cast<QWidget *>(w)))
            return screen;
    }
    return nullptr;
}

void PhoneScreen::setFrame(QWidget *frame)
{
    if (!frame || frame == hosted)
        return;
    const bool shown = !frame->isHidden();
    hosted = frame;
    hostedObject = frame;
    if (frame->parentWidget() != this)
        frame->setParent(this);
    placeFrame(frame->windowState() & Qt::WindowFullScreen);
    frame->setVisible(shown);
    if (!windowTitle().isEmpty() && !frame->windowTitle().isEmpty())
        setWindowTitle(frame->windowTitle());
    darkCover->raise();
}

void PhoneScreen::placeFrame(bool fullScreen)
{
    if (!hosted)
        return;
    if (fullScreen)
        hosted->setGeometry(0, 0, ScreenWidth, ScreenHeight);
    else
        hosted->setGeometry(0, StatusHeight, ScreenWidth, PhoneGeometry::NormalFrameHeight);
}

void PhoneScreen::setVideoMode(bool on)
{
    if (on == videoMode())
        return;
    // The surface's window has no background of its own: until the engine draws
    // (never, for sound alone) it shows what the screen last put there. That is
    // black, so a picture starts on a clean screen and a smaller one has black edges.
    blank->setVisible(on);
    if (on) {
        blank->raise();
        if (isVisible())
            repaint();
    }
    surface->setVisible(on);
    if (on)
        surface->raise();
    darkCover->raise();
}

bool PhoneScreen::videoMode() const
{
    return !surface->isHidden();
}

WId PhoneScreen::videoWinId()
{
    return surface->winId();
}

QWidget *PhoneScreen::videoSurface() const
{
    return surface;
}

bool PhoneScreen::isDark() const
{
    return !darkCover->isHidden();
}

void PhoneScreen::setDark(bool dark)
{
    darkCover->setVisible(dark);
    if (dark)
        darkCover->raise();
}

void PhoneScreen::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    if (event->removed() && deleteWithFrame && event->child() == hostedObject)
        deleteLater();
}

// The display's window destroyed under the program (not closed through a
// window manager) leaves nothing to show or take keys: the screen closes as
// if it had been asked to, and the program ends with its last window.
bool PhoneScreen::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (eventType == "xcb_generic_event_t") {
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == winId()) {
            // Later: the toolkit is still handling this event for the window.
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        }
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void PhoneScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // The status area: signal strength on the left, battery on the right.
    QLinearGradient shade(0, 0, 0, StatusHeight);
    shade.setColorAt(0, QColor(0x30, 0x30, 0x30));
    shade.setColorAt(1, QColor(0x08, 0x08, 0x08));
    painter.fillRect(0, 0, ScreenWidth, StatusHeight, shade);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x9c, 0xd6, 0x4c));
    for (int bar = 0; bar < 5; ++bar)
        painter.drawRect(8 + bar * 6, 26 - bar * 4, 4, 6 + bar * 4);
    painter.setPen(QColor(0xd0, 0xd0, 0xd0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(ScreenWidth - 36, 14, 24, 14);
    painter.fillRect(ScreenWidth - 12, 18, 3, 6, QColor(0xd0, 0xd0, 0xd0));
    painter.fillRect(ScreenWidth - 34, 16, 17, 11, QColor(0x9c, 0xd6, 0x4c));
}
