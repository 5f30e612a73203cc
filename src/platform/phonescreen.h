#pragma once

#include <QPointer>
#include <QWidget>

class VideoSurface;

// The phone's 240 x 320 display in a window of its own. It hosts one frame,
// a status area above a frame in its normal layout, the surface the engine
// draws video on, and the dark cover of a sleeping display.
class PhoneScreen : public QWidget
{
    Q_OBJECT

public:
    explicit PhoneScreen(QWidget *parent = nullptr);

    // The screen a widget is shown on, or null.
    static PhoneScreen *of(const QWidget *widget);

    void setFrame(QWidget *frame);
    QWidget *frame() const { return hosted; }
    // The screen goes away with its frame when it was made for that frame.
    void setDeleteWithFrame(bool on) { deleteWithFrame = on; }

    // Full screen: the frame covers the whole display, else it sits below the status area.
    void placeFrame(bool fullScreen);
    // While the frame shows nothing of its own, the video surface is on top.
    void setVideoMode(bool on);
    bool videoMode() const;
    WId videoWinId();
    QWidget *videoSurface() const;

    bool isDark() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void childEvent(QChildEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

    void setDark(bool dark);

    VideoSurface *surface;
    QWidget *blank; // black under the surface while it is up
    QWidget *darkCover;
    QPointer<QWidget> hosted;
    QObject *hostedObject = nullptr; // compared only: a frame being deleted is no longer guarded
    bool deleteWithFrame = false;
};
