#pragma once
// Lays a texture's encoded surfaces out as its three resources, the way
// renderer/texture/texture_resource_format.h describes them: the 20-byte
// header, the resident levels and the streamed levels. Every surface is
// padded with zero bytes to a multiple of 4; a cube map's six faces follow
// one another within each level. The result is checked as the engine
// checks it before it is answered.
#include <cstdint>
#include <string>
#include <vector>

#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {

struct TextureShape {
    renderer::TexelFormat texel_format = renderer::TexelFormat::rgba8;
    renderer::TextureTarget target = renderer::TextureTarget::texture_2d;
    renderer::TextureFilter filter = renderer::TextureFilter::trilinear;
    bool is_wrap_repeat = true;
    bool is_second_axis_flipped = false;
    bool is_lightmap = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t level_count = 1;
    uint32_t streamed_segment_count = 0;  // the top levels that go to the streamed resource
};

struct TextureResources {
    std::vector<uint8_t> header;    // resource id
    std::vector<uint8_t> resident;  // resource id | 1
    std::vector<uint8_t> streamed;  // resource id | 2, empty without streamed segments
};

// The format word for the shape.
uint32_t make_shape_format(const TextureShape& shape);

// surfaces[level][face], unpadded. False, with a message, when the surfaces
// do not make the texture the shape describes.
bool lay_out_texture(const TextureShape& shape, const std::vector<std::vector<std::vector<uint8_t>>>& surfaces,
                     TextureResources* resources, std::string* error);

}  // namespace zolt::tools
