#pragma once

#include "platform/zapplication.h"

class Movara;
class QTranslator;

// The application object: owns the translator, refers to the window and
// undoes start-up in a fixed order when it goes.
class MvApplication : public ZApplication
{
    Q_OBJECT

public:
    MvApplication(int &argc, char **argv);
    ~MvApplication() override;

    QTranslator *translator = nullptr;
    Movara *mainWindow = nullptr;
};
