// Renders the phone's screen with a main frame in its normal and full-screen
// layouts to PNG files, so the look can be checked without a display.
//   phoneshot [output-directory]

#include "core/trace.h"
#include "platform/phonescreen.h"
#include "platform/qscrollview.h"
#include "platform/util_cst.h"
#include "platform/zapplication.h"
#include "platform/zmainwidget.h"
#include "platform/zpushbutton.h"
#include "widgets/mvmainwidget.h"

#include <QDir>
#include <QListWidget>
#include <QPixmap>

namespace {
bool save(PhoneScreen *screen, const QString &path)
{
    const bool saved = screen->grab().save(path, "PNG");
    traceLine("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ZApplication app(argc, argv, ZApplication::GuiClient);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    MvMainWidget window("Movara");
    window.show();
    UTIL_CST *softKeys = window.getCSTWidget(true);
    softKeys->getLeftBtn()->setResourceID(QStringLiteral("CST_Menu"));
    softKeys->getMidBtn()->setText(QStringLiteral("Main Page"));
    softKeys->getRightBtn()->setResourceID(QStringLiteral("CST_Exit"));
    window.getTitleBarWidget();
    auto *view = static_cast<QScrollView *>(window.getContentWidget(true));

    auto *list = new QListWidget(view);
    list->setFrameShape(QFrame::NoFrame);
    for (const char *entry :
         {"MyPhotos", "MyRingTone", "MyPlaylist", "Memory card", "holiday.avi", "song.mp3"})
        list->addItem(QString::fromLatin1(entry));
    list->setCurrentRow(0);
    window.setClientWidget(list);
    view->addChild(list, 0, 0);
    list->show();

    ZApplication::showMainWidget(window.mainWidget);
    window.showNormalLayout(true, true);
    const bool normal = save(PhoneScreen::of(window.mainWidget), out.filePath("phone-normal.png"));
    window.showFullScreenLayout(true, true);
    const bool full =
        save(PhoneScreen::of(window.mainWidget), out.filePath("phone-fullscreen.png"));
    return normal && full ? 0 : 1;
}
