#include "texture_layout.h"

#include <cstdint>
#include <cstring>

namespace zolt::tools {

using renderer::TextureLayout;
using renderer::TextureResourceFault;

uint32_t make_shape_format(const TextureShape& shape) {
    const uint32_t wrap_bits = (shape.is_wrap_repeat ? renderer::texture_format_wrap_repeat : 0u) |
                               (shape.is_second_axis_flipped ? renderer::texture_format_second_axis_flipped : 0u);
    return renderer::make_texture_format(shape.texel_format, shape.target, shape.level_count, shape.filter, wrap_bits,
                                         shape.is_lightmap);
}

bool lay_out_texture(const TextureShape& shape, const std::vector<std::vector<std::vector<uint8_t>>>& surfaces,
                     TextureResources* resources, std::string* error) {
    *resources = {};
    if (surfaces.size() != shape.level_count) {
        *error =
            "the texture has " + std::to_string(surfaces.size()) + " levels, not " + std::to_string(shape.level_count);
        return false;
    }
    if (shape.width == 0 || shape.height == 0 || shape.width > UINT16_MAX || shape.height > UINT16_MAX) {
        *error = "the texture is " + std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                 " texels; its edges must be 1 to " + std::to_string(UINT16_MAX);
        return false;
    }
    std::vector<uint32_t> level_sizes;
    renderer::TextureHeader header{};
    header.format = make_shape_format(shape);
    header.width = static_cast<uint16_t>(shape.width);
    header.height = static_cast<uint16_t>(shape.height);
    header.depth = 1;
    for (uint32_t level = 0; level < shape.level_count; ++level) {
        std::vector<uint8_t>& resource =
            level < shape.streamed_segment_count ? resources->streamed : resources->resident;
        const size_t level_start = resource.size();
        for (const std::vector<uint8_t>& surface : surfaces[level]) {
            resource.insert(resource.end(), surface.begin(), surface.end());
            resource.resize(renderer::round_up_to_4(resource.size()), 0);
        }
        const auto level_size = static_cast<uint32_t>(resource.size() - level_start);
        level_sizes.push_back(level_size);
        if (level == 0 && shape.streamed_segment_count >= 1) {
            header.first_segment_size = level_size;
        } else if (level == 1 && shape.streamed_segment_count == 2) {
            header.second_segment_size = level_size;
        }
    }
    resources->header.resize(renderer::texture_header_size);
    std::memcpy(resources->header.data(), &header, renderer::texture_header_size);

    // What the engine would refuse is never written.
    TextureLayout layout;
    TextureResourceFault fault = renderer::check_texture_header(
        resources->header.data(), static_cast<uint32_t>(resources->header.size()), &layout);
    if (fault == TextureResourceFault::ok) {
        fault = renderer::check_resident_size(layout, static_cast<uint32_t>(resources->resident.size()));
    }
    if (fault == TextureResourceFault::ok && layout.streamed_size != resources->streamed.size()) {
        fault = TextureResourceFault::segment_size_mismatch;
    }
    if (fault != TextureResourceFault::ok) {
        *error =
            std::string("the texture's resources are malformed: ") + renderer::describe_texture_resource_fault(fault);
        return false;
    }
    for (uint32_t level = 0; level < shape.level_count; ++level) {
        if (surfaces[level].size() != layout.face_count || level_sizes[level] != layout.level_sizes[level]) {
            *error = "level " + std::to_string(level) + " holds " + std::to_string(surfaces[level].size()) +
                     " surfaces of " + std::to_string(level_sizes[level]) + " bytes, not " +
                     std::to_string(layout.face_count) + " of " + std::to_string(layout.level_sizes[level]);
            return false;
        }
    }
    return true;
}

}  // namespace zolt::tools
