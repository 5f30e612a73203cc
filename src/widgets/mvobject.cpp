#include "widgets/mvobject.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>

namespace {
// The toolkit's event numbers; the filter switches on these exact values.
enum EventCode {
    MouseButtonPress = 2,
    MouseButtonRelease = 3,
    MouseMove = 5,
    KeyPress = 6,
    KeyRelease = 7,
    FocusIn = 8,
    FocusOut = 9,
    Paint = 12,
    Resize = 14,
    WindowActivate = 24,
    WindowDeactivate = 25,
};
} // namespace

MvObject::MvObject(const char *name)
{
    setObjectName(QString::fromLatin1(name));
}

MvObject::MvObject(QObject *parent, const char *name) : QObject(parent), watched(parent)
{
    setObjectName(QString::fromLatin1(name));
}

MvObject::~MvObject()
{
    setFiltering(false);
}

void MvObject::setWatched(QObject *object)
{
    watched = object;
    if (filtering && watched)
        watched->installEventFilter(this);
}

void MvObject::setFiltering(bool on)
{
    filtering = on;
    if (!watched)
        return;
    if (on)
        watched->installEventFilter(this);
    else
        watched->removeEventFilter(this);
}

bool MvObject::eventFilter(QObject *object, QEvent *event)
{
    bool consumed = false;
    switch (static_cast<int>(event->type())) {
    case MouseButtonPress:
        consumed = mousePressEvent(static_cast<QMouseEvent *>(event));
        break;
    case MouseButtonRelease:
        consumed = mouseReleaseEvent(static_cast<QMouseEvent *>(event));
        break;
    case MouseMove:
        consumed = mouseMoveEvent(static_cast<QMouseEvent *>(event));
        break;
    case KeyPress:
        consumed = keyPressEvent(static_cast<QKeyEvent *>(event));
        break;
    case KeyRelease:
        consumed = keyReleaseEvent(static_cast<QKeyEvent *>(event));
        break;
    case FocusIn:
        consumed = focusInEvent(static_cast<QFocusEvent *>(event));
        break;
    case FocusOut:
        consumed = focusOutEvent(static_cast<QFocusEvent *>(event));
        break;
    case Paint:
        consumed = paintEvent(static_cast<QPaintEvent *>(event));
        break;
    case Resize:
        consumed = resizeEvent(static_cast<QResizeEvent *>(event));
        break;
    case WindowActivate:
        consumed = windowActivateEvent(event);
        break;
    case WindowDeactivate:
        consumed = windowDeactivateEvent(event);
        break;
    default:
        break;
    }
    if (consumed)
        return true;
    // The object keeps whatever filtering of its own it does.
    return object->eventFilter(object, event);
}
