#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a normal quit: the event loop ends
// with the status a shell reports for the signal (128 + its number), so the
// usual teardown runs and the engine goes with the program. The handler only
// writes the signal's number to a socket; the GUI thread reads it.
class MvQuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit MvQuitSignals(QObject *parent = nullptr);
    ~MvQuitSignals() override;

private:
    static void handle(int signal);
    void readSignals();

    QSocketNotifier *notifier = nullptr;
};
