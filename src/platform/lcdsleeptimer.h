#pragma once

#include <QObject>
#include <QTimer>

// Darkens the phone's display after the power-management sleep time without
// input and lights it again on the next input, which is swallowed: a touch or
// key that wakes the phone does nothing else.
class LcdSleepTimer : public QObject
{
    Q_OBJECT

public:
    // The one timer of the application, made on first use.
    static LcdSleepTimer *instance();

    void setSleepTime(int seconds);
    int sleepTime() const { return seconds; }
    bool isDark() const { return dark; }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void darkChanged(bool dark);

protected:
    explicit LcdSleepTimer(QObject *parent);
    ~LcdSleepTimer() override;

    void restart();
    void setDark(bool on);

    QTimer idle;
    int seconds = 0;
    bool dark = false;
};
