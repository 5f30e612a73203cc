// Prints where to tap on the phone's screen as shell assignments, one a line,
// for scripts that drive the phone with real input:
//   eval "$(movara-geometry)"          first_row_y=82 ...
//   eval "$(movara-geometry tour_)"    tour_first_row_y=82 ...
// The points are those of a frame in its normal layout, in screen pixels.
//   movara-geometry --framebuffer DEVICE
// prints the framebuffer's size instead (framebuffer_width=240 ...), and fails
// with status 1 when DEVICE is no framebuffer: the board command checks its
// device with it, on boards that may have no other tool for the request.

#include "platform/phonegeometry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// The prefix lands in a shell variable name, so it may hold nothing else.
bool isNamePrefix(const char *text)
{
    const char allowed[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    return std::strspn(text, allowed) == std::strlen(text) && !(*text >= '0' && *text <= '9');
}

int printFramebuffer(const char *device)
{
    const int fd = ::open(device, O_RDONLY | O_CLOEXEC);
    fb_var_screeninfo screen{};
    if (fd < 0 || ::ioctl(fd, FBIOGET_VSCREENINFO, &screen) != 0) {
        std::fprintf(stderr, "movara-geometry: %s is no framebuffer: %s\n", device,
                     std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return 1;
    }
    ::close(fd);
    std::printf("framebuffer_width=%u\nframebuffer_height=%u\nframebuffer_bits=%u\n", screen.xres,
                screen.yres, screen.bits_per_pixel);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--framebuffer") == 0)
        return printFramebuffer(argv[2]);
    const char *prefix = argc > 1 ? argv[1] : "";
    if (argc > 2 || !isNamePrefix(prefix)) {
        std::fprintf(stderr, "usage: movara-geometry [VARIABLE_PREFIX] | --framebuffer DEVICE\n");
        return 2;
    }
    using namespace PhoneGeometry;
    const struct
    {
        const char *name;
        int value;
    } points[] = {
        {"screen_width", ScreenWidth},
        {"screen_height", ScreenHeight},
        {"row_height", RowHeight},
        {"first_row_y", FirstRowY},
        {"row_text_x", RowTextX},
        {"check_box_x", CheckBoxX},
        {"soft_key_y", SoftKeyY},
        {"left_soft_key_x", LeftSoftKeyX},
        {"middle_soft_key_x", MiddleSoftKeyX},
        {"right_soft_key_x", RightSoftKeyX},
    };
    for (const auto &point : points)
        std::printf("%s%s=%d\n", prefix, point.name, point.value);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
