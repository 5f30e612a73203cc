#pragma once

#include <optional>

// The phone's own system settings, which the phone applies at power-on
// whatever application runs, and which applications read as well.

// The phone's system configuration file; nothing on the phone writes it but
// the phone's settings.
inline constexpr char systemConfigPath[] = "/ezx_user/download/appwrite/setup/ezx_system.cfg";

// What the system configuration file sets; what it does not set is missing.
struct SystemConfiguration
{
    std::optional<int> brightness;
    // In seconds: the file stores an index into the phone's table of sleep times.
    std::optional<int> lcdSleepTime;
};

// Reads the file's lines "<word> = <number>". A line that contains
// "Brightness = " sets the brightness; otherwise one that contains
// "LcdSleepTime = " sets the sleep time by an index from 0 to 3, and an index
// outside the table leaves it as it was. Of two such lines the later wins.
SystemConfiguration readSystemConfiguration(const char *configPath = systemConfigPath);

// The display's configured sleep time in seconds, or 0 when the file or a
// valid line is missing.
int systemLcdSleepTime(const char *configPath = systemConfigPath);

// How long one second of the display's sleep time lasts, in milliseconds:
// 1000, or MOVARA_LCD_SECOND_MS (1 to 1000) for tests that cannot wait minutes.
int lcdSecondLength();
