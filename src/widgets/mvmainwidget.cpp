#include "widgets/mvmainwidget.h"

#include "platform/phonegeometry.h"
#include "platform/phonekeys.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"

#include <QKeyEvent>

namespace {
// Frame heights of the two layouts; the soft-key bar sits at the frame's bottom.
constexpr int FullScreenHeight = PhoneGeometry::ScreenHeight;
constexpr int NormalHeight = PhoneGeometry::NormalFrameHeight;
constexpr int FullScreenSoftKeyY = FullScreenHeight - PhoneGeometry::SoftKeyBarHeight;
constexpr int NormalSoftKeyY = NormalHeight - PhoneGeometry::SoftKeyBarHeight;
} // namespace

MvMainWidget::MvMainWidget(const char *name) : MvObject(nullptr, name)
{
    createFrame(fromUtf8Text(name), false, nullptr, nullptr);
    mainWidget->setName(fromUtf8Text(name).toLatin1().constData());
    setWatched(mainWidget);
}

MvMainWidget::MvMainWidget(QWidget *parent, const char *name) : MvObject(parent, name)
{
    createFrame(QString(), false, parent, name);
    mainWidget->setName(fromUtf8Text(name).toLatin1().constData());
    setWatched(mainWidget);
}

MvMainWidget::MvMainWidget(bool flag, QWidget *parent, const char *name) : MvObject(parent, name)
{
    createFrame(QString(), flag, parent, name);
    mainWidget->setName(fromUtf8Text(name).toLatin1().constData());
    setWatched(mainWidget);
}

void MvMainWidget::createFrame(const QString &title, bool flag, QWidget *parent, const char *name)
{
    const QByteArray frameName = fromUtf8Text(name).toLatin1();
    if (title.isNull())
        mainWidget = new ZMainWidget(flag, parent, name ? frameName.constData() : nullptr);
    else
        mainWidget = new ZMainWidget(title, flag, parent, nullptr);
}

MvMainWidget::~MvMainWidget()
{
    setFiltering(false);
    // The frame takes its title bar, content area and soft-key bar with it.
    delete mainWidget;
    mainWidget = nullptr;
}

bool MvMainWidget::handleKey(QKeyEvent *event)
{
    event->setAccepted(mainWidget && mainWidget->isActiveWindow());
    // F2 goes on to the frame; every other key stops here.
    return phoneKeyCode(event) != PhoneKey::Key_F2;
}

bool MvMainWidget::keyPressEvent(QKeyEvent *event)
{
    return handleKey(event);
}

bool MvMainWidget::keyReleaseEvent(QKeyEvent *event)
{
    return handleKey(event);
}

void MvMainWidget::show()
{
    if (mainWidget)
        mainWidget->show();
}

void MvMainWidget::hide()
{
    if (mainWidget)
        mainWidget->hide();
}

void MvMainWidget::showNormal()
{
    if (mainWidget)
        mainWidget->showNormal();
}

void MvMainWidget::showFullScreen()
{
    if (mainWidget)
        mainWidget->QWidget::showFullScreen();
}

bool MvMainWidget::setFullScreenMode(bool noTitleBar, bool noSoftKeys)
{
    return mainWidget && mainWidget->setFullScreenMode(noTitleBar, noSoftKeys);
}

QWidget *MvMainWidget::getTitleBarWidget()
{
    titleBar = mainWidget ? mainWidget->getTitleBarWidget() : nullptr;
    return titleBar;
}

bool MvMainWidget::setTitleBarWidget(QWidget *widget)
{
    const bool taken = mainWidget && mainWidget->setTitleBarWidget(widget);
    if (taken && widget != titleBar)
        titleBar = widget;
    return taken;
}

QWidget *MvMainWidget::getContentWidget(bool create)
{
    if (!contentWidget && create && mainWidget)
        contentWidget = mainWidget->getContentWidget(true);
    return contentWidget;
}

bool MvMainWidget::setContentWidget(QWidget *widget)
{
    const bool taken = mainWidget && mainWidget->setContentWidget(widget);
    if (taken && widget != contentWidget)
        contentWidget = widget;
    return taken;
}

UTIL_CST *MvMainWidget::getCSTWidget(bool create)
{
    if (!create || cst || !mainWidget)
        return cst;
    cst = new UTIL_CST(mainWidget, fromUtf8Text(""), QStringLiteral("CST_Menu"),
                       QStringLiteral("CST_Exit"));
    mainWidget->setSoftKeyWidget(cst);
    return cst;
}

bool MvMainWidget::setCSTWidget(UTIL_CST *bar)
{
    const bool taken = mainWidget && mainWidget->setSoftKeyWidget(bar);
    if (taken && bar != cst)
        cst = bar;
    return taken;
}

void MvMainWidget::showFullScreenLayout(bool withTitleBar, bool withSoftKeys)
{
    showFullScreen();
    setFullScreenMode(!withTitleBar, !withSoftKeys);
    applyLayout(FullScreenHeight, FullScreenSoftKeyY, withTitleBar, withSoftKeys);
}

void MvMainWidget::showNormalLayout(bool withTitleBar, bool withSoftKeys)
{
    showNormal();
    setFullScreenMode(!withTitleBar, !withSoftKeys);
    applyLayout(NormalHeight, NormalSoftKeyY, withTitleBar, withSoftKeys);
}

void MvMainWidget::applyLayout(int height, int softKeysY, bool withTitleBar, bool withSoftKeys)
{
    showTitleBar(withTitleBar);
    showCST(withSoftKeys);
    clientHeight = withTitleBar ? height - PhoneGeometry::TitleBarHeight : height;
    if (withSoftKeys) {
        if (cst)
            cst->move(0, softKeysY);
        clientHeight -= PhoneGeometry::SoftKeyReserve;
    }
    if (contentWidget)
        contentWidget->resize(clientWidth, clientHeight);
    if (clientWidget)
        clientWidget->resize(clientWidth, clientHeight);
}

void MvMainWidget::setClientWidget(QWidget *widget)
{
    if (widget != clientWidget)
        clientWidget = widget;
    if (clientWidget)
        clientWidget->setGeometry(0, 0, clientWidth, clientHeight);
}

void MvMainWidget::showTitleBar(bool on)
{
    if (titleBar)
        titleBar->setVisible(on);
}

void MvMainWidget::showCST(bool on)
{
    if (cst)
        cst->setVisible(on);
}
