#pragma once
// One level's texels in an uncompressed resource texel format, as the
// engine uploads them: RGBA8 as B, G, R, A bytes; RGB8 as R, G, B; 16-bit
// channels little-endian; RGBA16F as IEEE half floats of the stored values.
// Luminance is the grey of a grey image, and of a colour image the weighted
// sum 0.2126 R + 0.7152 G + 0.0722 B of its stored values.
#include <cstdint>
#include <vector>

#include "mipmap_builder.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {

// The nearest half float, ties to even; infinity beyond its range.
uint16_t convert_to_half(float value);

// A stored value from 0 to 1 as an 8- or 16-bit channel, rounded to nearest.
uint8_t quantize_to_8_bits(float value);
uint16_t quantize_to_16_bits(float value);

// Appends the level's texels; false for a compressed format.
bool encode_texels(const LevelImage& level, renderer::TexelFormat format, bool is_grey, std::vector<uint8_t>* out);

}  // namespace zolt::tools
