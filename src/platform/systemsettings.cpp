#include "platform/systemsettings.h"
#include "platform/boardpaths.h"
#include "platform/regularfile.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
const int lcdSleepTimes[] = {30, 60, 300, 600};

// "<word> = <number>"; the word goes into a 512-byte buffer and is not used.
bool parseSetting(const char *line, int *value)
{
    char word[512];
    return std::sscanf(line, "%511s = %d", word, value) == 2;
}
} // namespace

SystemConfiguration readSystemConfiguration(const char *configPath)
{
    SystemConfiguration config;
    const int fd = RegularFile::openForReading(boardPath(configPath).c_str());
    std::FILE *file = fd >= 0 ? ::fdopen(fd, "r") : nullptr;
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        return config;
    }
    char *line = nullptr;
    size_t capacity = 0;
    while (getline(&line, &capacity, file) != -1) {
        int value = 0;
        if (std::strstr(line, "Brightness = ")) {
            if (parseSetting(line, &value))
                config.brightness = value;
        } else if (std::strstr(line, "LcdSleepTime = ")) {
            if (parseSetting(line, &value) && value >= 0 && value <= 3)
                config.lcdSleepTime = lcdSleepTimes[value];
        }
    }
    std::free(line);
    std::fclose(file);
    return config;
}

int systemLcdSleepTime(const char *configPath)
{
    return readSystemConfiguration(configPath).lcdSleepTime.value_or(0);
}

int lcdSecondLength()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MOVARA_LCD_SECOND_MS", &ok);
    return ok && ms >= 1 && ms <= 1000 ? ms : 1000;
}
