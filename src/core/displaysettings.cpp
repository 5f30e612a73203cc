#include "core/displaysettings.h"
#include "core/displaysettingsseam.h"

#include "platform/boarddisplay.h"
#include "platform/boardpaths.h"
#include "platform/powermanagement.h"
#include "platform/systemsettings.h"

#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// Frame-buffer and keypad-light driver requests.
const unsigned long FBIO_SET_BRIGHTNESS = 0x461b;
const unsigned long FBIO_SET_BACKLIGHT = 0x4619;
const unsigned long KEYLIGHT_ON = 0xf0;
const unsigned long KEYLIGHT_OFF = 0xf2;
} // namespace

static std::string configPath = systemConfigPath;
static bool displaySettingsLoaded = false;
static int configBrightness = 25;
static int configLcdSleepTime = 30;
static bool backlightOn = false;
static int currentBrightness = 25;

static void loadDisplaySettings()
{
    backlightOn = false;
    const SystemConfiguration config = readSystemConfiguration(configPath.c_str());
    configBrightness = config.brightness.value_or(25);
    configLcdSleepTime = config.lcdSleepTime.value_or(30);
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
    if (onBoard()) {
        // A board's framebuffer knows nothing of the phone's requests: its own
        // backlight takes the brightness, and it has no keypad light.
        if (on != backlightOn || brightness != currentBrightness) {
            if (on)
                BoardDisplay::setBrightness(brightness);
            else
                BoardDisplay::setBlank(true);
            currentBrightness = brightness;
            backlightOn = on;
        }
        return;
    }
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
