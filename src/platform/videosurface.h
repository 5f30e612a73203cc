#pragma once

#include <QWidget>

// The area of the phone's screen where the engine draws video into its own
// X window: a native window that Qt never paints or flushes over.
class VideoSurface : public QWidget
{
    Q_OBJECT

public:
    explicit VideoSurface(QWidget *parent);

    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent *) override {}
};
