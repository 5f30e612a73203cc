#include "app/mvapplication.h"

#include "app/startup.h"
#include "core/mvsharepixmap.h"
#include "core/trace.h"
#include "ui/movara.h"

#include <QTranslator>

#include <unistd.h>

MvApplication::MvApplication(int &argc, char **argv)
    : ZApplication(argc, argv, ZApplication::GuiClient)
{
}

MvApplication::~MvApplication()
{
    if (mainWindow)
        mainWindow->destroy();
    if (translator) {
        delete translator;
        translator = nullptr;
    }
    if (sharePixmap) {
        delete sharePixmap;
        sharePixmap = nullptr;
    }
    if (chdir(startupDir) != 0) {
        // Nothing to be done: the process is about to end.
    }
    traceLine("MvApplication::destroy()\n");
}
