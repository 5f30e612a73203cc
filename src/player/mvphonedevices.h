#pragma once

#include <QObject>

class MvPlayerControl;

// The phone's device requests that go with playback: the mixer's output
// route and gain as playback is set up, the display kept lit while a video
// plays and given back its configured sleep time and backlight after audio,
// at each engine's end and when playback goes.
class MvPhoneDevices : public QObject
{
    Q_OBJECT

public:
    // Routes the mixer's output at once, then follows `control`.
    MvPhoneDevices(const MvPlayerControl *control, QObject *parent = nullptr);
    ~MvPhoneDevices() override;

    // Sets the output route and, unless 0, the output gain on the phone's
    // OSS mixer; the result of closing it, or -1.
    static int routeMixerOutput(int gain);
};
