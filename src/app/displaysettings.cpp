#include "app/displaysettings.h"
#include "app/displaysettingsseam.h"

#include "platform/powermanagement.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
const char systemConfigPath[] = "/ezx_user/download/appwrite/setup/ezx_system.cfg";

// Frame-buffer and keypad-light driver requests.
const unsigned long FBIO_SET_BRIGHTNESS = 0x461b;
const unsigned long FBIO_SET_BACKLIGHT = 0x4619;
const unsigned long KEYLIGHT_ON = 0xf0;
const unsigned long KEYLIGHT_OFF = 0xf2;

// The file stores an index; the program uses the seconds.
const int lcdSleepTimes[] = {30, 60, 300, 600};
} // namespace

static std::string configPath = systemConfigPath;
static bool displaySettingsLoaded = false;
static int configBrightness = 25;
static int configLcdSleepTime = 30;
static bool backlightOn = false;
static int currentBrightness = 25;

// "<word> = <number>"; the word goes into a 512-byte buffer and is not used.
static bool parseSetting(const char *line, int *value)
{
    char word[512];
    return std::sscanf(line, "%511s = %d", word, value) == 2;
}

static void loadDisplaySettings()
{
    backlightOn = false;
    configBrightness = 25;
    configLcdSleepTime = 30;

    if (std::FILE *file = std::fopen(configPath.c_str(), "r")) {
        char *line = nullptr;
        size_t capacity = 0;
        while (getline(&line, &capacity, file) != -1) {
            int value = 0;
            if (std::strstr(line, "Brightness = ")) {
                if (parseSetting(line, &value))
                    configBrightness = value;
            } else if (std::strstr(line, "LcdSleepTime = ")) {
                // An index outside the table keeps the sleep time as it was.
                if (parseSetting(line, &value) && value >= 0 && value <= 3)
                    configLcdSleepTime = lcdSleepTimes[value];
            }
        }
        std::free(line);
        std::fclose(file);
    }

    currentBrightness = configBrightness;
    displaySettingsLoaded = true;
}

static void ensureLoaded()
{
    if (!displaySettingsLoaded)
        loadDisplaySettings();
}

void resetDisplaySettingsForTest(const char *path)
{
    configPath = path ? path : systemConfigPath;
    displaySettingsLoaded = false;
}

void setVideoDisplay(bool on)
{
    ensureLoaded();
    if (on == backlightOn)
        return;
    PM_setupLcdSleepTime(on ? 0 : configLcdSleepTime);
    setBacklight(true, configBrightness);
}

void restoreDisplay()
{
    ensureLoaded();
    PM_setupLcdSleepTime(configLcdSleepTime);
    setBacklight(true, configBrightness);
}

void setBacklight(bool on, int brightness)
{
    ensureLoaded();
    const int fd = ::open("/dev/fb0", O_RDWR);
    if (fd < 0)
        return;
    if (on != backlightOn || brightness != currentBrightness) {
        if (brightness != currentBrightness)
            ::ioctl(fd, FBIO_SET_BRIGHTNESS, brightness);
        if (on != backlightOn)
            ::ioctl(fd, FBIO_SET_BACKLIGHT, on ? 1 : 0);
        currentBrightness = brightness;
        backlightOn = on;
    }
    ::close(fd);
    setKeypadLight(on);
}

void setKeypadLight(bool on)
{
    ensureLoaded();
    const int fd = ::open("/dev/keylight", O_RDWR);
    if (fd < 0)
        return;
    ::ioctl(fd, on ? KEYLIGHT_ON : KEYLIGHT_OFF, 0);
    ::close(fd);
}
