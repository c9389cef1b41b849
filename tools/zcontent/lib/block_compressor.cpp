#include "block_compressor.h"

#include <algorithm>
#include <cstring>

// stb_dxt's implementation lives here; it needs memcpy declared first.
#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include "texel_encoder.h"

namespace zolt::tools {
namespace {

using renderer::TexelFormat;

constexpr uint32_t block_texel_count = dxt_block_edge * dxt_block_edge;
constexpr uint32_t colour_block_size = 8;
constexpr uint32_t alpha_block_size = 8;
// Content is built once and loaded many times: take stb_dxt's better fit.
constexpr int compression_mode = STB_DXT_HIGHQUAL;

void gather_block(const LevelImage& level, uint32_t block_x, uint32_t block_y, bool is_opaque,
                  uint8_t (&rgba)[block_texel_count * 4]) {
    for (uint32_t row = 0; row < dxt_block_edge; ++row) {
        const uint32_t y = std::min(block_y * dxt_block_edge + row, level.height - 1);
        for (uint32_t column = 0; column < dxt_block_edge; ++column) {
            const uint32_t x = std::min(block_x * dxt_block_edge + column, level.width - 1);
            uint8_t* texel = &rgba[(row * dxt_block_edge + column) * 4];
            for (uint32_t channel = 0; channel < 3; ++channel) {
                texel[channel] = quantize_to_8_bits(level.get(x, y, channel));
            }
            // stb_dxt wants a constant alpha when it is not stored.
            texel[3] = is_opaque ? 0xFF : quantize_to_8_bits(level.get(x, y, 3));
        }
    }
}

// Sixteen 4-bit alphas, texel 0 in the low bits of the first byte.
void put_explicit_alpha(const uint8_t (&rgba)[block_texel_count * 4], uint8_t* out) {
    for (uint32_t texel = 0; texel < block_texel_count; texel += 2) {
        const auto first = static_cast<uint8_t>((rgba[texel * 4 + 3] * 15 + 127) / 255);
        const auto second = static_cast<uint8_t>((rgba[(texel + 1) * 4 + 3] * 15 + 127) / 255);
        out[texel / 2] = static_cast<uint8_t>(first | second << 4);
    }
}

}  // namespace

bool compress_blocks(const LevelImage& level, TexelFormat format, std::vector<uint8_t>* out) {
    if (format != TexelFormat::dxt1 && format != TexelFormat::dxt3 && format != TexelFormat::dxt5) {
        return false;
    }
    const uint32_t blocks_across = (level.width + dxt_block_edge - 1) / dxt_block_edge;
    const uint32_t blocks_down = (level.height + dxt_block_edge - 1) / dxt_block_edge;
    const uint32_t block_size = format == TexelFormat::dxt1 ? colour_block_size : alpha_block_size + colour_block_size;
    size_t offset = out->size();
    out->resize(offset + size_t{blocks_across} * blocks_down * block_size);
    uint8_t rgba[block_texel_count * 4];
    for (uint32_t block_y = 0; block_y < blocks_down; ++block_y) {
        for (uint32_t block_x = 0; block_x < blocks_across; ++block_x) {
            uint8_t* block = out->data() + offset;
            switch (format) {
            case TexelFormat::dxt1:
                gather_block(level, block_x, block_y, true, rgba);
                stb_compress_dxt_block(block, rgba, 0, compression_mode);
                break;
            case TexelFormat::dxt3:
                gather_block(level, block_x, block_y, false, rgba);
                put_explicit_alpha(rgba, block);
                for (uint32_t texel = 0; texel < block_texel_count; ++texel) {
                    rgba[texel * 4 + 3] = 0xFF;
                }
                stb_compress_dxt_block(block + alpha_block_size, rgba, 0, compression_mode);
                break;
            default:
                gather_block(level, block_x, block_y, false, rgba);
                stb_compress_dxt_block(block, rgba, 1, compression_mode);
                break;
            }
            offset += block_size;
        }
    }
    return true;
}

}  // namespace zolt::tools
