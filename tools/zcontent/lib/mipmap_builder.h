#pragma once
// Mipmap levels by a box filter: each level halves the edges of the one
// above (never below 1), a texel the average of the 2 x 2 texels under it.
// Where an edge is odd, each new texel covers 3 source texels with weights
// that give every source texel the same share, so no row or column is lost.
// Colour images are averaged in linear light (sRGB decoded, averaged,
// encoded again), alpha and linear data as they are stored.
#include <cstdint>
#include <vector>

#include "png_reader.h"

namespace zolt::tools {

// One level's texels, R, G, B, A as floats from 0 to 1 in stored (for
// colour, sRGB-encoded) values.
struct LevelImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<float> texels;

    float get(uint32_t x, uint32_t y, uint32_t channel) const { return texels[(size_t{y} * width + x) * 4 + channel]; }
};

// The levels of a full chain for an image of this size.
uint32_t get_full_level_count(uint32_t width, uint32_t height);

float decode_srgb(float value);
float encode_srgb(float value);

// Levels 0 .. level_count - 1; level 0 is the image itself.
std::vector<LevelImage> build_mipmaps(const SourceImage& image, uint32_t level_count, bool is_colour);

}  // namespace zolt::tools
