#include "platform/zapplication.h"

#include "platform/boarddisplay.h"
#include "platform/lcdsleeptimer.h"
#include "platform/phonekeytranslator.h"
#include "platform/phonescreen.h"

ZApplication::ZApplication(int &argc, char **argv, Type type)
    : QApplication(argc, argv), appType(type)
{
    installEventFilter(new PhoneKeyTranslator(this));
    LcdSleepTimer::instance();
}

void ZApplication::showMainWidget(QWidget *frame)
{
    if (!frame)
        return;
    PhoneScreen *screen = PhoneScreen::of(frame);
    if (!screen) {
        screen = new PhoneScreen;
        screen->setAttribute(Qt::WA_DeleteOnClose);
        screen->setFrame(frame);
    }
    if (screen->frame() != frame && !screen->frame())
        screen->setFrame(frame);
    if (!frame->windowTitle().isEmpty())
        screen->setWindowTitle(frame->windowTitle());
    frame->show();
    screen->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        screen->raise();
    screen->activateWindow();
    if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != screen)
        frame->setFocus(Qt::ActiveWindowFocusReason);
    if (!BoardDisplay::drawsOnFramebuffer())
        qputenv("MOVARA_SCREEN_WID", QByteArray::number(quint64(screen->videoWinId())));
}
