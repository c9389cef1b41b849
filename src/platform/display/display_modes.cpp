#include "platform/display/display_modes.h"

#include <SDL.h>

#include "platform/display/driver_allocations.h"
#include "platform/display/sdl_display_state.h"

namespace zolt::platform {

namespace {

// As a desktop counts them: a 24-bit colour mode kept in 4 bytes is 32.
uint32_t get_bits_per_pixel(Uint32 format) {
    return SDL_BYTESPERPIXEL(format) * 8u;
}

bool is_listed(uint32_t width, uint32_t height, uint32_t refresh_rate, SDL_DisplayMode* found) {
    for (uint32_t index = 0;; ++index) {
        DisplaySetting setting;
        if (!get_display_setting(index, &setting)) {
            return false;
        }
        if (setting.width == width && setting.height == height && setting.bits_per_pixel == 32 &&
            (refresh_rate == 0 || setting.refresh_rate == refresh_rate)) {
            found->w = static_cast<int>(width);
            found->h = static_cast<int>(height);
            found->refresh_rate = refresh_rate > 0 ? static_cast<int>(refresh_rate) : 0;
            found->format = SDL_PIXELFORMAT_RGB888;
            found->driverdata = nullptr;
            return true;
        }
    }
}

}  // namespace

bool get_display_setting(uint32_t index, DisplaySetting* setting) {
    const SdlDisplayState& state = get_sdl_display_state();
    if (state.simulation != nullptr && state.simulation->settings != nullptr) {
        if (index >= state.simulation->setting_count) {
            return false;
        }
        *setting = state.simulation->settings[index];
        return true;
    }
    if (!state.video_open || index >= static_cast<uint32_t>(SDL_GetNumDisplayModes(0))) {
        return false;
    }
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, static_cast<int>(index), &mode) != 0) {
        return false;
    }
    setting->width = mode.w > 0 ? static_cast<uint32_t>(mode.w) : 0;
    setting->height = mode.h > 0 ? static_cast<uint32_t>(mode.h) : 0;
    setting->bits_per_pixel = get_bits_per_pixel(mode.format);
    setting->refresh_rate = mode.refresh_rate > 0 ? static_cast<uint32_t>(mode.refresh_rate) : 0;
    return true;
}

bool change_to_full_screen_mode(uint32_t width, uint32_t height, uint32_t refresh_rate) {
    SdlDisplayState& state = get_sdl_display_state();
    SDL_DisplayMode mode{};
    if (!is_listed(width, height, refresh_rate, &mode)) {
        return false;
    }
    const DisplaySimulation* simulation = state.simulation;
    if (simulation != nullptr && simulation->accepts_full_screen_mode != nullptr &&
        !simulation->accepts_full_screen_mode(width, height, refresh_rate, simulation->context)) {
        return false;
    }
    DisplayWindow* window = state.game_window;
    if (window != nullptr) {
        DriverAllocationScope scope;
        if (SDL_SetWindowDisplayMode(window->window, &mode) != 0 ||
            SDL_SetWindowFullscreen(window->window, SDL_WINDOW_FULLSCREEN) != 0) {
            return false;
        }
    }
    state.full_screen_mode = mode;
    state.full_screen_mode_set = true;
    return true;
}

void restore_desktop_display_mode() {
    SdlDisplayState& state = get_sdl_display_state();
    state.full_screen_mode_set = false;
    if (state.game_window != nullptr) {
        SDL_SetWindowFullscreen(state.game_window->window, 0);
    }
}

bool is_full_screen_mode_set() {
    return get_sdl_display_state().full_screen_mode_set;
}

uint32_t get_desktop_bits_per_pixel() {
    const SdlDisplayState& state = get_sdl_display_state();
    if (state.full_screen_mode_set) {
        return 32;
    }
    if (state.simulation != nullptr && state.simulation->desktop_bits_per_pixel != 0) {
        return state.simulation->desktop_bits_per_pixel;
    }
    SDL_DisplayMode mode{};
    if (!state.video_open || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return 0;
    }
    return get_bits_per_pixel(mode.format);
}

}  // namespace zolt::platform
