#include "platform/display/sdl_window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/display/driver_allocations.h"
#include "platform/display/pixel_format_attributes.h"
#include "platform/display/sdl_display_state.h"

namespace zolt::platform {

namespace {

SdlDisplayState display_state;

constexpr const char* offscreen_driver = "offscreen";

bool has_display_server() {
    const char* x_display = std::getenv("DISPLAY");
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    return (x_display != nullptr && *x_display != '\0') || (wayland_display != nullptr && *wayland_display != '\0');
}

bool init_video_subsystem() {
    DriverAllocationScope scope;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

Uint32 get_window_flags(const WindowGeometry& geometry, bool probe) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!probe && geometry.full_screen && display_state.full_screen_mode_set) {
        flags |= SDL_WINDOW_FULLSCREEN;
    }
    if (!probe && geometry.topmost) {
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    }
    return flags;
}

int32_t wgl_swap_interval_ext(int32_t interval) {
    return SDL_GL_SetSwapInterval(interval) == 0 ? 1 : 0;
}

}  // namespace

int32_t wgl_choose_pixel_format_arb(void* device_context, const int32_t* integer_attributes,
                                    const float* float_attributes, uint32_t maximum_formats, int32_t* formats,
                                    uint32_t* format_count);

SdlDisplayState& get_sdl_display_state() {
    return display_state;
}

void set_display_simulation(const DisplaySimulation* simulation) {
    display_state.simulation = simulation;
}

const DisplaySimulation* get_display_simulation() {
    return display_state.simulation;
}

bool open_video() {
    if (display_state.video_open) {
        return true;
    }
    // The engine's own handlers turn termination signals into quit requests.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The engine decides itself what losing the focus does to the window.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    const char* chosen_driver = std::getenv("SDL_VIDEODRIVER");
    const bool driver_chosen = chosen_driver != nullptr && *chosen_driver != '\0';
    bool offscreen = false;
    if (!driver_chosen && !has_display_server()) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, offscreen_driver);
        offscreen = true;
    }
    if (!init_video_subsystem()) {
        if (offscreen) {
            return false;
        }
        // A display that cannot be reached is no display.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, offscreen_driver);
        if (!init_video_subsystem()) {
            return false;
        }
    }
    {
        // Windows and contexts come and go while formats are probed; the GL
        // library stays loaded for all of them.
        DriverAllocationScope scope;
        display_state.gl_library_loaded = SDL_GL_LoadLibrary(nullptr) == 0;
    }
    display_state.private_event_type = SDL_RegisterEvents(1);
    display_state.video_open = true;
    display_state.swap_interval_changeable = -1;
    SDL_DisableScreenSaver();
    return true;
}

void close_video() {
    if (!display_state.video_open) {
        return;
    }
    DriverAllocationScope scope;
    if (display_state.gl_library_loaded) {
        SDL_GL_UnloadLibrary();
        display_state.gl_library_loaded = false;
    }
    // Only the video side: sound may still use SDL's other parts.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    display_state.video_open = false;
    display_state.game_window = nullptr;
    display_state.full_screen_mode_set = false;
}

bool is_video_open() {
    return display_state.video_open;
}

const char* get_video_driver_name() {
    const char* name = display_state.video_open ? SDL_GetCurrentVideoDriver() : nullptr;
    return name != nullptr ? name : "";
}

const char* get_display_error() {
    if (!display_state.video_open) {
        return "the video system is not open";
    }
    const char* const error = SDL_GetError();
    return error != nullptr ? error : "";
}

DisplayWindow* create_display_window(const char* title, const WindowGeometry& geometry, int32_t pixel_format,
                                     bool probe) {
    const SdlPixelFormat* format = find_pixel_format(pixel_format);
    if (!display_state.video_open || format == nullptr) {
        if (format == nullptr) {
            SDL_SetError("pixel format %d is unknown", static_cast<int>(pixel_format));
        }
        return nullptr;
    }
    apply_pixel_format_attributes(*format);
    const int x = probe || geometry.default_position ? SDL_WINDOWPOS_UNDEFINED : geometry.x;
    const int y = probe || geometry.default_position ? SDL_WINDOWPOS_UNDEFINED : geometry.y;
    const int width = probe ? 1 : static_cast<int>(geometry.width);
    const int height = probe ? 1 : static_cast<int>(geometry.height);
    SDL_Window* sdl_window = nullptr;
    {
        DriverAllocationScope scope;
        sdl_window = SDL_CreateWindow(title, x, y, width, height, get_window_flags(geometry, probe));
    }
    if (sdl_window == nullptr) {
        return nullptr;
    }
    if (!probe && display_state.full_screen_mode_set) {
        SDL_SetWindowDisplayMode(sdl_window, &display_state.full_screen_mode);
    }
    auto* window = new DisplayWindow;
    window->window = sdl_window;
    window->pixel_format = pixel_format;
    window->probe = probe;
    if (!probe) {
        display_state.game_window = window;
        // Over the game's window the cursor is not shown.
        SDL_ShowCursor(SDL_DISABLE);
    }
    return window;
}

void destroy_display_window(DisplayWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (display_state.game_window == window) {
        display_state.game_window = nullptr;
    }
    {
        DriverAllocationScope scope;
        SDL_DestroyWindow(window->window);
    }
    delete window;
}

bool set_window_pixel_format(DisplayWindow* window, int32_t pixel_format) {
    return window != nullptr && pixel_format != 0 && window->pixel_format == pixel_format;
}

int32_t get_window_pixel_format(const DisplayWindow* window) {
    return window != nullptr ? window->pixel_format : 0;
}

bool get_window_rectangle(DisplayWindow* window, ScreenRectangle* rectangle) {
    if (window == nullptr) {
        return false;
    }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(window->window, &x, &y);
    SDL_GetWindowSize(window->window, &width, &height);
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (SDL_GetWindowBordersSize(window->window, &top, &left, &bottom, &right) != 0) {
        top = left = bottom = right = 0;
    }
    rectangle->left = x - left;
    rectangle->top = y - top;
    rectangle->right = x + width + right;
    rectangle->bottom = y + height + bottom;
    return true;
}

bool get_work_area(ScreenRectangle* area) {
    SDL_Rect bounds{};
    if (!display_state.video_open || SDL_GetDisplayUsableBounds(0, &bounds) != 0) {
        return false;
    }
    area->left = bounds.x;
    area->top = bounds.y;
    area->right = bounds.x + bounds.w;
    area->bottom = bounds.y + bounds.h;
    return true;
}

void move_window(DisplayWindow* window, int32_t left, int32_t top) {
    if (window == nullptr) {
        return;
    }
    int border_top = 0;
    int border_left = 0;
    if (SDL_GetWindowBordersSize(window->window, &border_top, &border_left, nullptr, nullptr) != 0) {
        border_top = border_left = 0;
    }
    SDL_SetWindowPosition(window->window, left + border_left, top + border_top);
}

void show_window(DisplayWindow* window) {
    if (window != nullptr) {
        SDL_ShowWindow(window->window);
        SDL_RaiseWindow(window->window);
    }
}

bool has_input_focus(DisplayWindow* window) {
    return window != nullptr && (SDL_GetWindowFlags(window->window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void minimize_window(DisplayWindow* window) {
    if (window != nullptr) {
        SDL_MinimizeWindow(window->window);
    }
}

void restore_window(DisplayWindow* window) {
    if (window != nullptr) {
        SDL_RestoreWindow(window->window);
    }
}

void set_window_style(DisplayWindow* window, const WindowGeometry& geometry) {
    if (window == nullptr) {
        return;
    }
    if (geometry.full_screen && display_state.full_screen_mode_set) {
        SDL_SetWindowDisplayMode(window->window, &display_state.full_screen_mode);
        SDL_SetWindowFullscreen(window->window, SDL_WINDOW_FULLSCREEN);
    } else {
        SDL_SetWindowFullscreen(window->window, 0);
        SDL_SetWindowBordered(window->window, geometry.full_screen ? SDL_FALSE : SDL_TRUE);
        SDL_SetWindowSize(window->window, static_cast<int>(geometry.width), static_cast<int>(geometry.height));
        if (!geometry.default_position) {
            SDL_SetWindowPosition(window->window, geometry.x, geometry.y);
        }
    }
    SDL_SetWindowAlwaysOnTop(window->window, geometry.topmost ? SDL_TRUE : SDL_FALSE);
}

GlContext* create_gl_context(DisplayWindow* window) {
    if (window == nullptr || !display_state.gl_library_loaded) {
        return nullptr;
    }
    const SdlPixelFormat* format = find_pixel_format(window->pixel_format);
    if (format == nullptr) {
        return nullptr;
    }
    apply_pixel_format_attributes(*format);
    SDL_GLContext context = nullptr;
    {
        DriverAllocationScope scope;
        context = SDL_GL_CreateContext(window->window);
    }
    display_state.swap_interval_changeable = -1;
    return static_cast<GlContext*>(context);
}

bool make_gl_context_current(DisplayWindow* window, GlContext* context) {
    DriverAllocationScope scope;
    if (context == nullptr) {
        return SDL_GL_MakeCurrent(window != nullptr ? window->window : nullptr, nullptr) == 0;
    }
    if (window == nullptr) {
        return false;
    }
    display_state.swap_interval_changeable = -1;
    return SDL_GL_MakeCurrent(window->window, static_cast<SDL_GLContext>(context)) == 0;
}

void delete_gl_context(GlContext* context) {
    if (context != nullptr) {
        DriverAllocationScope scope;
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
    }
}

void swap_window_buffers(DisplayWindow* window) {
    if (window != nullptr) {
        SDL_GL_SwapWindow(window->window);
    }
}

bool read_current_pixel_format(PixelFormatInfo* info) {
    if (SDL_GL_GetCurrentContext() == nullptr) {
        return false;
    }
    auto read = [](SDL_GLattr attribute) {
        int value = 0;
        return SDL_GL_GetAttribute(attribute, &value) == 0 && value > 0 ? static_cast<uint32_t>(value) : 0u;
    };
    info->rgba = true;
    info->double_buffer = read(SDL_GL_DOUBLEBUFFER) != 0;
    info->red_bits = read(SDL_GL_RED_SIZE);
    info->green_bits = read(SDL_GL_GREEN_SIZE);
    info->blue_bits = read(SDL_GL_BLUE_SIZE);
    info->alpha_bits = read(SDL_GL_ALPHA_SIZE);
    info->depth_bits = read(SDL_GL_DEPTH_SIZE);
    info->stencil_bits = read(SDL_GL_STENCIL_SIZE);
    info->samples = read(SDL_GL_MULTISAMPLEBUFFERS) != 0 ? read(SDL_GL_MULTISAMPLESAMPLES) : 0;
    return true;
}

void* get_gl_proc_address(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (std::strcmp(name, "wglChoosePixelFormatARB") == 0) {
        return reinterpret_cast<void*>(&wgl_choose_pixel_format_arb);
    }
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0) {
        return reinterpret_cast<void*>(&wgl_swap_interval_ext);
    }
    if (std::strncmp(name, "wgl", 3) == 0 || !display_state.gl_library_loaded) {
        return nullptr;
    }
    return SDL_GL_GetProcAddress(name);
}

const char* get_window_system_extensions() {
    if (!display_state.video_open || SDL_GL_GetCurrentContext() == nullptr) {
        return "";
    }
    if (display_state.swap_interval_changeable < 0) {
        // Setting the interval it already has tells whether it can be set.
        display_state.swap_interval_changeable = SDL_GL_SetSwapInterval(SDL_GL_GetSwapInterval()) == 0 ? 1 : 0;
    }
    return display_state.swap_interval_changeable != 0 ? "WGL_ARB_pixel_format WGL_ARB_multisample WGL_EXT_swap_control"
                                                       : "WGL_ARB_pixel_format WGL_ARB_multisample";
}

}  // namespace zolt::platform
