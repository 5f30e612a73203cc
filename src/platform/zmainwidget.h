#pragma once

#include <QPointer>
#include <QWidget>

class PhoneScreen;

// The application window frame: a title bar, a content area (a QScrollView)
// and a soft-key bar at the bottom. A frame made without a parent lives on a
// phone screen of its own, so that full screen means the phone's display.
class ZMainWidget : public QWidget
{
    Q_OBJECT

public:
    // noTitleBar: a frame without a title bar area; it gives no title bar and takes none.
    ZMainWidget(const QString &title, bool noTitleBar, QWidget *parent = nullptr,
                const char *name = nullptr, Qt::WindowFlags flags = {});
    explicit ZMainWidget(bool noTitleBar = false, QWidget *parent = nullptr,
                         const char *name = nullptr, Qt::WindowFlags flags = {});

    virtual void setName(const char *name);
    QString title() const { return titleText; }

    QWidget *getTitleBarWidget() const;
    // The content area, made on request; a QScrollView unless another widget was set.
    QWidget *getContentWidget(bool create);
    QWidget *getSoftKeyWidget() const;
    bool setFullScreenMode(bool noTitleBar, bool noSoftKeys);

    virtual bool setTitleBarWidget(QWidget *widget);
    virtual bool setContentWidget(QWidget *widget);
    virtual bool setSoftKeyWidget(QWidget *widget);

    PhoneScreen *phoneScreen() const;

protected:
    void changeEvent(QEvent *event) override;
    void childEvent(QChildEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    void init(const QString &title, bool noTitleBar, const char *name);
    void take(QWidget *widget);
    void arrange();
    void updateVideoMode();
    bool showsOwnWidget() const;
    bool isFullScreenState() const { return windowState() & Qt::WindowFullScreen; }

    QString titleText;
    bool withTitleArea = true;
    bool fullScreenNoTitleBar = false;
    bool fullScreenNoSoftKeys = false;
    bool placing = false;
    QPointer<QWidget> titleBar;
    QPointer<QWidget> content;
    QPointer<QWidget> softKeys;
};
