#pragma once

// The phone's own system settings, which the phone applies at power-on
// whatever application runs.

// The display's sleep time in seconds from the system configuration file's
// "LcdSleepTime = <index>" line, or 0 when the file or a valid line is missing.
int systemLcdSleepTime(const char *configPath = "/ezx_user/download/appwrite/setup/ezx_system.cfg");

// How long one second of the display's sleep time lasts, in milliseconds:
// 1000, or MOVARA_LCD_SECOND_MS (1 to 1000) for tests that cannot wait minutes.
int lcdSecondLength();
