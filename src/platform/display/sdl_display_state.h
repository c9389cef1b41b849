#pragma once
// What the SDL side of the display layer shares between its files: the video
// state, the windows and the pixel formats found. Internal to this folder.
#include <SDL.h>

#include <cstdint>

#include "platform/display/display_simulation.h"
#include "platform/display/sdl_window.h"

namespace zolt::platform {

struct DisplayWindow {
    SDL_Window* window = nullptr;
    int32_t pixel_format = 0;
    bool probe = false;
};

// How a pixel format is asked of SDL, and what it gave.
struct SdlPixelFormat {
    int red_bits = 0;
    int green_bits = 0;
    int blue_bits = 0;
    int depth_bits = 0;
    int stencil_bits = 0;
    int samples = 0;
    int double_buffer = 1;
    PixelFormatInfo info;
};

struct SdlDisplayState {
    bool video_open = false;
    bool gl_library_loaded = false;
    // The window whose events the engine sees.
    DisplayWindow* game_window = nullptr;
    bool full_screen_mode_set = false;
    SDL_DisplayMode full_screen_mode{};
    uint32_t private_event_type = 0;
    // -1 not yet known for the current context, else 0 or 1.
    int swap_interval_changeable = -1;
    const DisplaySimulation* simulation = nullptr;
};

SdlDisplayState& get_sdl_display_state();

constexpr uint32_t pixel_format_capacity = 64;
// Null for a number that names no format found.
const SdlPixelFormat* find_pixel_format(int32_t pixel_format);
// Sets SDL's frame-buffer and context attributes for windows and contexts
// made next: the format's, a compatibility-profile context.
void apply_pixel_format_attributes(const SdlPixelFormat& format);

// A desktop below 24 bits per pixel (simulated or real) offers windows no
// more colour bits than it has, unless a full-screen mode is set.
uint32_t get_windowed_colour_bit_limit();

}  // namespace zolt::platform
