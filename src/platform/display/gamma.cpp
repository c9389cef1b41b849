#include "platform/display/gamma.h"

#include <SDL.h>

#include "platform/display/sdl_display_state.h"

namespace zolt::platform {

bool read_gamma_ramp(DisplayWindow* window, uint16_t* ramp) {
    const DisplaySimulation* simulation = get_sdl_display_state().simulation;
    if (simulation != nullptr && simulation->simulates_gamma) {
        if (!simulation->gamma_readable) {
            return false;
        }
        for (uint32_t index = 0; index < 256; ++index) {
            const auto level = static_cast<uint16_t>(index * 257u);
            ramp[index] = ramp[256 + index] = ramp[512 + index] = level;
        }
        return true;
    }
    return window != nullptr && SDL_GetWindowGammaRamp(window->window, ramp, ramp + 256, ramp + 512) == 0;
}

bool write_gamma_ramp(DisplayWindow* window, const uint16_t* ramp) {
    const DisplaySimulation* simulation = get_sdl_display_state().simulation;
    if (simulation != nullptr && simulation->simulates_gamma) {
        if (simulation->gamma_ramp_written != nullptr) {
            simulation->gamma_ramp_written(ramp, simulation->context);
        }
        return true;
    }
    return window != nullptr && SDL_SetWindowGammaRamp(window->window, ramp, ramp + 256, ramp + 512) == 0;
}

}  // namespace zolt::platform
