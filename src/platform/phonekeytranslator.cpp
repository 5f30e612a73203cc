#include "platform/phonekeytranslator.h"

#include "platform/phonescreen.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"
#include "platform/zpushbutton.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {
// Play/pause (F26), previous entry (F28), next entry (F29).
const QHash<int, int> &keyMap()
{
    static const QHash<int, int> map{
        {Qt::Key_Space, Qt::Key_F26},
        {Qt::Key_MediaPlay, Qt::Key_F26},
        {Qt::Key_MediaPause, Qt::Key_F26},
        {Qt::Key_MediaTogglePlayPause, Qt::Key_F26},
        {Qt::Key_MediaPrevious, Qt::Key_F28},
        {Qt::Key_P, Qt::Key_F28},
        {Qt::Key_Comma, Qt::Key_F28},
        {Qt::Key_MediaNext, Qt::Key_F29},
        {Qt::Key_N, Qt::Key_F29},
        {Qt::Key_Period, Qt::Key_F29},
    };
    return map;
}

bool isRightSoftKey(int qtKey)
{
    return qtKey == Qt::Key_Escape || qtKey == Qt::Key_Backspace;
}

bool isLeftSoftKey(int qtKey)
{
    return qtKey == Qt::Key_F1 || qtKey == Qt::Key_Menu;
}

// A soft key of the frame on the widget's screen, when it can be pressed.
ZPushButton *softKey(const QWidget *widget, bool right)
{
    PhoneScreen *screen = PhoneScreen::of(widget);
    auto *frame = screen ? qobject_cast<ZMainWidget *>(screen->frame()) : nullptr;
    auto *bar = frame ? qobject_cast<UTIL_CST *>(frame->getSoftKeyWidget()) : nullptr;
    ZPushButton *button = bar ? (right ? bar->getRightBtn() : bar->getLeftBtn()) : nullptr;
    return button && button->isVisible() && button->isEnabled() ? button : nullptr;
}
} // namespace

PhoneKeyTranslator::PhoneKeyTranslator(QObject *parent) : QObject(parent) {}

int PhoneKeyTranslator::translated(int qtKey)
{
    return keyMap().value(qtKey, qtKey);
}

bool PhoneKeyTranslator::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !PhoneScreen::of(widget))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // Shifted or controlled letters stay what they are.
    if (key->modifiers() & ~(Qt::KeypadModifier | Qt::NoModifier))
        return false;
    if (isRightSoftKey(key->key()) || isLeftSoftKey(key->key())) {
        // Without a soft-key bar (while playing) the key goes on as it is.
        ZPushButton *button = softKey(widget, isRightSoftKey(key->key()));
        if (!button)
            return false;
        // Pressed once per press: holding the key must not walk up to Exit.
        if (type == QEvent::KeyPress && !key->isAutoRepeat())
            button->click();
        key->accept();
        return true;
    }
    const int phoneKey = translated(key->key());
    if (phoneKey == key->key())
        return false;
    QKeyEvent mapped(type, phoneKey, key->modifiers(), QString(), key->isAutoRepeat(),
                     ushort(key->count()));
    QCoreApplication::sendEvent(widget, &mapped);
    key->setAccepted(mapped.isAccepted());
    return true;
}
