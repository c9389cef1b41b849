#pragma once
// The keyboard's scan codes as the input layer numbers them (set-1 codes,
// 0x80 | code for the extended keys) for SDL's physical key codes. Internal
// to this folder.
#include <SDL.h>

#include <cstdint>

namespace zolt::platform {

// 0 for a key without a scan code.
uint32_t get_scan_code(SDL_Scancode scancode);
// SDL_SCANCODE_UNKNOWN for a scan code without a key.
SDL_Scancode get_sdl_scancode(uint32_t scan_code);

}  // namespace zolt::platform
