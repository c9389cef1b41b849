#include "zolt/renderer/graphics_library/game_window.h"

#include <algorithm>
#include <cinttypes>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "platform/display/display_modes.h"
#include "platform/display/pixel_format_attributes.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/graphics_library/gamma.h"

namespace zolt::renderer {

uint32_t multisample_count = 0;
WindowInputHooks window_input_hooks;

namespace {

const ConfigVariableRow<uint32_t> multisample_count_row(91, "multisample_count", &multisample_count, 0, 0, 4,
                                                        config_written_when_changed);

// The product name, the title of the game's window.
constexpr const char* window_title = "Quorvane";

struct GameWindow {
    platform::DisplayWindow* window = nullptr;
    platform::GlContext* context = nullptr;
    int32_t pixel_format = 0;
    // 0, 2 or 4.
    uint32_t multisample_count = 0;
    bool initialized = false;
    bool initialized_once = false;
    bool shown = false;
    bool active = false;
    bool minimized_for_focus_loss = false;
};

GameWindow game_window;

[[noreturn]] void fail(ExitCode exit_code, const char* message) {
    set_fatal_exit_code(exit_code);
    ZOLT_ERROR("%s", message);
}

void split_colour_bits(uint32_t colour_bits, platform::PixelFormatRequest* request) {
    request->red_bits = colour_bits / 3;
    request->green_bits = colour_bits - 2 * (colour_bits / 3);
    request->blue_bits = colour_bits / 3;
}

bool is_basic_format_acceptable(int32_t format, uint32_t colour_bits, uint32_t depth_bits) {
    platform::PixelFormatInfo info;
    return platform::describe_pixel_format(format, &info) && info.rgba &&
           info.red_bits + info.green_bits + info.blue_bits >= colour_bits && info.depth_bits >= depth_bits;
}

bool is_fallback_format_acceptable(int32_t format) {
    platform::PixelFormatInfo info;
    return platform::describe_pixel_format(format, &info) && info.rgba && info.red_bits >= 8 && info.green_bits >= 8 &&
           info.blue_bits >= 8 && info.depth_bits >= 24;
}

int32_t choose_with_arb_pixel_format(platform::DisplayWindow* probe) {
    using namespace platform;
    int32_t attributes[32] = {
        WGL_ACCELERATION_ARB,   WGL_FULL_ACCELERATION_ARB,
        WGL_DRAW_TO_WINDOW_ARB, 1,
        WGL_SUPPORT_OPENGL_ARB, 1,
        WGL_DOUBLE_BUFFER_ARB,  1,
        WGL_PIXEL_TYPE_ARB,     WGL_TYPE_RGBA_ARB,
        WGL_RED_BITS_ARB,       8,
        WGL_GREEN_BITS_ARB,     8,
        WGL_BLUE_BITS_ARB,      8,
        WGL_DEPTH_BITS_ARB,     24,
        WGL_STENCIL_BITS_ARB,   8,
    };
    uint32_t count = 20;
    if (opengl::is_extension_present(opengl::Extension::WGL_ARB_multisample) && game_window.multisample_count > 0) {
        attributes[count++] = WGL_SAMPLE_BUFFERS_ARB;
        attributes[count++] = 1;
        attributes[count++] = WGL_SAMPLES_ARB;
        attributes[count++] = static_cast<int32_t>(game_window.multisample_count);
    }
    attributes[count] = 0;
    int32_t format = 0;
    uint32_t format_count = 0;
    if (opengl::gl.wglChoosePixelFormatARB(probe, attributes, nullptr, 1, &format, &format_count) == 0 ||
        format_count < 1) {
        return 0;
    }
    return format;
}

void keep_window_in_work_area(platform::DisplayWindow* window) {
    platform::ScreenRectangle work_area;
    platform::ScreenRectangle rectangle;
    if (!platform::get_work_area(&work_area) || !platform::get_window_rectangle(window, &rectangle)) {
        return;
    }
    const platform::ScreenRectangle fitted = fit_window_in_work_area(rectangle, work_area);
    if (fitted.left != rectangle.left || fitted.top != rectangle.top) {
        platform::move_window(window, fitted.left, fitted.top);
    }
}

void handle_window_created() {
    if (window_input_hooks.create_input_devices != nullptr && !window_input_hooks.create_input_devices()) {
        fail(ExitCode::input, "It was not possible to acquire the input devices.");
    }
    game_window.shown = false;
    game_window.active = false;
}

void create_engine_window() {
    if (is_full_screen_wanted() && !change_to_fullscreen_mode()) {
        set_full_screen_wanted(false);
    }
    // The window's visual is fixed when it is made, so its format is chosen
    // first.
    game_window.pixel_format = choose_pixel_format();
    if (game_window.pixel_format == 0) {
        const uint32_t desktop_bits = platform::get_desktop_bits_per_pixel();
        if (!is_full_screen_wanted() && desktop_bits != 0 && desktop_bits < 24) {
            fail(ExitCode::desktop_depth,
                 "It's not possible to create a 32-bit color depth window on a 16-bit desktop.");
        }
        fail(ExitCode::pixel_format, "It's not possible to choose an appropriate pixel format.");
    }
    const bool full_screen = is_full_screen_wanted();
    platform::WindowGeometry geometry = get_window_geometry(full_screen);
    geometry.default_position = !full_screen;
    game_window.window = platform::create_display_window(window_title, geometry, game_window.pixel_format, false);
    if (game_window.window == nullptr) {
        set_fatal_exit_code(ExitCode::thread_or_window_class);
        ZOLT_ERROR("Unable to create the engine window.\n%" PRIu32 " x %" PRIu32 " %s: %s", geometry.width,
                   geometry.height, full_screen ? "full screen" : "windowed", platform::get_display_error());
    }
    handle_window_created();
    keep_window_in_work_area(game_window.window);
    platform::show_window(game_window.window);
    if (!platform::has_input_focus(game_window.window)) {
        platform::post_window_event(platform::WindowEventKind::deactivation_message);
    }
    platform::post_window_event(platform::WindowEventKind::window_shown);
}

void create_gl_context() {
    platform::PixelFormatInfo info;
    if (!platform::describe_pixel_format(game_window.pixel_format, &info)) {
        fail(ExitCode::pixel_format, "Can't get information about a pixel format.");
    }
    if (!platform::set_window_pixel_format(game_window.window, game_window.pixel_format)) {
        fail(ExitCode::pixel_format, "Can't set pixel format of a device context.");
    }
    game_window.context = platform::create_gl_context(game_window.window);
    if (game_window.context == nullptr) {
        fail(ExitCode::pixel_format, "Can't create OpenGL rendering context.");
    }
    if (!platform::make_gl_context_current(game_window.window, game_window.context)) {
        fail(ExitCode::pixel_format, "Can't bind the OpenGL rendering context to a thread.");
    }
}

void destroy_engine_window() {
    if (window_input_hooks.release_input_devices != nullptr) {
        window_input_hooks.release_input_devices();
    }
    game_window.active = false;
    platform::destroy_display_window(game_window.window);
    game_window.window = nullptr;
}

void on_activation_message() {
    if (game_window.minimized_for_focus_loss) {
        if (!change_to_fullscreen_mode()) {
            fail(ExitCode::pixel_format, "It is not possible to set display mode to fullscreen.");
        }
        game_window.minimized_for_focus_loss = false;
        platform::restore_window(game_window.window);
        apply_window_style(true);
        restore_display_after_activation();
    }
    reapply_gamma();
    if (window_input_hooks.acquire_input_devices != nullptr) {
        window_input_hooks.acquire_input_devices();
    }
}

void on_deactivation_message() {
    restore_saved_gamma_ramp();
    if (is_full_screen_wanted()) {
        platform::minimize_window(game_window.window);
        platform::restore_desktop_display_mode();
        game_window.minimized_for_focus_loss = true;
        apply_window_style(false);
    }
}

}  // namespace

void initialize_display() {
    // The window system comes first here: the display's modes are read
    // through it.
    if (!platform::open_video()) {
        fail(ExitCode::thread_or_window_class, "The system is out of resources. We can't register a window class.");
    }
    reset_display_modes();
    add_display_mode({window_width, window_height, fullscreen_refresh_rate});
    enumerate_display_modes();
    if (!game_window.initialized_once) {
        select_initial_display_mode();
        game_window.multisample_count = multisample_count == 2 || multisample_count == 4 ? multisample_count : 0;
        game_window.initialized_once = true;
    }
    if (window_input_hooks.create_input_interface != nullptr && !window_input_hooks.create_input_interface()) {
        fail(ExitCode::input, "It was not possible to initialize DirectInput subsystem.");
    }
    opengl::set_entry_point_resolver({&platform::get_gl_proc_address, &platform::get_window_system_extensions});
    create_engine_window();
    create_gl_context();
    opengl::initialize_entry_points();
    opengl::initialize_stencil_clear_tag();
    if (opengl::maximal_shadowmap_size < opengl::minimal_shadowmap_size) {
        ZOLT_ERROR("Requested maximal shadowmap size that is lower than minimal shadowmap size.");
    }
    if (opengl::framebuffer_object_initialize()) {
        opengl::choose_shadowmap_size();
    }
    forget_swap_interval();
    save_device_gamma_ramp();
    game_window.initialized = true;
}

void shutdown_display() {
    if (!game_window.initialized) {
        return;
    }
    restore_saved_gamma_ramp();
    opengl::framebuffer_object_shutdown();
    opengl::reset_entry_points();
    platform::make_gl_context_current(nullptr, nullptr);
    platform::delete_gl_context(game_window.context);
    game_window.context = nullptr;
    destroy_engine_window();
    if (window_input_hooks.release_input_interface != nullptr) {
        window_input_hooks.release_input_interface();
    }
    platform::close_video();
    game_window.initialized = false;
}

bool is_display_initialized() {
    return game_window.initialized;
}

platform::DisplayWindow* get_game_window() {
    return game_window.window;
}

bool is_window_shown() {
    return game_window.shown;
}

bool is_window_active() {
    return game_window.active;
}

bool is_minimized_for_focus_loss() {
    return game_window.minimized_for_focus_loss;
}

int32_t choose_pixel_format() {
    const bool desktop_32 = platform::get_desktop_bits_per_pixel() == 32;
    const uint32_t basic_bits = desktop_32 ? 24 : 16;
    platform::PixelFormatRequest basic;
    split_colour_bits(basic_bits, &basic);
    basic.depth_bits = basic_bits;
    const int32_t basic_format = platform::choose_pixel_format(basic);
    int32_t chosen = 0;
    platform::DisplayWindow* probe = nullptr;
    platform::GlContext* context = nullptr;
    if (basic_format != 0 && is_basic_format_acceptable(basic_format, basic_bits, basic_bits)) {
        probe = platform::create_display_window("", platform::WindowGeometry{}, basic_format, true);
        if (probe == nullptr) {
            return 0;
        }
        context = platform::create_gl_context(probe);
        if (context != nullptr && platform::make_gl_context_current(probe, context)) {
            opengl::set_entry_point_resolver({&platform::get_gl_proc_address, &platform::get_window_system_extensions});
            opengl::initialize_entry_points();
            if (opengl::is_extension_present(opengl::Extension::WGL_ARB_pixel_format) &&
                !opengl::compatibility_fix_ignore_arb_pixel_format) {
                chosen = choose_with_arb_pixel_format(probe);
            }
        }
    }
    if (chosen == 0) {
        platform::PixelFormatRequest fallback;
        split_colour_bits(24, &fallback);
        fallback.depth_bits = 24;
        fallback.stencil_bits = 8;
        const int32_t format = platform::choose_pixel_format(fallback);
        if (format != 0 && is_fallback_format_acceptable(format)) {
            chosen = format;
        }
    }
    opengl::reset_entry_points();
    platform::make_gl_context_current(nullptr, nullptr);
    platform::delete_gl_context(context);
    platform::destroy_display_window(probe);
    return chosen;
}

platform::WindowGeometry get_window_geometry(bool full_screen) {
    const DisplayMode& mode = get_current_display_mode();
    platform::WindowGeometry geometry;
    geometry.x = 0;
    geometry.y = 0;
    geometry.width = mode.width;
    geometry.height = mode.height;
    geometry.full_screen = full_screen;
    geometry.topmost = full_screen;
    return geometry;
}

void apply_window_style(bool full_screen) {
    platform::set_window_style(game_window.window, get_window_geometry(full_screen));
}

platform::ScreenRectangle fit_window_in_work_area(const platform::ScreenRectangle& window,
                                                  const platform::ScreenRectangle& work_area) {
    const int32_t left_overhang = std::max(work_area.left - window.left, 0);
    const int32_t top_overhang = std::max(work_area.top - window.top, 0);
    const int32_t right_overhang = std::max(window.right - work_area.right, 0);
    const int32_t bottom_overhang = std::max(window.bottom - work_area.bottom, 0);
    platform::ScreenRectangle fitted = window;
    if (left_overhang == 0 && top_overhang == 0 && right_overhang == 0 && bottom_overhang == 0) {
        return fitted;
    }
    int32_t shift_x = left_overhang - right_overhang;
    int32_t shift_y = top_overhang - bottom_overhang;
    shift_x += std::max(-(window.left + shift_x), 0);
    shift_y += std::max(-(window.top + shift_y), 0);
    fitted.left += shift_x;
    fitted.right += shift_x;
    fitted.top += shift_y;
    fitted.bottom += shift_y;
    return fitted;
}

void handle_window_event(const platform::WindowEvent& event) {
    switch (event.kind) {
    case platform::WindowEventKind::close:
        core::request_quit();
        break;
    case platform::WindowEventKind::activated:
        game_window.active = true;
        on_activation_message();
        break;
    case platform::WindowEventKind::deactivated:
        game_window.active = false;
        on_deactivation_message();
        break;
    case platform::WindowEventKind::window_shown:
        game_window.shown = true;
        break;
    case platform::WindowEventKind::activation_message:
        on_activation_message();
        break;
    case platform::WindowEventKind::deactivation_message:
        on_deactivation_message();
        break;
    default:
        break;
    }
}

void restore_display_after_activation() {
    const uint32_t mode = opengl::compatibility_fix_reload_textures_on_focus_loss;
    if (mode == 1 || (mode == 2 && opengl::capabilities.quirk_geforce_7_series)) {
        issue_rendering_command(reload_textures_command);
        issue_rendering_command(warm_up_command);
    }
}

}  // namespace zolt::renderer
