#pragma once
// One level's texels as S3TC blocks of 4 x 4 texels, row by row, through
// stb_dxt. Blocks that reach past a level's edge repeat its last column and
// row. DXT1 keeps no alpha (every texel opaque); DXT3 stores each texel's
// alpha in 4 bits before a colour block; DXT5 interpolates alpha as stb_dxt
// encodes it.
#include <cstdint>
#include <vector>

#include "mipmap_builder.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {

constexpr uint32_t dxt_block_edge = 4;

// Appends the level's blocks; false for a format that is not DXT1, 3 or 5.
bool compress_blocks(const LevelImage& level, renderer::TexelFormat format, std::vector<uint8_t>* out);

}  // namespace zolt::tools
