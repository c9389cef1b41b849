#pragma once
// PackedColor, the colour word of the 2D overlay, texts and sprites: alpha
// in the top byte, then red, green and blue.
#include <cstdint>

namespace zolt::renderer {

using PackedColor = uint32_t;

constexpr PackedColor opaque_white = 0xFFFFFFFFu;

// Clamped to 0..1, times 255, truncated; a value that is not a number gives 0.
uint8_t color_float_to_byte(float x);
float color_byte_to_float(uint8_t byte);
// Keeps red, green and blue; the alpha byte from the float as above.
PackedColor set_color_alpha(PackedColor color, float alpha);
// The vertex order: red, green, blue, alpha in memory.
uint32_t to_vertex_color_bytes(PackedColor color);

}  // namespace zolt::renderer
