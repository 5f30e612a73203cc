#pragma once

#include <string>

// A board's own display: its backlights under /sys/class/backlight and its
// framebuffer's blanking. Only what is there is written to; a board without
// a backlight or a framebuffer is left alone.
class BoardDisplay
{
public:
    // Sets each backlight to brightness percent (0 to 100) of its own maximum,
    // and at least to its lowest lit level when brightness is above 0.
    static void setBrightness(int brightness);
    // Blanks the panel and powers its backlights down, or the reverse.
    static void setBlank(bool blank);

    // Whether the program draws on a framebuffer itself (no window system):
    // there a child window of its own would be composed as a screen of its own.
    static bool drawsOnFramebuffer();

    // Where the backlights and the framebuffer are (for tests; the board's own
    // by default, or MOVARA_BOARD_FB for the framebuffer).
    static void setPlaces(const std::string &backlightRoot, const std::string &framebuffer);
};
