#pragma once

#include <QApplication>

class QWidget;

// The phone's application object. On a desktop it gives the phone's screen
// the keys no keyboard has and shows the main frame as the phone's display.
class ZApplication : public QApplication
{
    Q_OBJECT

public:
    enum Type { Tty, GuiClient, GuiServer };

    ZApplication(int &argc, char **argv, Type type = GuiClient);

    // Shows the frame on the phone's screen and tells child processes which
    // native window video goes to (MOVARA_SCREEN_WID, decimal).
    static void showMainWidget(QWidget *frame);

    Type type() const { return appType; }

protected:
    Type appType;
};
