#pragma once

#include "player/mvplaybacksession.h"

#include <QObject>
#include <QPointer>
#include <QString>

class MvNotice;
class ZMainWidget;

// Where the window's notices go: in the frame, over the browser or the
// now-playing view; once the engine draws a medium's picture, a medium that
// cannot play is told over the picture, in a window of its own the picture
// cannot cover. A notice up moves with the picture's start and end.
// Its texts are translated as the window's, under "Movara".
class MvNoticePlacement : public QObject
{
    Q_OBJECT

public:
    // The frame's notice is a child of `frame`.
    MvNoticePlacement(ZMainWidget *frame, QObject *parent);

    MvNotice *inFrame() const { return notice; }
    bool isPictureDrawn() const { return pictureDrawn; }

    // A new medium has no picture yet: a notice over the last one's comes back.
    void newMedium();
    // The frame shows the browser again: a notice over the picture comes back.
    void backToFrame();
    void pictureStarted();

    void cannotPlay(const QString &path);
    void show(MvPlaybackSession::Notice what, const QString &name, int more);

signals:
    // A notice went up or away, or the picture started: what shows under it may change.
    void changed();

private:
    MvNotice *overPicture();
    // The notice over the picture once one is drawn, else the frame's.
    MvNotice *onTop();
    static void move(MvNotice *from, MvNotice *to);

    ZMainWidget *frame;
    MvNotice *notice;
    // The screen owns it.
    QPointer<MvNotice> pictureNotice;
    // The engine draws the current medium's picture.
    bool pictureDrawn = false;
};
