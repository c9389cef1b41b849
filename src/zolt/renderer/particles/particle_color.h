#pragma once
// Packed colours (alpha in the top byte, then red, green, blue) as particles
// blend them. Any thread.
#include <cstdint>

#include "zolt/core/script_objects/random_generator.h"

namespace zolt::renderer {

// Each channel moves from a to b by t in the 0..1 scale; a channel at or
// below 0 packs to 0, at or above 1 to 255, else truncates channel x 255.
uint32_t blend_packed_colors(uint32_t a, uint32_t b, float t);

// A colour between two ends: with uniform_blend one draw places every
// channel, otherwise each channel (red, green, blue, alpha) draws its own
// byte between the two. Equal ends draw nothing.
uint32_t pick_color_between(uint32_t a, uint32_t b, bool uniform_blend, core::RandomGenerator& random);

}  // namespace zolt::renderer
