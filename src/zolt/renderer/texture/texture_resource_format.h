#pragma once
// Texture resources, one definition for the engine's texture objects and the
// content tools. A resource texture is three resources: the header (its id,
// low two bits 0), the resident levels (id | 1, always loaded) and the
// streamed levels (id | 2, stored as is and read on demand). Levels run from
// the largest down, each surface (each face of a cube level) padded to a
// multiple of 4 bytes; with s streamed segments the top s levels live in the
// streamed resource (segment 1 = level 0, segment 2 = level 1) and the rest in
// the resident one. Any thread may call.
#include <bit>
#include <cstdint>

namespace zolt::renderer {

static_assert(std::endian::native == std::endian::little, "texture records are copied as little-endian words");

// Texture ids.
constexpr bool is_resource_texture_id(uint32_t id) {
    return (id >> 28) == 2;
}
constexpr bool is_render_target_texture_id(uint32_t id) {
    return id < 0x10000000u;
}
constexpr uint32_t get_texture_header_id(uint32_t id) {
    return id & ~3u;
}
constexpr uint32_t get_resident_levels_id(uint32_t id) {
    return (id & ~3u) | 1u;
}
constexpr uint32_t get_streamed_levels_id(uint32_t id) {
    return (id & ~3u) | 2u;
}

// The format word.
constexpr uint32_t texture_format_wrap_repeat = 0x1;          // S (and T of 3D textures) repeat, else clamp
constexpr uint32_t texture_format_second_axis_flipped = 0x2;  // T (2D, cube) or R (3D) takes the other wrap mode
constexpr uint32_t texture_format_filter_shift = 2;
constexpr uint32_t texture_format_filter_mask = 0xC;
constexpr uint32_t texture_format_texel_mask = 0x3F0;
constexpr uint32_t texture_format_target_shift = 12;
constexpr uint32_t texture_format_target_mask = 0xF000;
constexpr uint32_t texture_format_level_shift = 16;
constexpr uint32_t texture_format_level_mask = 0xF0000;
constexpr uint32_t texture_format_lightmap = 0x100000;

enum class TextureFilter : uint32_t { nearest = 0, bilinear = 1, trilinear = 2, anisotropic = 3 };
enum class TextureTarget : uint32_t { texture_2d = 0, texture_3d = 1, cube_map = 2 };

// Bits 4-9 of the format word, as they stand there.
enum class TexelFormat : uint32_t {
    rgba16 = 0,
    rgba8 = 16,  // B, G, R, A bytes in resources
    rgb16 = 32,
    rgb8 = 48,
    luminance16_alpha16 = 64,
    luminance8_alpha8 = 80,
    luminance16 = 96,
    luminance8 = 112,
    depth = 128,    // render targets only
    rgba16f = 144,  // half floats in resources
    dxt1 = 512,
    dxt3 = 528,
    dxt5 = 544,
};

constexpr TextureFilter get_texture_filter(uint32_t format) {
    return static_cast<TextureFilter>((format & texture_format_filter_mask) >> texture_format_filter_shift);
}
constexpr uint32_t get_texel_format_bits(uint32_t format) {
    return format & texture_format_texel_mask;
}
constexpr uint32_t get_texture_target_bits(uint32_t format) {
    return (format & texture_format_target_mask) >> texture_format_target_shift;
}
constexpr uint32_t get_texture_level_count(uint32_t format) {
    return (format & texture_format_level_mask) >> texture_format_level_shift;
}
constexpr bool is_lightmap_format(uint32_t format) {
    return (format & texture_format_lightmap) != 0;
}
constexpr uint32_t make_texture_format(TexelFormat texel, TextureTarget target, uint32_t level_count,
                                       TextureFilter filter, uint32_t wrap_bits = 0, bool is_lightmap = false) {
    return (wrap_bits & 3u) | static_cast<uint32_t>(filter) << texture_format_filter_shift |
           (static_cast<uint32_t>(texel) & texture_format_texel_mask) |
           static_cast<uint32_t>(target) << texture_format_target_shift |
           (level_count << texture_format_level_shift & texture_format_level_mask) |
           (is_lightmap ? texture_format_lightmap : 0u);
}

// What a texel format costs: bytes per element in a resource (a 4 x 4 block
// for compressed formats), the bits per texel the memory estimate assumes,
// and the block edge (1 uncompressed, 4 compressed).
struct TexelFormatInfo {
    TexelFormat format;
    uint32_t element_bytes;
    uint32_t assumed_bits;
    uint32_t block_dimension;
    bool in_resources;  // false for the depth format of render targets
};

// Null for a value that names no texel format.
const TexelFormatInfo* find_texel_format(uint32_t texel_format_bits);
constexpr bool is_compressed_texel_format(const TexelFormatInfo& info) {
    return info.block_dimension != 1;
}

// The header resource as it lies in a pack: 20 bytes, the two segment sizes
// at offsets 12 and 16.
struct TextureHeader {
    uint32_t format;
    uint16_t width;
    uint16_t height;
    uint16_t depth;
    uint16_t reserved;
    uint32_t first_segment_size;   // 0 when there is none
    uint32_t second_segment_size;  // 0 when there is none
};
static_assert(sizeof(TextureHeader) == 20);
constexpr uint32_t texture_header_size = sizeof(TextureHeader);

constexpr uint32_t max_texture_level_count = 15;
constexpr uint32_t max_streamed_segment_count = 2;

// One level's edge: halved once per level below the top, never below 1.
constexpr uint32_t get_level_dimension(uint32_t top, uint32_t level) {
    const uint32_t size = level < 32 ? top >> level : 0;
    return size > 0 ? size : 1;
}
constexpr uint32_t round_up_to_4(uint64_t size) {
    return static_cast<uint32_t>((size + 3) & ~uint64_t{3});
}

// Bytes of one surface (one face of one level) as the upload reads them,
// before padding; 64-bit so that no claimed size can wrap.
uint64_t get_surface_size(const TexelFormatInfo& info, uint32_t width, uint32_t height, uint32_t depth);

// A checked texture: its header fields and the byte layout of its levels.
struct TextureLayout {
    TextureHeader header;
    const TexelFormatInfo* texel;
    TextureTarget target;
    uint32_t level_count;
    uint32_t face_count;              // 6 for cube maps, else 1
    uint32_t streamed_segment_count;  // 0, 1 or 2
    // Padded bytes of each level, all faces together.
    uint32_t level_sizes[max_texture_level_count];
    uint32_t resident_size;  // levels streamed_segment_count .. level_count - 1
    uint32_t streamed_size;  // both segments
};

// Why a texture's resources do not describe one texture; ok when they do.
enum class TextureResourceFault : uint32_t {
    ok = 0,
    short_header,
    unknown_target,
    unknown_texel_format,
    texel_format_not_in_resources,
    compressed_3d,
    bad_dimensions,
    bad_level_count,
    bad_segments,
    segment_size_mismatch,
    resident_size_mismatch,
};
const char* describe_texture_resource_fault(TextureResourceFault fault);

// Checks the header resource and lays the texture out. The resident size is
// checked when given (the resident-levels resource's unpacked size); the
// streamed resource, read only on demand, is checked by its reader.
TextureResourceFault check_texture_header(const void* header, uint32_t header_size, TextureLayout* layout);
TextureResourceFault check_resident_size(const TextureLayout& layout, uint32_t resident_size);

}  // namespace zolt::renderer
