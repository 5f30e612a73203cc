#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Stops playing after a set time, or at the end of the medium playing. It
// goes off once it has fired. MOVARA_SLEEP_SECOND_MS (1 to 1000) shortens
// its second for tests.
class MvSleepTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int EndOfFile = -1;

    explicit MvSleepTimer(QObject *parent = nullptr);

    // 0 turns it off; EndOfFile waits for the medium's end.
    void setMinutes(int minutes);
    int minutes() const { return setting; }
    bool isActive() const { return setting != 0; }
    bool stopsAtEnd() const { return setting == EndOfFile; }
    // Seconds left, or -1 when off or waiting for the end.
    int secondsLeft() const;
    // The medium ended: fires when waiting for it.
    bool mediumEnded();

signals:
    void fired();
    void changed();

private:
    void fire();

    int setting = 0;
    int secondMs = 1000;
    QTimer timer;
    QElapsedTimer since;
};
