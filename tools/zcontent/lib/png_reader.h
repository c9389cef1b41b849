#pragma once
// PNG files in through libpng: every colour type and bit depth (grey,
// grey with alpha, RGB, RGBA, palette; 1 to 16 bits; interlaced or not) is
// expanded to one form, RGBA with 16 bits a channel. Stored values are kept
// as they are: no gamma or colour-profile conversion.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

struct SourceImage {
    uint32_t width = 0;
    uint32_t height = 0;
    bool is_grey = false;          // red, green and blue are equal in every texel
    bool has_alpha = false;        // an alpha channel or a transparent colour
    std::vector<uint16_t> texels;  // R, G, B, A; 8-bit values v become v x 257

    uint16_t get(uint32_t x, uint32_t y, uint32_t channel) const {
        return texels[(size_t{y} * width + x) * 4 + channel];
    }
};

// False, with the reason, for bytes that are not a whole PNG image or whose
// edges exceed max_edge.
bool decode_png(const uint8_t* bytes, size_t size, uint32_t max_edge, SourceImage* image, std::string* error);

// False, with the file name and the reason, for a file that cannot be read
// or decoded.
bool read_png_file(const std::string& path, uint32_t max_edge, SourceImage* image, std::string* error);

}  // namespace zolt::tools
