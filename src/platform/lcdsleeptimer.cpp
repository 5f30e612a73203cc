#include "platform/lcdsleeptimer.h"

#include "platform/boarddisplay.h"
#include "platform/boardpaths.h"
#include "platform/powermanagement.h"
#include "platform/systemsettings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace {
QPointer<LcdSleepTimer> theTimer;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool wakes(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::MouseButtonPress ||
           type == QEvent::TouchBegin || type == QEvent::Wheel;
}
} // namespace

LcdSleepTimer *LcdSleepTimer::instance()
{
    if (!theTimer)
        theTimer = new LcdSleepTimer(QCoreApplication::instance());
    return theTimer;
}

LcdSleepTimer::LcdSleepTimer(QObject *parent) : QObject(parent)
{
    idle.setSingleShot(true);
    connect(&idle, &QTimer::timeout, this, [this] { setDark(true); });
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    PM_setLcdSleepTimeListener([](int s) {
        if (theTimer)
            theTimer->setSleepTime(s);
    });
    // Until an application sets its own, the phone's configured sleep time holds.
    if (PM_lcdSleepTime() < 0) {
        if (const int configured = systemLcdSleepTime())
            PM_setupLcdSleepTime(configured);
    }
    setSleepTime(PM_lcdSleepTime());
}

LcdSleepTimer::~LcdSleepTimer()
{
    PM_setLcdSleepTimeListener(nullptr);
}

void LcdSleepTimer::setSleepTime(int s)
{
    seconds = s > 0 ? s : 0;
    // A new setting counts as activity: the display is lit and the count starts over.
    setDark(false);
    restart();
}

void LcdSleepTimer::restart()
{
    if (seconds > 0)
        idle.start(seconds * lcdSecondLength());
    else
        idle.stop();
}

void LcdSleepTimer::setDark(bool on)
{
    if (on == dark)
        return;
    dark = on;
    // A board's panel goes dark for real; the phone's screen is darkened by its window.
    if (onBoard())
        BoardDisplay::setBlank(dark);
    emit darkChanged(dark);
}

// Sees every event of the application: all but input leave at the first test.
bool LcdSleepTimer::eventFilter(QObject *, QEvent *event)
{
    if (!isInput(event->type()))
        return false;
    if (dark && wakes(event->type())) {
        setDark(false);
        restart();
        return true;
    }
    restart();
    return false;
}
