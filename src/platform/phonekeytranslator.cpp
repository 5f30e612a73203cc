#include "platform/phonekeytranslator.h"

#include "platform/phonescreen.h"

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
    const int phoneKey = translated(key->key());
    if (phoneKey == key->key())
        return false;
    QKeyEvent mapped(type, phoneKey, key->modifiers(), QString(), key->isAutoRepeat(),
                     ushort(key->count()));
    QCoreApplication::sendEvent(widget, &mapped);
    key->setAccepted(mapped.isAccepted());
    return true;
}
