#include "player/mvphonedevices.h"

#include "core/displaysettings.h"
#include "platform/boardpaths.h"
#include "player/mvplayercontrol.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// OSS mixer requests; 0xED is the platform driver's output-state value.
const unsigned long MIXER_READ_OUTPUT_STATE = 0x80044DED;
const unsigned long MIXER_WRITE_OUTSRC = 0xC0044DFA;
const unsigned long SOUND_MIXER_WRITE_OGAIN = 0xC0044D0D;
} // namespace

MvPhoneDevices::MvPhoneDevices(const MvPlayerControl *control, QObject *parent) : QObject(parent)
{
    routeMixerOutput(70);
    connect(control, &MvPlayerControl::audioOnlyMedium, this, [] { restoreDisplay(); });
    connect(control, &MvPlayerControl::videoMedium, this, [] { setVideoDisplay(true); });
    connect(control, &MvPlayerControl::engineEnded, this, [] { restoreDisplay(); });
}

MvPhoneDevices::~MvPhoneDevices()
{
    restoreDisplay();
}

int MvPhoneDevices::routeMixerOutput(int gain)
{
    // The output routing is the phone's own mixer's: a board's sound card has none.
    if (onBoard())
        return -1;
    const int fd = ::open("/dev/mixer", O_RDONLY);
    if (fd < 0)
        return -1;
    int outputState = 0;
    if (::ioctl(fd, MIXER_READ_OUTPUT_STATE, &outputState) < 0) {
        ::close(fd);
        return -1;
    }
    int route = outputState == 2 ? 0 : 1;
    ::ioctl(fd, MIXER_WRITE_OUTSRC, &route);
    if (gain != 0)
        ::ioctl(fd, SOUND_MIXER_WRITE_OGAIN, &gain);
    return ::close(fd);
}
