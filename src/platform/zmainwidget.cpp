#include "platform/zmainwidget.h"

#include "platform/phonegeometry.h"
#include "platform/phonescreen.h"
#include "platform/qscrollview.h"

#include <QChildEvent>
#include <QEvent>
#include <QLabel>

using PhoneGeometry::TitleBarHeight;

namespace {
QWidget *hostFor(QWidget *parent)
{
    if (parent)
        return parent;
    auto *screen = new PhoneScreen;
    screen->setDeleteWithFrame(true);
    return screen;
}

QWidget *makeTitleBar(const QString &title, QWidget *frame)
{
    auto *bar = new QLabel(title, frame);
    bar->setObjectName(QStringLiteral("TitleBar"));
    bar->setIndent(6);
    bar->setStyleSheet(QStringLiteral(
        "QLabel { color: white; font-weight: bold; border-bottom: 1px solid #0d2a5c;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6f9be0, stop:1 #1f4d9c); }"));
    return bar;
}
} // namespace

ZMainWidget::ZMainWidget(const QString &title, bool noTitleBar, QWidget *parent, const char *name,
                         Qt::WindowFlags flags)
    : QWidget(hostFor(parent), flags)
{
    init(title, noTitleBar, name);
}

ZMainWidget::ZMainWidget(bool noTitleBar, QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(hostFor(parent), flags)
{
    init(QString(), noTitleBar, name);
}

void ZMainWidget::init(const QString &title, bool noTitleBar, const char *name)
{
    setName(name);
    titleText = title;
    setWindowTitle(title);
    withTitleArea = !noTitleBar;
    // When nothing inside the frame takes keys, the frame keeps them; a tap on
    // the frame or its bars never takes them from the list inside.
    setFocusPolicy(Qt::TabFocus);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(0xf4, 0xf6, 0xfa));
    setPalette(look);
    resize(PhoneGeometry::ScreenWidth, PhoneGeometry::NormalFrameHeight);
    if (withTitleArea) {
        titleBar = makeTitleBar(title, this);
        take(titleBar);
    }
    if (PhoneScreen *screen = qobject_cast<PhoneScreen *>(parentWidget()))
        screen->setFrame(this);
    arrange();
}

void ZMainWidget::setName(const char *name)
{
    setObjectName(QString::fromLatin1(name));
}

QWidget *ZMainWidget::getTitleBarWidget() const
{
    return titleBar;
}

QWidget *ZMainWidget::getContentWidget(bool create)
{
    if (!content && create) {
        auto *view = new QScrollView(this);
        view->resize(width(), height() - TitleBarHeight - PhoneGeometry::SoftKeyReserve);
        content = view;
        take(view);
        arrange();
        view->show();
    }
    return content;
}

QWidget *ZMainWidget::getSoftKeyWidget() const
{
    return softKeys;
}

bool ZMainWidget::setFullScreenMode(bool noTitleBar, bool noSoftKeys)
{
    fullScreenNoTitleBar = noTitleBar;
    fullScreenNoSoftKeys = noSoftKeys;
    arrange();
    updateVideoMode();
    return true;
}

bool ZMainWidget::setTitleBarWidget(QWidget *widget)
{
    if (!widget || !withTitleArea)
        return false;
    if (widget != titleBar) {
        if (titleBar)
            titleBar->hide();
        titleBar = widget;
        take(widget);
        widget->show();
        arrange();
    }
    return true;
}

bool ZMainWidget::setContentWidget(QWidget *widget)
{
    if (!widget)
        return false;
    if (widget != content) {
        if (content)
            content->hide();
        content = widget;
        take(widget);
        arrange();
    }
    return true;
}

bool ZMainWidget::setSoftKeyWidget(QWidget *widget)
{
    if (!widget)
        return false;
    if (widget != softKeys) {
        if (softKeys)
            softKeys->hide();
        softKeys = widget;
        take(widget);
        arrange();
    }
    return true;
}

PhoneScreen *ZMainWidget::phoneScreen() const
{
    return qobject_cast<PhoneScreen *>(parentWidget());
}

void ZMainWidget::take(QWidget *widget)
{
    if (widget->parentWidget() != this) {
        const bool shown = !widget->isHidden();
        widget->setParent(this);
        widget->setVisible(shown);
    }
    // Showing and hiding the bars decides whether the video surface is on top.
    widget->removeEventFilter(this);
    widget->installEventFilter(this);
}

void ZMainWidget::arrange()
{
    const bool titleShown = titleBar && !(isFullScreenState() && fullScreenNoTitleBar);
    if (titleBar)
        titleBar->setGeometry(0, 0, width(), TitleBarHeight);
    if (content)
        content->move(0, titleShown ? TitleBarHeight : 0);
    if (softKeys)
        softKeys->setGeometry(0, height() - softKeys->height(), width(), softKeys->height());
}

bool ZMainWidget::showsOwnWidget() const
{
    for (QObject *child : children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && widget != content && !widget->isWindow() && !widget->isHidden())
            return true;
    }
    return false;
}

void ZMainWidget::updateVideoMode()
{
    PhoneScreen *screen = phoneScreen();
    if (!screen)
        return;
    // The engine's video is on top only while the frame shows nothing of its
    // own: no bars and no widget of its own beside the content area.
    screen->setVideoMode(isFullScreenState() && !showsOwnWidget());
}

void ZMainWidget::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
}

void ZMainWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || placing)
        return;
    if (PhoneScreen *screen = phoneScreen()) {
        // Moving a widget drops its full-screen state: place it, then keep the state.
        placing = true;
        const Qt::WindowStates wanted = windowState();
        screen->placeFrame(isFullScreenState());
        if (windowState() != wanted)
            setWindowState(wanted);
        placing = false;
    }
    updateVideoMode();
}

void ZMainWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange();
}

bool ZMainWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        if (watched != content && watched->parent() == this)
            updateVideoMode();
    }
    return QWidget::eventFilter(watched, event);
}
