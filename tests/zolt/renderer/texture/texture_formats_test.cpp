// Every texel format, uploaded from a pack through the texture server and
// drawn texel for texel, reads back as the texels the test wrote.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

using opengl::gl;
using test_support::Pixel;
using test_support::TextureFixture;
using test_support::TextureWorld;

// The channels the test writes at a texel, as 8-bit values.
uint8_t red_at(uint32_t x, uint32_t y) {
    return static_cast<uint8_t>(16 * x + 3);
}
uint8_t green_at(uint32_t x, uint32_t y) {
    return static_cast<uint8_t>(16 * y + 5);
}
uint8_t blue_at(uint32_t x, uint32_t y) {
    return static_cast<uint8_t>((x * y * 7 + 9) & 0xFF);
}
uint8_t alpha_at(uint32_t x, uint32_t y) {
    return static_cast<uint8_t>(255 - 8 * (x + y));
}

// 16-bit channels as the 8-bit values times 257, which read back exactly.
void put16(uint8_t* element, uint32_t index, uint8_t value) {
    const uint16_t wide = static_cast<uint16_t>(value * 257);
    element[2 * index] = static_cast<uint8_t>(wide);
    element[2 * index + 1] = static_cast<uint8_t>(wide >> 8);
}

// Halves whose 8-bit readings are not near a rounding tie.
constexpr uint16_t halves[] = {0x0000, 0x3400, 0x3A00, 0x3C00, 0x3000, 0x3900};
constexpr uint8_t half_readings[] = {0, 64, 191, 255, 32, 159};

struct FormatRow {
    const char* name;
    TexelFormat texel;
    uint32_t width;
    uint32_t height;
    std::function<void(uint32_t x, uint32_t y, uint8_t* element)> write;
    std::function<Pixel(uint32_t x, uint32_t y)> expected;
};

Pixel rgba_at(uint32_t x, uint32_t y) {
    return {red_at(x, y), green_at(x, y), blue_at(x, y), alpha_at(x, y)};
}
Pixel luminance_at(uint32_t x, uint32_t y, uint8_t alpha) {
    return {red_at(x, y), red_at(x, y), red_at(x, y), alpha};
}

const FormatRow uncompressed_rows[] = {
    {"RGBA8 as B, G, R, A bytes", TexelFormat::rgba8, 8, 8,
     [](uint32_t x, uint32_t y, uint8_t* e) {
         e[0] = blue_at(x, y), e[1] = green_at(x, y), e[2] = red_at(x, y), e[3] = alpha_at(x, y);
     },
     rgba_at},
    {"RGB8 at an odd size", TexelFormat::rgb8, 5, 3,
     [](uint32_t x, uint32_t y, uint8_t* e) { e[0] = red_at(x, y), e[1] = green_at(x, y), e[2] = blue_at(x, y); },
     [](uint32_t x, uint32_t y) {
         return Pixel{red_at(x, y), green_at(x, y), blue_at(x, y), 255};
     }},
    {"RGBA16", TexelFormat::rgba16, 4, 4,
     [](uint32_t x, uint32_t y, uint8_t* e) {
         put16(e, 0, red_at(x, y)), put16(e, 1, green_at(x, y)), put16(e, 2, blue_at(x, y)),
             put16(e, 3, alpha_at(x, y));
     },
     rgba_at},
    {"RGB16 at an odd size", TexelFormat::rgb16, 3, 5,
     [](uint32_t x, uint32_t y, uint8_t* e) {
         put16(e, 0, red_at(x, y)), put16(e, 1, green_at(x, y)), put16(e, 2, blue_at(x, y));
     },
     [](uint32_t x, uint32_t y) {
         return Pixel{red_at(x, y), green_at(x, y), blue_at(x, y), 255};
     }},
    {"LA16", TexelFormat::luminance16_alpha16, 4, 4,
     [](uint32_t x, uint32_t y, uint8_t* e) { put16(e, 0, red_at(x, y)), put16(e, 1, alpha_at(x, y)); },
     [](uint32_t x, uint32_t y) { return luminance_at(x, y, alpha_at(x, y)); }},
    {"LA8 at an odd size", TexelFormat::luminance8_alpha8, 3, 3,
     [](uint32_t x, uint32_t y, uint8_t* e) { e[0] = red_at(x, y), e[1] = alpha_at(x, y); },
     [](uint32_t x, uint32_t y) { return luminance_at(x, y, alpha_at(x, y)); }},
    {"L16", TexelFormat::luminance16, 4, 2, [](uint32_t x, uint32_t y, uint8_t* e) { put16(e, 0, red_at(x, y)); },
     [](uint32_t x, uint32_t y) { return luminance_at(x, y, 255); }},
    {"L8 at an odd size", TexelFormat::luminance8, 7, 5,
     [](uint32_t x, uint32_t y, uint8_t* e) { e[0] = red_at(x, y); },
     [](uint32_t x, uint32_t y) { return luminance_at(x, y, 255); }},
    {"RGBA16F as halves", TexelFormat::rgba16f, 4, 4,
     [](uint32_t x, uint32_t y, uint8_t* e) {
         for (uint32_t channel = 0; channel < 4; ++channel) {
             const uint16_t half = halves[(x + y + channel) % 6];
             e[2 * channel] = static_cast<uint8_t>(half), e[2 * channel + 1] = static_cast<uint8_t>(half >> 8);
         }
     },
     [](uint32_t x, uint32_t y) {
         return Pixel{half_readings[(x + y) % 6], half_readings[(x + y + 1) % 6], half_readings[(x + y + 2) % 6],
                      half_readings[(x + y + 3) % 6]};
     }},
};

// Solid 4 x 4 blocks: colours in 5-6-5 bits expand by repeating their top
// bits, so every texel's reading is known.
struct BlockColour {
    uint16_t packed;
    Pixel expanded;
};
constexpr BlockColour block_colours[] = {
    {31 << 11, {255, 0, 0, 0}},
    {63 << 5, {0, 255, 0, 0}},
    {31, {0, 0, 255, 0}},
    {16 << 11 | 40 << 5 | 8, {132, 162, 66, 0}},
};
constexpr uint8_t dxt3_nibbles[] = {15, 8, 4, 0};
constexpr uint8_t dxt5_alphas[] = {255, 128, 64, 7};

void write_colour_block(uint8_t* block, uint16_t colour) {
    block[0] = static_cast<uint8_t>(colour), block[1] = static_cast<uint8_t>(colour >> 8);
    block[2] = block[3] = 0;                        // colour 1 below colour 0: the four-colour mode
    block[4] = block[5] = block[6] = block[7] = 0;  // every texel takes colour 0
}

uint32_t block_of(uint32_t x, uint32_t y) {
    return (x / 4 + 2 * (y / 4)) % 4;
}

const FormatRow compressed_rows[] = {
    {"DXT1", TexelFormat::dxt1, 8, 8,
     [](uint32_t bx, uint32_t by, uint8_t* e) { write_colour_block(e, block_colours[(bx + 2 * by) % 4].packed); },
     [](uint32_t x, uint32_t y) {
         Pixel pixel = block_colours[block_of(x, y)].expanded;
         pixel[3] = 255;
         return pixel;
     }},
    {"DXT3", TexelFormat::dxt3, 8, 8,
     [](uint32_t bx, uint32_t by, uint8_t* e) {
         const uint32_t block = (bx + 2 * by) % 4;
         for (uint32_t index = 0; index < 8; ++index) {
             e[index] = static_cast<uint8_t>(dxt3_nibbles[block] * 17);
         }
         write_colour_block(e + 8, block_colours[block].packed);
     },
     [](uint32_t x, uint32_t y) {
         Pixel pixel = block_colours[block_of(x, y)].expanded;
         pixel[3] = static_cast<uint8_t>(dxt3_nibbles[block_of(x, y)] * 17);
         return pixel;
     }},
    {"DXT5", TexelFormat::dxt5, 8, 8,
     [](uint32_t bx, uint32_t by, uint8_t* e) {
         const uint32_t block = (bx + 2 * by) % 4;
         e[0] = dxt5_alphas[block];
         e[1] = 0;
         for (uint32_t index = 2; index < 8; ++index) {
             e[index] = 0;  // every texel takes alpha 0
         }
         write_colour_block(e + 8, block_colours[block].packed);
     },
     [](uint32_t x, uint32_t y) {
         Pixel pixel = block_colours[block_of(x, y)].expanded;
         pixel[3] = dxt5_alphas[block_of(x, y)];
         return pixel;
     }},
};

TextureFixture make_flat_fixture(uint32_t id, const FormatRow& row) {
    TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(row.texel, TextureTarget::texture_2d, 1, TextureFilter::nearest);
    fixture.width = row.width;
    fixture.height = row.height;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, row.width, row.height, 1,
        [&row](uint32_t, uint32_t, uint32_t x, uint32_t y, uint8_t* element) { row.write(x, y, element); });
    return fixture;
}

class TextureFormats : public TextureWorld {};

TEST_F(TextureFormats, EveryTexelFormatReadsBackAsWritten) {
    std::vector<const FormatRow*> rows;
    for (const FormatRow& row : uncompressed_rows) {
        rows.push_back(&row);
    }
    for (const FormatRow& row : compressed_rows) {
        rows.push_back(&row);
    }
    std::vector<TextureFixture> fixtures;
    for (size_t index = 0; index < rows.size(); ++index) {
        fixtures.push_back(make_flat_fixture(0x20001000 + 0x100 * static_cast<uint32_t>(index), *rows[index]));
    }
    open_world(fixtures);
    for (size_t index = 0; index < rows.size(); ++index) {
        const FormatRow& row = *rows[index];
        SCOPED_TRACE(row.name);
        TextureObject* const texture = texture_server.create_texture(fixtures[index].id);
        const uint64_t bytes_before = get_buffer_object_bytes();
        ASSERT_TRUE(texture_server.initialize_pending_textures(true));
        EXPECT_EQ(texture->get_upload_state(), TextureUploadState::complete);
        EXPECT_EQ(get_buffer_object_bytes() - bytes_before,
                  texture->estimate_texture_bytes(TextureUploadState::complete));
        gl.glClearColor(0, 0, 0, 0);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        draw_texture(texture, 0, 0, static_cast<int32_t>(row.width), static_cast<int32_t>(row.height));
        const std::vector<uint8_t> colors = read_colors();
        for (uint32_t y = 0; y < row.height; ++y) {
            for (uint32_t x = 0; x < row.width; ++x) {
                const uint8_t* const read = &colors[(y * width + x) * 4];
                const Pixel expected = row.expected(x, y);
                ASSERT_EQ((Pixel{read[0], read[1], read[2], read[3]}), expected) << "texel " << x << ", " << y;
            }
        }
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(TextureFormats, CubeMapFacesAreSampledAlongTheirAxes) {
    constexpr Pixel face_colours[] = {
        {255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
        {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255},
    };
    TextureFixture fixture;
    fixture.id = 0x20002000;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::cube_map, 3, TextureFilter::nearest);
    fixture.width = fixture.height = 4;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 4, 4, 1, [&](uint32_t, uint32_t face, uint32_t, uint32_t, uint8_t* e) {
            e[0] = face_colours[face][2], e[1] = face_colours[face][1], e[2] = face_colours[face][0], e[3] = 255;
        });
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    texture_server.initialize_pending_textures(true);
    ASSERT_EQ(texture->get_upload_state(), TextureUploadState::complete);
    EXPECT_EQ(texture->get_gl_target(), static_cast<uint32_t>(GL_TEXTURE_CUBE_MAP));
    // +X, -X, +Y, -Y, +Z, -Z.
    const float directions[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (uint32_t face = 0; face < 6; ++face) {
        draw_cube_direction(texture, static_cast<int32_t>(8 * face), 0, directions[face][0], directions[face][1],
                            directions[face][2]);
    }
    for (uint32_t face = 0; face < 6; ++face) {
        EXPECT_EQ(read_pixel(static_cast<int32_t>(8 * face + 1), 1), face_colours[face]) << "face " << face;
    }
}

TEST_F(TextureFormats, RenderTargetsFollowTheDisplayAndAnswerTheirSize) {
    open_world({});
    const uint32_t id = make_render_target_id(4, display_size_kind, 1, 0x10);
    TextureObject* const target = texture_server.create_texture(id);
    EXPECT_EQ(target->get_upload_state(), TextureUploadState::not_uploaded);
    texture_server.initialize_pending_textures(false);
    EXPECT_EQ(target->get_upload_state(), TextureUploadState::complete);
    EXPECT_NE(target->get_upload_record().name, 0u);
    EXPECT_EQ(target->get_format(), 0x10010u);
    core::Property size;
    ASSERT_TRUE(target->get_property(14, size));
    EXPECT_EQ(size.id, 0x20000000u);
    EXPECT_EQ(size.get_float(0), 320.0f);  // the 640 x 480 mode shifted once
    EXPECT_EQ(size.get_float(1), 240.0f);
    ASSERT_TRUE(target->get_property(texture_size_property, size));
    EXPECT_EQ(texture_server.find_texture(id), target);
    EXPECT_EQ(texture_server.get_render_target_in_slot(4), target);

    // One the driver refuses is state 1, and binds texture 0.
    TextureObject* const huge =
        texture_server.create_texture(make_render_target_id(7, power_of_two_size_kind, 15, 0x10));
    texture_server.initialize_pending_textures(false);
    EXPECT_EQ(huge->get_upload_state(), TextureUploadState::failed);
    EXPECT_EQ(huge->get_bound_name(), 0u);
}

}  // namespace
}  // namespace zolt::renderer
