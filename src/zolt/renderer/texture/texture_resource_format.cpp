#include "zolt/renderer/texture/texture_resource_format.h"

#include <cstring>

namespace zolt::renderer {

namespace {

constexpr TexelFormatInfo texel_formats[] = {
    {TexelFormat::rgba16, 8, 64, 1, true},
    {TexelFormat::rgba8, 4, 32, 1, true},
    {TexelFormat::rgb16, 6, 64, 1, true},
    {TexelFormat::rgb8, 3, 32, 1, true},
    {TexelFormat::luminance16_alpha16, 4, 32, 1, true},
    {TexelFormat::luminance8_alpha8, 2, 16, 1, true},
    {TexelFormat::luminance16, 2, 16, 1, true},
    {TexelFormat::luminance8, 1, 8, 1, true},
    // The assumed bits of depth textures follow the chosen shadow-map format.
    {TexelFormat::depth, 4, 32, 1, false},
    {TexelFormat::rgba16f, 8, 64, 1, true},
    {TexelFormat::dxt1, 8, 4, 4, true},
    {TexelFormat::dxt3, 16, 8, 4, true},
    {TexelFormat::dxt5, 16, 8, 4, true},
};

constexpr uint64_t max_resource_bytes = 0xFFFFFFFFu;

uint32_t get_possible_level_count(uint32_t width, uint32_t height, uint32_t depth) {
    uint32_t largest = width > height ? width : height;
    largest = largest > depth ? largest : depth;
    return static_cast<uint32_t>(std::bit_width(largest));
}

}  // namespace

const TexelFormatInfo* find_texel_format(uint32_t texel_format_bits) {
    for (const TexelFormatInfo& info : texel_formats) {
        if (static_cast<uint32_t>(info.format) == texel_format_bits) {
            return &info;
        }
    }
    return nullptr;
}

uint64_t get_surface_size(const TexelFormatInfo& info, uint32_t width, uint32_t height, uint32_t depth) {
    const uint32_t block = info.block_dimension;
    const uint64_t elements = uint64_t{(width + block - 1) / block} * ((height + block - 1) / block) *
                              (block == 1 ? depth : (depth + block - 1) / block);
    return elements * info.element_bytes;
}

const char* describe_texture_resource_fault(TextureResourceFault fault) {
    switch (fault) {
    case TextureResourceFault::ok:
        return "no fault";
    case TextureResourceFault::short_header:
        return "the header resource is shorter than 20 bytes";
    case TextureResourceFault::unknown_target:
        return "the target is not 2D, 3D or cube map";
    case TextureResourceFault::unknown_texel_format:
        return "the texel format is unknown";
    case TextureResourceFault::texel_format_not_in_resources:
        return "the texel format is for render targets only";
    case TextureResourceFault::compressed_3d:
        return "compressed 3D textures are not supported";
    case TextureResourceFault::bad_dimensions:
        return "the width, height or depth do not fit the target";
    case TextureResourceFault::bad_level_count:
        return "the level count does not fit the size";
    case TextureResourceFault::bad_segments:
        return "the streamed segments leave no resident level";
    case TextureResourceFault::segment_size_mismatch:
        return "a streamed segment's size differs from its level's";
    case TextureResourceFault::resident_size_mismatch:
        return "the resident levels' size differs from what the header describes";
    }
    return "unknown fault";
}

TextureResourceFault check_texture_header(const void* header, uint32_t header_size, TextureLayout* layout) {
    if (header_size < texture_header_size) {
        return TextureResourceFault::short_header;
    }
    TextureLayout& out = *layout;
    out = {};
    std::memcpy(&out.header, header, texture_header_size);
    const TextureHeader& fields = out.header;
    const uint32_t target_bits = get_texture_target_bits(fields.format);
    if (target_bits > static_cast<uint32_t>(TextureTarget::cube_map)) {
        return TextureResourceFault::unknown_target;
    }
    out.target = static_cast<TextureTarget>(target_bits);
    out.texel = find_texel_format(get_texel_format_bits(fields.format));
    if (out.texel == nullptr) {
        return TextureResourceFault::unknown_texel_format;
    }
    if (!out.texel->in_resources) {
        return TextureResourceFault::texel_format_not_in_resources;
    }
    // S3TC has no 3D blocks: such a texture could never be uploaded.
    if (out.target == TextureTarget::texture_3d && is_compressed_texel_format(*out.texel)) {
        return TextureResourceFault::compressed_3d;
    }
    if (fields.width == 0 || fields.height == 0 || fields.depth == 0 ||
        (out.target != TextureTarget::texture_3d && fields.depth != 1) ||
        (out.target == TextureTarget::cube_map && fields.width != fields.height)) {
        return TextureResourceFault::bad_dimensions;
    }
    out.level_count = get_texture_level_count(fields.format);
    if (out.level_count == 0 || out.level_count > max_texture_level_count ||
        out.level_count > get_possible_level_count(fields.width, fields.height, fields.depth)) {
        return TextureResourceFault::bad_level_count;
    }
    out.face_count = out.target == TextureTarget::cube_map ? 6 : 1;
    uint64_t total = 0;
    for (uint32_t level = 0; level < out.level_count; ++level) {
        const uint64_t surface =
            get_surface_size(*out.texel, get_level_dimension(fields.width, level),
                             get_level_dimension(fields.height, level), get_level_dimension(fields.depth, level));
        const uint64_t size = uint64_t{round_up_to_4(surface)} * out.face_count;
        total += size;
        if (surface > max_resource_bytes || total > max_resource_bytes) {
            return TextureResourceFault::bad_dimensions;
        }
        out.level_sizes[level] = static_cast<uint32_t>(size);
    }
    if (fields.first_segment_size == 0 && fields.second_segment_size != 0) {
        return TextureResourceFault::bad_segments;
    }
    out.streamed_segment_count =
        (fields.first_segment_size != 0 ? 1u : 0u) + (fields.second_segment_size != 0 ? 1u : 0u);
    if (out.streamed_segment_count >= out.level_count) {
        return TextureResourceFault::bad_segments;
    }
    if ((out.streamed_segment_count >= 1 && fields.first_segment_size != out.level_sizes[0]) ||
        (out.streamed_segment_count == 2 && fields.second_segment_size != out.level_sizes[1])) {
        return TextureResourceFault::segment_size_mismatch;
    }
    for (uint32_t level = 0; level < out.level_count; ++level) {
        (level < out.streamed_segment_count ? out.streamed_size : out.resident_size) += out.level_sizes[level];
    }
    return TextureResourceFault::ok;
}

TextureResourceFault check_resident_size(const TextureLayout& layout, uint32_t resident_size) {
    return resident_size == layout.resident_size ? TextureResourceFault::ok
                                                 : TextureResourceFault::resident_size_mismatch;
}

}  // namespace zolt::renderer
