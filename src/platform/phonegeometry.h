#pragma once

// Where things are on the phone's 240 x 320 display, in pixels. The frame, its
// bars and layouts are built from these, and the scripts and tests that tap on
// the screen take their tap points from here (movara-geometry prints them).
namespace PhoneGeometry {

constexpr int ScreenWidth = 240;
constexpr int ScreenHeight = 320;

// The phone's status area, above a frame in its normal layout.
constexpr int StatusHeight = 45;
// A frame in its normal layout fills the screen below the status area.
constexpr int NormalFrameHeight = ScreenHeight - StatusHeight;

constexpr int TitleBarHeight = 25;
// The soft-key bar as drawn, at the bottom of the frame.
constexpr int SoftKeyBarHeight = 35;
// What the layouts take from the content area for the soft-key bar: the bar
// and the row of pixels above it, which stays clear.
constexpr int SoftKeyReserve = SoftKeyBarHeight + 1;

// The list fills the content area; its rows are as tall as the list font's
// line with padding (the phone font, 15-pixel DejaVu Sans).
constexpr int RowHeight = 24;
// A tap from x = 2 to 20 in a checkable row hits its check box.
constexpr int CheckBandLeft = 2;
constexpr int CheckBandRight = 20;

// Tap points on the screen, a frame in its normal layout.
constexpr int ListTop = StatusHeight + TitleBarHeight;
constexpr int FirstRowY = ListTop + RowHeight / 2;
// On a row's name: clear of the check box and the icon before it.
constexpr int RowTextX = ScreenWidth / 3;
constexpr int CheckBoxX = (CheckBandLeft + CheckBandRight) / 2;
// The soft keys share the bar's width in three equal parts.
constexpr int SoftKeyY = ScreenHeight - SoftKeyBarHeight + SoftKeyBarHeight / 2;
constexpr int LeftSoftKeyX = ScreenWidth / 6;
constexpr int MiddleSoftKeyX = ScreenWidth / 2;
constexpr int RightSoftKeyX = ScreenWidth * 5 / 6;

} // namespace PhoneGeometry
