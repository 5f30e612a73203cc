#pragma once

#include <functional>

// The phone's power-management library: how long the display stays lit
// without input, in seconds (0 keeps it lit).
int PM_setupLcdSleepTime(int seconds);

// The value last given to PM_setupLcdSleepTime, -1 before the first call.
int PM_lcdSleepTime();

// Called with every new sleep time; the phone's screen uses it to dim.
void PM_setLcdSleepTimeListener(std::function<void(int)> listener);

// One byte the platform's libraries look up by name in the program.
extern "C" char isSuspend;
