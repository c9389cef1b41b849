#include "zolt/renderer/graphics_library/display_mode.h"

#include "libs/utility/config_variable_row.h"
#include "platform/display/display_modes.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/game_window.h"

namespace zolt::renderer {

uint32_t window_width = 640;
uint32_t window_height = 480;
bool use_fullscreen = false;
uint32_t fullscreen_refresh_rate = 0;

namespace {

const ConfigVariableRow<uint32_t> window_width_row(87, "window_width", &window_width, 640, config_always_written);
const ConfigVariableRow<uint32_t> window_height_row(88, "window_height", &window_height, 480, config_always_written);
const ConfigVariableRow<bool> use_fullscreen_row(89, "use_fullscreen", &use_fullscreen, false, false, true,
                                                 config_always_written);
const ConfigVariableRow<uint32_t> fullscreen_refresh_rate_row(90, "fullscreen_refresh_rate", &fullscreen_refresh_rate,
                                                              0, config_always_written);

constexpr DisplayMode first_display_mode{640, 480, 0};
// The rate a similar mode may reach when the requested one is the default.
constexpr uint32_t default_rate_limit = 60;

DisplayMode display_modes[display_mode_capacity] = {first_display_mode};
uint32_t display_mode_count = 1;
int32_t current_display_mode_index = 0;
bool full_screen_wanted = false;

bool is_in_table(int32_t index) {
    return index >= 0 && static_cast<uint32_t>(index) < display_mode_count;
}

int32_t find_display_mode(uint32_t width, uint32_t height, uint32_t refresh_rate) {
    for (uint32_t index = 0; index < display_mode_count; ++index) {
        const DisplayMode& mode = display_modes[index];
        if (mode.width == width && mode.height == height && mode.refresh_rate == refresh_rate) {
            return static_cast<int32_t>(index);
        }
    }
    return -1;
}

}  // namespace

void reset_display_modes() {
    display_modes[0] = first_display_mode;
    display_mode_count = 1;
    current_display_mode_index = 0;
}

bool add_display_mode(const DisplayMode& mode) {
    if (display_mode_count == display_mode_capacity ||
        find_display_mode(mode.width, mode.height, mode.refresh_rate) >= 0) {
        return false;
    }
    display_modes[display_mode_count++] = mode;
    return true;
}

void enumerate_display_modes() {
    platform::DisplaySetting setting;
    for (uint32_t index = 0; platform::get_display_setting(index, &setting); ++index) {
        if (setting.bits_per_pixel == 32 && setting.width >= 640 && setting.height >= 480) {
            add_display_mode({setting.width, setting.height, setting.refresh_rate > 1 ? setting.refresh_rate : 0});
        }
    }
}

uint32_t get_display_mode_count() {
    return display_mode_count;
}

const DisplayMode& get_display_mode(int32_t index) {
    return is_in_table(index) ? display_modes[index] : display_modes[0];
}

int32_t get_current_display_mode_index() {
    return current_display_mode_index;
}

const DisplayMode& get_current_display_mode() {
    return get_display_mode(current_display_mode_index);
}

bool is_full_screen_wanted() {
    return full_screen_wanted;
}

void set_full_screen_wanted(bool wanted) {
    full_screen_wanted = wanted;
}

void select_initial_display_mode() {
    full_screen_wanted = use_fullscreen;
    const int32_t configured = find_display_mode(window_width, window_height, fullscreen_refresh_rate);
    set_display_mode(configured >= 0 ? configured : 0, true);
}

int32_t find_similar_display_mode(uint32_t width, uint32_t height, uint32_t refresh_rate) {
    const uint32_t limit = refresh_rate != 0 ? refresh_rate : default_rate_limit;
    int32_t found = -1;
    for (uint32_t index = 0; index < display_mode_count; ++index) {
        const DisplayMode& mode = display_modes[index];
        if (mode.width != width || mode.height != height || mode.refresh_rate == refresh_rate ||
            mode.refresh_rate > limit) {
            continue;
        }
        if (found < 0) {
            found = static_cast<int32_t>(index);
            continue;
        }
        const uint32_t taken = display_modes[found].refresh_rate;
        if (taken == 0 ? mode.refresh_rate > default_rate_limit : mode.refresh_rate > taken) {
            found = static_cast<int32_t>(index);
        }
    }
    return found;
}

bool set_display_mode(int32_t index, bool no_reload) {
    if (!is_in_table(index)) {
        return false;
    }
    if (current_display_mode_index >= 0 && current_display_mode_index == index) {
        return true;
    }
    // A failed attempt leaves its own index current, so the fallback to the
    // current mode means the one current before it.
    const int32_t previous_index = current_display_mode_index;
    if (apply_display_mode(index, no_reload)) {
        return true;
    }
    const DisplayMode requested = display_modes[index];
    const int32_t similar = find_similar_display_mode(requested.width, requested.height, requested.refresh_rate);
    if (similar >= 0 && apply_display_mode(similar, no_reload)) {
        return false;
    }
    if (is_in_table(previous_index) && apply_display_mode(previous_index, no_reload)) {
        return false;
    }
    if (apply_display_mode(0, no_reload)) {
        return false;
    }
    full_screen_wanted = false;
    platform::restore_desktop_display_mode();
    apply_display_mode(index, no_reload);
    return false;
}

bool apply_display_mode(int32_t index, bool no_reload) {
    if (index < 0) {
        if (full_screen_wanted) {
            platform::restore_desktop_display_mode();
        }
        return true;
    }
    if (!is_in_table(index)) {
        return false;
    }
    const DisplayMode& mode = display_modes[index];
    window_width = mode.width;
    window_height = mode.height;
    fullscreen_refresh_rate = mode.refresh_rate;
    current_display_mode_index = index;
    const bool changed = !full_screen_wanted || change_to_fullscreen_mode();
    if (!no_reload) {
        issue_rendering_command(reload_textures_command);
        apply_window_style(full_screen_wanted);
    }
    return changed;
}

bool change_to_fullscreen_mode() {
    const DisplayMode& mode = get_current_display_mode();
    return platform::change_to_full_screen_mode(mode.width, mode.height, mode.refresh_rate);
}

geometry::Vector4 builtin_get_display_size() {
    const DisplayMode& mode = get_current_display_mode();
    return {static_cast<float>(mode.width), static_cast<float>(mode.height), 0.0f, 0.0f};
}

float builtin_get_display_reserved() {
    return 0.0f;
}

uint32_t builtin_get_display_mode_count() {
    return display_mode_count;
}

geometry::Vector4 builtin_get_display_mode(int32_t index) {
    if (!is_in_table(index)) {
        return {};
    }
    const DisplayMode& mode = display_modes[index];
    return {static_cast<float>(mode.width), static_cast<float>(mode.height), static_cast<float>(mode.refresh_rate),
            0.0f};
}

uint32_t builtin_set_display_mode(int32_t index) {
    return set_display_mode(index, false) ? 1 : 0;
}

int32_t builtin_get_display_mode_index() {
    return current_display_mode_index;
}

}  // namespace zolt::renderer
