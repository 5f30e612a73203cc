// Renders the file browser as the phone shows it, for a look by eye.
#include "browser/mvfilebrowser.h"
#include "core/mvsharepixmap.h"
#include "platform/phonegeometry.h"
#include "platform/qlistbox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

static bool save(QWidget *screen, const QString &file)
{
    QApplication::processEvents();
    const bool ok = screen->grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    sharePixmap = new MvSharePixmap(&app);

    QWidget screen;
    screen.resize(PhoneGeometry::ScreenWidth, PhoneGeometry::ScreenHeight);
    auto *browser = new MvFileBrowser(&screen, nullptr);
    auto *list = static_cast<QListBox *>(browser->listWidget());
    list->setGeometry(0, 0, PhoneGeometry::ScreenWidth, PhoneGeometry::ScreenHeight);
    screen.show();
    bool ok = save(&screen, out + "/browser-roots.png");

    QTemporaryDir demo;
    const QString folder = demo.path() + "/Clips";
    QDir().mkpath(folder + "/Concerts");
    QDir().mkpath(folder + "/holiday 2006");
    for (const char *name : {"Intro.avi", "beach.3gp", "interview.mp4", "ringtone.mp3",
                             "song of the summer.ogg", "voice memo.wav", "zebra.wmv"}) {
        QFile file(folder + '/' + QString::fromUtf8(name));
        file.open(QIODevice::WriteOnly);
    }
    browser->depth = 1;
    browser->listDir(folder, false);
    list->setSelected(list->item(3), true);
    list->setCurrentItem(3);
    ok = save(&screen, out + "/browser-folder.png") && ok;

    const QString longFolder = demo.path() + "/Long";
    QDir().mkpath(longFolder);
    for (int i = 1; i <= 40; ++i) {
        QFile file(longFolder + QString::asprintf("/Episode %02d.mp4", i));
        file.open(QIODevice::WriteOnly);
    }
    browser->listDir(longFolder, false);
    list->setCurrentItem(25);
    ok = save(&screen, out + "/browser-scrolled.png") && ok;
    return ok ? 0 : 1;
}
