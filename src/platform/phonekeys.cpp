#include "platform/phonekeys.h"

#include <QKeyEvent>

namespace {
constexpr int QtSpecialKeys = 0x01000000;
constexpr int PhoneSpecialKeys = 0x1000;
} // namespace

int phoneKeyCode(int qtKey)
{
    if (qtKey == Qt::Key_unknown)
        return PhoneKey::Key_unknown;
    if (qtKey >= QtSpecialKeys)
        return PhoneSpecialKeys + (qtKey - QtSpecialKeys);
    return qtKey;
}

int phoneKeyCode(const QKeyEvent *event)
{
    return event ? phoneKeyCode(event->key()) : 0;
}
