#pragma once

#include "platform/phonegeometry.h"
#include "platform/util_cst.h"
#include "platform/zmainwidget.h"
#include "widgets/fromutf8text.h"
#include "widgets/mvobject.h"

// Wraps the platform's window frame: remembers its title bar, content area,
// soft-key bar and one client widget kept to the content area's size, and
// lays them out for the 240 x 320 display in a normal and a full-screen form.
class MvMainWidget : public MvObject
{
    Q_OBJECT

public:
    explicit MvMainWidget(const char *name = nullptr);
    MvMainWidget(QWidget *parent, const char *name);
    MvMainWidget(bool flag, QWidget *parent, const char *name);
    ~MvMainWidget() override;

    bool keyPressEvent(QKeyEvent *event) override;
    bool keyReleaseEvent(QKeyEvent *event) override;

    virtual void show();
    virtual void hide();
    virtual void showNormal();
    virtual void showFullScreen();
    virtual bool setFullScreenMode(bool noTitleBar, bool noSoftKeys);
    virtual QWidget *getTitleBarWidget();
    virtual bool setTitleBarWidget(QWidget *widget);
    virtual QWidget *getContentWidget(bool create);
    virtual bool setContentWidget(QWidget *widget);
    virtual UTIL_CST *getCSTWidget(bool create);
    virtual bool setCSTWidget(UTIL_CST *bar);
    virtual void showFullScreenLayout(bool withTitleBar, bool withSoftKeys);
    virtual void showNormalLayout(bool withTitleBar, bool withSoftKeys);
    virtual void setupWidget() {}
    virtual void setupCST() {}
    virtual void setupTitleBar() {}
    virtual bool setupContent() { return true; }

    void setClientWidget(QWidget *widget);
    void showTitleBar(bool on);
    void showCST(bool on);

    // Read by the window and by start-up.
    ZMainWidget *mainWidget = nullptr;
    UTIL_CST *cst = nullptr;
    QWidget *titleBar = nullptr;
    QWidget *contentWidget = nullptr;
    QWidget *clientWidget = nullptr;

protected:
    void createFrame(const QString &title, bool flag, QWidget *parent, const char *name);
    void applyLayout(int height, int softKeysY, bool withTitleBar, bool withSoftKeys);
    bool handleKey(QKeyEvent *event);

    int clientWidth = PhoneGeometry::ScreenWidth;
    // The normal layout's, with both bars shown.
    int clientHeight = PhoneGeometry::NormalFrameHeight - PhoneGeometry::TitleBarHeight -
                       PhoneGeometry::SoftKeyReserve;
};
