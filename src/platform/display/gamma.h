#pragma once
// The gamma ramp of the display the game window is on: 256 words for red,
// then 256 for green, then 256 for blue. Main thread only.
#include <cstdint>

namespace zolt::platform {

struct DisplayWindow;

constexpr uint32_t gamma_ramp_word_count = 3 * 256;

// False when the display's ramp cannot be read.
bool read_gamma_ramp(DisplayWindow* window, uint16_t* ramp);
// False when the display refuses it.
bool write_gamma_ramp(DisplayWindow* window, const uint16_t* ramp);

}  // namespace zolt::platform
