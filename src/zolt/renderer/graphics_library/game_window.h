#pragma once
// The one game window and its OpenGL context: display start and shut-down,
// the choice of a pixel format (24-bit colour, 24-bit depth, 8-bit stencil,
// optionally multisampled), the window's handling of its events (close,
// focus loss and regain, typed keys), and fitting the window to the display
// mode. The window's close and the process's quit request end the game
// through the quit flag. Main thread only: it owns the window, its events and
// the GL context.
#include <cstdint>

#include "platform/display/sdl_window.h"

namespace zolt::renderer {

// Configuration: samples of the multisampled pixel format (2 or 4 used).
extern uint32_t multisample_count;

// What the window needs of the input layer, installed by it; a hook not
// installed does nothing (and creating succeeds).
struct WindowInputHooks {
    bool (*create_input_interface)() = nullptr;
    void (*release_input_interface)() = nullptr;
    bool (*create_input_devices)() = nullptr;
    void (*release_input_devices)() = nullptr;
    void (*acquire_input_devices)() = nullptr;
    void (*unacquire_input_devices)() = nullptr;
};

extern WindowInputHooks window_input_hooks;

// Engine start: display modes, window, pixel format, context, entry points,
// shadow-map frame buffer, swap interval, saved gamma ramp. Failures end the
// program with the window, input, desktop depth or pixel format exit code.
void initialize_display();
// Engine stop: gamma back, GL objects and entry points released, context,
// window and video closed.
void shutdown_display();
bool is_display_initialized();

// Null while the display is down.
platform::DisplayWindow* get_game_window();
bool is_window_shown();
// Read by the sound output and the overlay of the online services.
bool is_window_active();
bool is_minimized_for_focus_loss();

// The pixel format of the game window, 0 when none fits (probes with a
// hidden window; needs the video open).
int32_t choose_pixel_format();

// The window's style, position and client size for the current display
// mode, full screen or windowed.
platform::WindowGeometry get_window_geometry(bool full_screen);
void apply_window_style(bool full_screen);
// Where a window rectangle goes so that it lies inside the work area: moved
// by the overhangs, then right or down again so that its left and top are
// not outside.
platform::ScreenRectangle fit_window_in_work_area(const platform::ScreenRectangle& window,
                                                  const platform::ScreenRectangle& work_area);

// The window procedure: what an event of the game window does.
void handle_window_event(const platform::WindowEvent& event);
// Reloads textures and warms up after reactivation, as the driver needs.
void restore_display_after_activation();

}  // namespace zolt::renderer
