#pragma once
// The primary display's gamma ramp through X RandR: the primary output's
// CRTC, resampled to and from 256 entries per colour. Without an X display
// or a CRTC with a ramp, reading fails and nothing is written.
#include <cstdint>

namespace zolt::platform {

bool read_display_gamma_ramp(uint16_t* red, uint16_t* green, uint16_t* blue);
bool write_display_gamma_ramp(const uint16_t* red, const uint16_t* green, const uint16_t* blue);

}  // namespace zolt::platform
