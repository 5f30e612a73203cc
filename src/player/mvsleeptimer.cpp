#include "player/mvsleeptimer.h"

MvSleepTimer::MvSleepTimer(QObject *parent) : QObject(parent)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MOVARA_SLEEP_SECOND_MS", &ok);
    secondMs = ok && ms >= 1 && ms <= 1000 ? ms : 1000;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &MvSleepTimer::fire);
}

void MvSleepTimer::setMinutes(int minutes)
{
    timer.stop();
    since.invalidate();
    // Nothing beyond a day: the timer's milliseconds must fit.
    setting = minutes == EndOfFile || (minutes > 0 && minutes <= 24 * 60) ? minutes : 0;
    if (setting > 0) {
        timer.start(setting * 60 * secondMs);
        since.start();
    }
    emit changed();
}

int MvSleepTimer::secondsLeft() const
{
    if (setting <= 0 || !since.isValid())
        return -1;
    const qint64 leftMs = qint64(setting) * 60 * secondMs - since.elapsed();
    return leftMs <= 0 ? 0 : int((leftMs + secondMs - 1) / secondMs);
}

bool MvSleepTimer::mediumEnded()
{
    if (!stopsAtEnd())
        return false;
    fire();
    return true;
}

void MvSleepTimer::fire()
{
    setMinutes(0);
    emit fired();
}
