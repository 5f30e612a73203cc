#include "app/mvapplication.h"
#include "app/mvquitsignals.h"
#include "app/startup.h"
#include "core/mvsharepixmap.h"
#include "ui/movara.h"

#include <QFile>
#include <QFileInfo>
#include <QTranslator>

#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    MvApplication app(argc, argv);
    // Asked to end from outside, the program still tears down and ends its engine.
    new MvQuitSignals(&app);

    if (!getcwd(startupDir, sizeof startupDir))
        startupDir[0] = '\0';

    appPath = QFile::decodeName(argv[0]);
    const QFileInfo programFile(appPath);
    appBaseName = programFile.baseName();
    // A program started through a symbolic link still finds its engine and
    // translation beside the program itself.
    const QString programPath = programFile.canonicalFilePath();
    appDir =
        programPath.isEmpty() ? programFile.absolutePath() : QFileInfo(programPath).absolutePath();

    // From here on the process's argument 0 reads as the bare base name; the
    // base name is part of argv[0] and always fits. The rest of the old text
    // is cleared, or ps would show its tail after the name.
    const QByteArray baseName = QFile::encodeName(appBaseName);
    const size_t oldLength = std::strlen(argv[0]);
    if (!baseName.isNull() && size_t(baseName.size()) <= oldLength) {
        std::memcpy(argv[0], baseName.constData(), size_t(baseName.size()));
        std::memset(argv[0] + baseName.size(), 0, oldLength - size_t(baseName.size()));
    }

    // The translation and "./mplayer" are found beside the program.
    if (chdir(QFile::encodeName(appDir).constData()) != 0) {
        // Relative names then resolve against the start directory.
    }

    app.translator = new QTranslator(&app);
    (void)app.translator->load(appBaseName + QStringLiteral(".qm"), QStringLiteral("."));
    ZApplication::installTranslator(app.translator);

    if (!sharePixmap)
        sharePixmap = new MvSharePixmap(&app);

    app.mainWindow = new Movara("Movara");
    app.mainWindow->start();

    return app.exec();
}
