// Prints where to tap on the phone's screen as shell assignments, one a line,
// for scripts that drive the phone with real input:
//   eval "$(movara-geometry)"          first_row_y=82 ...
//   eval "$(movara-geometry tour_)"    tour_first_row_y=82 ...
// The points are those of a frame in its normal layout, in screen pixels.

#include "platform/phonegeometry.h"

#include <cstdio>
#include <cstring>

namespace {
// The prefix lands in a shell variable name, so it may hold nothing else.
bool isNamePrefix(const char *text)
{
    const char allowed[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    return std::strspn(text, allowed) == std::strlen(text) && !(*text >= '0' && *text <= '9');
}
} // namespace

int main(int argc, char **argv)
{
    const char *prefix = argc > 1 ? argv[1] : "";
    if (argc > 2 || !isNamePrefix(prefix)) {
        std::fprintf(stderr, "usage: movara-geometry [VARIABLE_PREFIX]\n");
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
