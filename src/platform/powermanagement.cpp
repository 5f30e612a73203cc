#include "platform/powermanagement.h"

#include <utility>

extern "C" {
__attribute__((visibility("default"), used)) char isSuspend = 0;
}

namespace {
int lastSleepTime = -1;
std::function<void(int)> sleepTimeListener;
} // namespace

int PM_setupLcdSleepTime(int seconds)
{
    lastSleepTime = seconds;
    if (sleepTimeListener)
        sleepTimeListener(seconds);
    return 0;
}

int PM_lcdSleepTime()
{
    return lastSleepTime;
}

void PM_setLcdSleepTimeListener(std::function<void(int)> listener)
{
    sleepTimeListener = std::move(listener);
}
