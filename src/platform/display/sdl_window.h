#pragma once
// Windows, pixel formats, OpenGL contexts and window events, over SDL2.
//
// open_video picks the system's display; on a machine without one (no
// DISPLAY or WAYLAND_DISPLAY, or a display that cannot be reached) it opens
// SDL's offscreen driver, whose windows are invisible surfaces with real
// OpenGL contexts through EGL, so the game runs the same without a screen.
//
// A pixel format is a number naming a set of frame-buffer attributes that the
// system has shown it can give a window. X11 fixes a window's visual when the
// window is made, so a window receives its pixel format when it is created.
//
// Events of the game window (the last window made that is not a probe) and
// the process's quit request come out of poll_window_event in order, with the
// private messages the engine posts to itself. Main thread only.
#include <cstdint>

namespace zolt::platform {

struct DisplayWindow;
struct GlContext;

// False when no video driver at all can be opened.
bool open_video();
void close_video();
bool is_video_open();
// "x11", "wayland", "offscreen" ...; empty while closed.
const char* get_video_driver_name();

struct PixelFormatRequest {
    uint32_t red_bits = 0;
    uint32_t green_bits = 0;
    uint32_t blue_bits = 0;
    uint32_t depth_bits = 0;
    uint32_t stencil_bits = 0;
    // Above 0: one multisample buffer with this many samples.
    uint32_t samples = 0;
    bool double_buffer = true;
    // True: only a format meeting every minimum, else none. False: the
    // nearest format the system has, which the caller must check.
    bool exact = false;
};

struct PixelFormatInfo {
    bool rgba = false;
    bool double_buffer = false;
    uint32_t red_bits = 0;
    uint32_t green_bits = 0;
    uint32_t blue_bits = 0;
    uint32_t alpha_bits = 0;
    uint32_t depth_bits = 0;
    uint32_t stencil_bits = 0;
    uint32_t samples = 0;
};

// 0 when the system has none. Probes with a hidden window and context.
int32_t choose_pixel_format(const PixelFormatRequest& request);
bool describe_pixel_format(int32_t pixel_format, PixelFormatInfo* info);

struct WindowGeometry {
    // Of the client area; the position is ignored with default_position.
    int32_t x = 0;
    int32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool default_position = false;
    bool full_screen = false;
    bool topmost = false;
};

struct ScreenRectangle {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Hidden until show_window. A probe is a 1 x 1 window that never shows and
// sends no events. Null on failure, with get_display_error saying why.
// The reason the last display call of this thread failed, in the video
// system's words; empty when it gave none.
const char* get_display_error();

DisplayWindow* create_display_window(const char* title, const WindowGeometry& geometry, int32_t pixel_format,
                                     bool probe);
void destroy_display_window(DisplayWindow* window);
// True when the window was made with this format (a window's format cannot
// change).
bool set_window_pixel_format(DisplayWindow* window, int32_t pixel_format);
int32_t get_window_pixel_format(const DisplayWindow* window);
// The window's outer rectangle, frame included.
bool get_window_rectangle(DisplayWindow* window, ScreenRectangle* rectangle);
// The part of the desktop not taken by panels and task bars.
bool get_work_area(ScreenRectangle* area);
// Moves the outer rectangle's top left corner there.
void move_window(DisplayWindow* window, int32_t left, int32_t top);
void show_window(DisplayWindow* window);
bool has_input_focus(DisplayWindow* window);
void minimize_window(DisplayWindow* window);
void restore_window(DisplayWindow* window);
// Full screen or framed, at the geometry's position and size.
void set_window_style(DisplayWindow* window, const WindowGeometry& geometry);

// Null on failure.
GlContext* create_gl_context(DisplayWindow* window);
// Null for both releases the current context.
bool make_gl_context_current(DisplayWindow* window, GlContext* context);
void delete_gl_context(GlContext* context);
void swap_window_buffers(DisplayWindow* window);
// The attributes of the current context's frame buffer as the driver
// reports them.
bool read_current_pixel_format(PixelFormatInfo* info);
// GL functions by name, and the window-system functions the engine uses
// (wglChoosePixelFormatARB, wglSwapIntervalEXT) as this layer provides them.
void* get_gl_proc_address(const char* name);
// The window-system extensions this layer provides, for the current context.
const char* get_window_system_extensions();

enum class WindowEventKind : uint8_t {
    // The process is asked to end.
    quit,
    // The user closes the game window.
    close,
    activated,
    deactivated,
    // The engine's private messages, posted by itself.
    window_shown,
    activation_message,
    deactivation_message,
    key_down,
    character,
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::quit;
    // key_down: the system's key code (an SDL keycode).
    uint32_t key = 0;
    // character: a Unicode code point.
    uint32_t character = 0;
};

// False when no event is waiting.
bool poll_window_event(WindowEvent* event);
// Queues an event behind those waiting: quit and close as the system sends
// them, the private messages as the engine's own.
void post_window_event(WindowEventKind kind);

}  // namespace zolt::platform
