#include "platform/systemsettings.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>

int systemLcdSleepTime(const char *configPath)
{
    static const int sleepTimes[] = {30, 60, 300, 600};
    QFile file(QFile::decodeName(configPath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    static const QRegularExpression setting(QStringLiteral("^\\s*LcdSleepTime = (\\d+)\\s*$"));
    int seconds = 0;
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = setting.match(QString::fromUtf8(file.readLine()));
        if (!match.hasMatch())
            continue;
        const int index = match.captured(1).toInt();
        seconds = index >= 0 && index < 4 ? sleepTimes[index] : 0;
    }
    return seconds;
}

int lcdSecondLength()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("MOVARA_LCD_SECOND_MS", &ok);
    return ok && ms >= 1 && ms <= 1000 ? ms : 1000;
}
