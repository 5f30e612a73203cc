#pragma once

// Display and power settings around playback. The phone's brightness and
// LCD sleep time come from the system configuration file, read once per
// process the first time any of these operations runs.

// Keeps the display lit while a video plays (sleep time 0), or hands it
// back to the configured sleep time.
void setVideoDisplay(bool on);

// The configured LCD sleep time and backlight again.
void restoreDisplay();

// Backlight brightness and on/off on the frame-buffer device, then the
// keypad light; a device that does not open leaves everything as it was.
void setBacklight(bool on, int brightness);

// Keypad light on or off.
void setKeypadLight(bool on);
