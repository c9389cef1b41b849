#pragma once
// The table of display modes and the current one, whose size is the frame
// buffer every full-window pass draws. Entry 0 is always 640 x 480 at the
// default rate; the configured mode and the display's own 32-bit modes of at
// least 640 x 480 follow, without duplicates. Switching modes falls back to a
// similar mode, the current one, entry 0, and finally to windowed mode.
// Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

// Configuration: the requested mode, rewritten with the current one.
extern uint32_t window_width;
extern uint32_t window_height;
extern bool use_fullscreen;
extern uint32_t fullscreen_refresh_rate;

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    // 0: the driver's default rate.
    uint32_t refresh_rate = 0;
};

constexpr uint32_t display_mode_capacity = 10000;

// Only entry 0 left, current index 0.
void reset_display_modes();
// False when the table is full or already has the mode.
bool add_display_mode(const DisplayMode& mode);
// Adds the display's own modes.
void enumerate_display_modes();
uint32_t get_display_mode_count();
// Entry 0 for an index outside the table.
const DisplayMode& get_display_mode(int32_t index);
int32_t get_current_display_mode_index();
const DisplayMode& get_current_display_mode();

// From use_fullscreen at the first initialisation; cleared when switching
// to full screen fails.
bool is_full_screen_wanted();
void set_full_screen_wanted(bool wanted);

// First initialisation: full screen as configured and the configured mode
// set without reloading textures.
void select_initial_display_mode();
// -1 when no mode of that size has another rate not above the requested
// one (60 when that is 0).
int32_t find_similar_display_mode(uint32_t width, uint32_t height, uint32_t refresh_rate);
// True only when the mode asked for was set; an index outside the table
// sets nothing and answers false.
bool set_display_mode(int32_t index, bool no_reload);
// Makes the mode current (switching the display in full screen) and, unless
// no_reload, reloads textures and fits the window to it. A negative index
// only puts the desktop's own mode back; an index past the table changes
// nothing and answers false.
bool apply_display_mode(int32_t index, bool no_reload);
// The display in full screen at the current mode.
bool change_to_fullscreen_mode();

// Builtins 651 to 656.
geometry::Vector4 builtin_get_display_size();
// Answers 0.0.
float builtin_get_display_reserved();
uint32_t builtin_get_display_mode_count();
// A zero vector for an index outside the table.
geometry::Vector4 builtin_get_display_mode(int32_t index);
uint32_t builtin_set_display_mode(int32_t index);
int32_t builtin_get_display_mode_index();

}  // namespace zolt::renderer
