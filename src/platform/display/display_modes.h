#pragma once
// The display settings of the machine's first display and switching it to a
// full-screen mode and back. A full-screen mode belongs to the game window:
// set before the window exists, it takes effect when the window is made.
// Colour depths count as a desktop reports them: bytes per pixel times 8, so
// a desktop of 8-bit red, green and blue channels is a 32-bit one.
// Main thread only, between open_video and close_video.
#include <cstdint>

namespace zolt::platform {

struct DisplaySetting {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bits_per_pixel = 0;
    // 0 when the display does not say.
    uint32_t refresh_rate = 0;
};

// The setting at index, false past the last one.
bool get_display_setting(uint32_t index, DisplaySetting* setting);

// 32 bits per pixel at that size and, when refresh_rate is above 0, that
// rate; false when the display has no such mode or refuses it.
bool change_to_full_screen_mode(uint32_t width, uint32_t height, uint32_t refresh_rate);
// Back to the desktop's own mode; the game window becomes a normal window.
void restore_desktop_display_mode();
bool is_full_screen_mode_set();

// Of the mode in force: 32 while a full-screen mode is set, else the
// desktop's own depth; 0 when unknown.
uint32_t get_desktop_bits_per_pixel();

}  // namespace zolt::platform
