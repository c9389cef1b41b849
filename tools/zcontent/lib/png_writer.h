#pragma once
// PNG files out through libpng, in any colour type and bit depth, so that
// tests, benchmarks and sample content can make the images the builder
// reads.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

enum class PngColourType : uint8_t { grey, grey_alpha, rgb, rgba, palette };

struct PngPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    PngColourType colour_type = PngColourType::rgba;
    uint32_t bit_depth = 8;  // 1, 2, 4, 8 or 16 as PNG allows for the colour type
    bool is_interlaced = false;
    // One value a channel, texel by texel, row by row; palette indices for
    // palette pictures.
    std::vector<uint16_t> samples;
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint8_t> palette_alpha;  // a tRNS chunk when not empty
};

uint32_t get_png_channel_count(PngColourType colour_type);

bool encode_png(const PngPicture& picture, std::vector<uint8_t>* bytes, std::string* error);

}  // namespace zolt::tools
