// The overlay's own maths: colour words, sine and cosine in turns, quad
// corners and texture coordinates checked against an independent affine
// construction, and the atlas record checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/display/overlay_quad.h"
#include "zolt/renderer/display/packed_color.h"

namespace zolt::renderer {
namespace {

TEST(PackedColor, FloatChannelsClampAndTruncate) {
    const struct {
        float in;
        uint8_t out;
    } cases[] = {{-0.2f, 0},
                 {0.0f, 0},
                 {0.5f, 127},
                 {0.999f, 254},
                 {1.0f, 255},
                 {1.5f, 255},
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {std::numeric_limits<float>::infinity(), 255}};
    for (const auto& row : cases) {
        EXPECT_EQ(color_float_to_byte(row.in), row.out) << row.in;
    }
    EXPECT_EQ(set_color_alpha(0x12345678u, 1.5f), 0xFF345678u);
    EXPECT_EQ(set_color_alpha(0xFF345678u, -0.2f), 0x00345678u);
    EXPECT_FLOAT_EQ(color_byte_to_float(255), 1.0f);
}

TEST(PackedColor, VertexBytesAreRedGreenBlueAlphaInMemory) {
    const uint32_t word = to_vertex_color_bytes(0x80112233u);
    uint8_t bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x33);
    EXPECT_EQ(bytes[3], 0x80);
}

TEST(SinCosTurns, MatchesTheLibraryOverManyTurns) {
    for (float a = -10.0f; a <= 10.0f; a += 0.0371f) {
        const SineCosine result = sincos_turns(a);
        const double radians = 2.0 * M_PI * static_cast<double>(a);
        EXPECT_NEAR(result.sine, std::sin(radians), 2e-6) << a;
        EXPECT_NEAR(result.cosine, std::cos(radians), 2e-6) << a;
    }
}

// The expected corners: translate(position) . rotate(-angle) . translate(-pivot
// x scale) applied to the scaled unit square.
std::vector<Vector2> expected_corners(const OverlayQuad& quad) {
    const double turn = -2.0 * M_PI * quad.angle;
    const double c = std::cos(turn);
    const double s = std::sin(turn);
    std::vector<Vector2> corners;
    const double local[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& point : local) {
        const double x = point[0] * quad.size.x * quad.scale.x - quad.pivot.x * quad.scale.x;
        const double y = point[1] * quad.size.y * quad.scale.y - quad.pivot.y * quad.scale.y;
        corners.push_back(
            {static_cast<float>(quad.position.x + c * x - s * y), static_cast<float>(quad.position.y + s * x + c * y)});
    }
    return corners;
}

TEST(OverlayQuad, CornersFollowPositionPivotScaleAndAngle) {
    const struct {
        float angle;
        Vector2 scale;
    } cases[] = {{0.0f, {1, 1}}, {0.25f, {1, 1}}, {1.25f, {1, 1}}, {-0.1f, {2, 0.5f}}, {0.6f, {-1, 1}}};
    for (const auto& row : cases) {
        OverlayQuad quad;
        quad.position = {100, 50};
        quad.size = {40, 20};
        quad.pivot = {10, 5};
        quad.scale = row.scale;
        quad.angle = row.angle;
        OverlayVertex vertices[4];
        build_overlay_quad(quad, 8, 8, opaque_white, vertices);
        const std::vector<Vector2> expected = expected_corners(quad);
        for (int corner = 0; corner < 4; ++corner) {
            EXPECT_NEAR(vertices[corner].x, expected[corner].x, 1e-3) << row.angle << " corner " << corner;
            EXPECT_NEAR(vertices[corner].y, expected[corner].y, 1e-3) << row.angle << " corner " << corner;
        }
    }
}

TEST(OverlayQuad, AQuarterTurnIsClockwiseOnScreen) {
    OverlayQuad quad;
    quad.size = {10, 2};
    quad.angle = 0.25f;
    OverlayVertex vertices[4];
    build_overlay_quad(quad, 1, 1, opaque_white, vertices);
    // The quad's width now points down the screen.
    EXPECT_NEAR(vertices[1].x, 0.0f, 1e-5);
    EXPECT_NEAR(vertices[1].y, -10.0f, 1e-5);
}

TEST(OverlayQuad, TextureRectangleIsDividedByThePageAndTransformedAboutItsMiddle) {
    OverlayQuad quad;
    quad.texture_origin = {2, 1};
    quad.texture_extent = {4, 2};
    OverlayVertex plain[4];
    build_overlay_quad(quad, 8, 4, opaque_white, plain);
    EXPECT_FLOAT_EQ(plain[0].u, 0.25f);
    EXPECT_FLOAT_EQ(plain[0].v, 0.25f);
    EXPECT_FLOAT_EQ(plain[2].u, 0.75f);
    EXPECT_FLOAT_EQ(plain[2].v, 0.75f);

    // Half a turn on a page that is not square swaps the corners exactly.
    quad.texture_angle = 0.5f;
    OverlayVertex turned[4];
    build_overlay_quad(quad, 8, 4, opaque_white, turned);
    EXPECT_NEAR(turned[0].u, plain[2].u, 1e-6);
    EXPECT_NEAR(turned[0].v, plain[2].v, 1e-6);

    // A quarter turn on a non-square page turns in texels: the 4 x 2 texel
    // rectangle becomes 2 x 4 texels about its middle (0.5, 0.5).
    quad.texture_angle = 0.25f;
    OverlayVertex quarter[4];
    build_overlay_quad(quad, 8, 4, opaque_white, quarter);
    EXPECT_NEAR(quarter[0].u, 0.5f + 1.0f / 8.0f, 1e-6);
    EXPECT_NEAR(quarter[0].v, 0.5f - 2.0f / 4.0f, 1e-6);

    quad.texture_angle = 0.0f;
    quad.texture_scale = {0.0f, 1.0f};
    OverlayVertex flat[4];
    build_overlay_quad(quad, 8, 4, opaque_white, flat);
    EXPECT_FLOAT_EQ(flat[0].u, 0.5f - 0.25f / 65536.0f * -1.0f);
    EXPECT_FLOAT_EQ(flat[0].v, plain[0].v);
}

std::vector<uint8_t> make_atlas(uint32_t texture_id, uint32_t count_word, const std::vector<ImageAtlasEntry>& entries) {
    std::vector<uint8_t> bytes(image_atlas_header_size + entries.size() * sizeof(ImageAtlasEntry));
    const ImageAtlasHeader header{texture_id, count_word};
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!entries.empty()) {
        std::memcpy(bytes.data() + sizeof header, entries.data(), entries.size() * sizeof(ImageAtlasEntry));
    }
    return bytes;
}

TEST(ImageAtlasFormat, CountsAndRectanglesAreChecked) {
    const ImageAtlasEntry inside{{0.5f, 0.0f}, {0.5f, 1.0f}, {4, 4}, {0, 0}};
    const ImageAtlasEntry outside{{0.5f, 0.0f}, {0.75f, 1.0f}, {4, 4}, {0, 0}};
    const ImageAtlasEntry texels{{3, 0}, {3, 4}, {4, 4}, {0, 0}};
    const ImageAtlasEntry not_a_number{{std::numeric_limits<float>::quiet_NaN(), 0}, {1, 1}, {4, 4}, {0, 0}};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t width, height;
        ImageAtlasFault fault;
    } cases[] = {
        {"fractions inside", make_atlas(7, 1, {inside}), 8, 8, ImageAtlasFault::ok},
        {"fractions outside", make_atlas(7, 1, {outside}), 8, 8, ImageAtlasFault::rectangle_outside_page},
        {"texels on a page that is not a power of two", make_atlas(7, 1, {texels}), 6, 4, ImageAtlasFault::ok},
        {"texels past the edge", make_atlas(7, 1, {texels}), 5, 4, ImageAtlasFault::rectangle_outside_page},
        {"count past the end", make_atlas(7, 2, {inside}), 8, 8, ImageAtlasFault::count_does_not_fit},
        {"huge count", make_atlas(7, 0xFFFFFFFF, {inside}), 8, 8, ImageAtlasFault::count_does_not_fit},
        {"not a number", make_atlas(7, 1, {not_a_number}), 8, 8, ImageAtlasFault::not_a_number},
    };
    for (const auto& row : cases) {
        ImageAtlasHeader header{};
        ImageAtlasFault fault = check_image_atlas(row.bytes.data(), static_cast<uint32_t>(row.bytes.size()), &header);
        if (fault == ImageAtlasFault::ok) {
            fault = check_image_atlas_rectangles(row.bytes.data(), header.entry_count, row.width, row.height);
        }
        EXPECT_EQ(fault, row.fault) << row.name;
    }
    ImageAtlasHeader header{};
    EXPECT_EQ(check_image_atlas(nullptr, 0, &header), ImageAtlasFault::too_short);
    const std::vector<uint8_t> short_bytes(7);
    EXPECT_EQ(check_image_atlas(short_bytes.data(), 7, &header), ImageAtlasFault::too_short);
}

}  // namespace
}  // namespace zolt::renderer
