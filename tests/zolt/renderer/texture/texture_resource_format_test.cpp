#include "zolt/renderer/texture/texture_resource_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace zolt::renderer {
namespace {

using Fault = TextureResourceFault;

struct HeaderCase {
    const char* name;
    uint32_t format;
    uint16_t width, height, depth;
    uint32_t first_segment, second_segment;
    Fault fault;
    std::vector<uint32_t> level_sizes;  // checked when accepted
    uint32_t resident_size;
    uint32_t streamed_size;
};

constexpr uint32_t format(TexelFormat texel, TextureTarget target, uint32_t levels) {
    return make_texture_format(texel, target, levels, TextureFilter::trilinear);
}

constexpr auto rgba8 = TexelFormat::rgba8;
constexpr auto flat = TextureTarget::texture_2d;

const HeaderCase header_cases[] = {
    {"full chain", format(rgba8, flat, 4), 8, 8, 1, 0, 0, Fault::ok, {256, 64, 16, 4}, 340, 0},
    // 5x3 RGB: 45 bytes padded to 48, then 2x1 (6 -> 8), then 1x1 (3 -> 4).
    {"odd sizes padded", format(TexelFormat::rgb8, flat, 3), 5, 3, 1, 0, 0, Fault::ok, {48, 8, 4}, 60, 0},
    {"dxt1 256", format(TexelFormat::dxt1, flat, 1), 256, 256, 1, 0, 0, Fault::ok, {32768}, 32768, 0},
    // Levels below 4 texels still take one whole block.
    {"dxt5 small levels", format(TexelFormat::dxt5, flat, 3), 4, 4, 1, 0, 0, Fault::ok, {16, 16, 16}, 48, 0},
    {"cube faces",
     format(TexelFormat::luminance8, TextureTarget::cube_map, 2),
     2,
     2,
     1,
     0,
     0,
     Fault::ok,
     {24, 24},
     48,
     0},
    {"3d slices",
     format(TexelFormat::luminance8, TextureTarget::texture_3d, 2),
     2,
     2,
     2,
     0,
     0,
     Fault::ok,
     {8, 4},
     12,
     0},
    {"one segment", format(rgba8, flat, 3), 4, 4, 1, 64, 0, Fault::ok, {64, 16, 4}, 20, 64},
    {"two segments", format(rgba8, flat, 3), 4, 4, 1, 64, 16, Fault::ok, {64, 16, 4}, 4, 80},
    {"half floats", format(TexelFormat::rgba16f, flat, 1), 3, 1, 1, 0, 0, Fault::ok, {24}, 24, 0},

    {"unknown target", format(rgba8, flat, 1) | 0x3000, 4, 4, 1, 0, 0, Fault::unknown_target, {}, 0, 0},
    {"unknown texel format", format(rgba8, flat, 1) ^ 16 ^ 160, 4, 4, 1, 0, 0, Fault::unknown_texel_format, {}, 0, 0},
    {"depth format",
     format(TexelFormat::depth, flat, 1),
     4,
     4,
     1,
     0,
     0,
     Fault::texel_format_not_in_resources,
     {},
     0,
     0},
    {"compressed 3d",
     format(TexelFormat::dxt1, TextureTarget::texture_3d, 1),
     4,
     4,
     4,
     0,
     0,
     Fault::compressed_3d,
     {},
     0,
     0},
    {"zero width", format(rgba8, flat, 1), 0, 4, 1, 0, 0, Fault::bad_dimensions, {}, 0, 0},
    {"2d with depth", format(rgba8, flat, 1), 4, 4, 2, 0, 0, Fault::bad_dimensions, {}, 0, 0},
    {"cube not square", format(rgba8, TextureTarget::cube_map, 1), 4, 2, 1, 0, 0, Fault::bad_dimensions, {}, 0, 0},
    // 65535 x 65535 x 8 bytes is far beyond 32-bit sizes.
    {"size beyond 4 GB", format(TexelFormat::rgba16, flat, 1), 65535, 65535, 1, 0, 0, Fault::bad_dimensions, {}, 0, 0},
    {"no levels", format(rgba8, flat, 0), 4, 4, 1, 0, 0, Fault::bad_level_count, {}, 0, 0},
    {"more levels than halvings", format(rgba8, flat, 4), 4, 4, 1, 0, 0, Fault::bad_level_count, {}, 0, 0},
    {"second segment alone", format(rgba8, flat, 3), 4, 4, 1, 0, 16, Fault::bad_segments, {}, 0, 0},
    {"no resident level", format(rgba8, flat, 2), 2, 2, 1, 16, 4, Fault::bad_segments, {}, 0, 0},
    {"segment size differs", format(rgba8, flat, 3), 4, 4, 1, 60, 0, Fault::segment_size_mismatch, {}, 0, 0},
    {"second segment differs", format(rgba8, flat, 3), 4, 4, 1, 64, 20, Fault::segment_size_mismatch, {}, 0, 0},
};

std::vector<uint8_t> make_header(const HeaderCase& row) {
    TextureHeader header{row.format, row.width, row.height, row.depth, 0, row.first_segment, row.second_segment};
    std::vector<uint8_t> bytes(sizeof(header));
    std::memcpy(bytes.data(), &header, sizeof(header));
    return bytes;
}

TEST(TextureResourceFormat, HeadersAreCheckedAndLaidOut) {
    for (const HeaderCase& row : header_cases) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> header = make_header(row);
        TextureLayout layout;
        ASSERT_EQ(check_texture_header(header.data(), static_cast<uint32_t>(header.size()), &layout), row.fault)
            << describe_texture_resource_fault(check_texture_header(header.data(), 20, &layout));
        if (row.fault != Fault::ok) {
            continue;
        }
        ASSERT_EQ(layout.level_count, row.level_sizes.size());
        for (uint32_t level = 0; level < layout.level_count; ++level) {
            EXPECT_EQ(layout.level_sizes[level], row.level_sizes[level]) << "level " << level;
        }
        EXPECT_EQ(layout.resident_size, row.resident_size);
        EXPECT_EQ(layout.streamed_size, row.streamed_size);
        EXPECT_EQ(check_resident_size(layout, row.resident_size), Fault::ok);
        EXPECT_EQ(check_resident_size(layout, row.resident_size + 4), Fault::resident_size_mismatch);
    }
}

TEST(TextureResourceFormat, ShortHeaderIsRefusedBeforeAnyRead) {
    const std::vector<uint8_t> header = make_header(header_cases[0]);
    TextureLayout layout;
    for (uint32_t size = 0; size < texture_header_size; ++size) {
        EXPECT_EQ(check_texture_header(header.data(), size, &layout), Fault::short_header) << size;
    }
}

TEST(TextureResourceFormat, IdsNameTheirThreeResources) {
    EXPECT_TRUE(is_resource_texture_id(0x20000000));
    EXPECT_TRUE(is_resource_texture_id(0x2FFFFFFC));
    EXPECT_FALSE(is_resource_texture_id(0x30000000));
    EXPECT_FALSE(is_resource_texture_id(0x1FFFFFFC));
    EXPECT_TRUE(is_render_target_texture_id(0x40010));
    EXPECT_FALSE(is_render_target_texture_id(0x10000000));
    EXPECT_EQ(get_texture_header_id(0x20001237), 0x20001234u);
    EXPECT_EQ(get_resident_levels_id(0x20001234), 0x20001235u);
    EXPECT_EQ(get_streamed_levels_id(0x20001235), 0x20001236u);
}

}  // namespace
}  // namespace zolt::renderer
