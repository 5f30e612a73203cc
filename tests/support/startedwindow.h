#pragma once

#include "platform/phonescreen.h"
#include "platform/zmainwidget.h"
#include "ui/movara.h"

#include <QTest>

// Starts the window as the program does and waits until its phone screen is
// the active window, which takes the keys; the screen, or null.
inline PhoneScreen *startWindow(Movara &window)
{
    window.start();
    PhoneScreen *screen = PhoneScreen::of(window.mainWidget);
    return screen && QTest::qWaitForWindowActive(screen) ? screen : nullptr;
}
