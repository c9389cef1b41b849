// The sample level in the whole program at 320 x 240: the level script's
// fixed camera in room A looking east through the door into room B. Where
// the walls meet the floor follows from the camera's own projection, which
// shows the door open onto room B; the frame is then held against its
// stored reference. The glass pane across the top of that door is read
// against the same frame without the blended layers, and the lamp's glow
// against the frame without the glow.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/reference_image.h"
#include "support/sample_capture.h"
#include "zolt/core/object_server/property.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt {
namespace {

constexpr uint32_t width = 320;
constexpr uint32_t height = 240;
// The level, its meshes and textures are loaded and drawn by then.
constexpr uint32_t frame_number = 40;
// llvmpipe's filtering and blending may round either way.
constexpr uint32_t reference_tolerance = 3;

using Pixel = std::array<int, 3>;

Pixel pixel_at(const test::Frame& frame, uint32_t x, uint32_t y) {
    const uint8_t* const at = frame.rgba.data() + (size_t{y} * frame.width + x) * 4;
    return {at[0], at[1], at[2]};
}

int distance(const Pixel& a, const Pixel& b) {
    int largest = 0;
    for (int channel = 0; channel < 3; ++channel) {
        largest = std::max(largest, std::abs(a[channel] - b[channel]));
    }
    return largest;
}

// The walls' bricks are red; the floor's tiles are not.
bool is_brick(const Pixel& pixel) {
    return pixel[0] > pixel[1] + 30;
}

// Pixel of a point in front of the camera at eye (1.6, 4, 1.5) looking along
// +X with +Z up, 60 degrees high at 4:3: right is -Y; rows count from the
// bottom, as GL reads them back.
struct ScreenPoint {
    double x, y;
};

ScreenPoint project(double px, double py, double pz) {
    const double depth = px - 1.6;
    const double tan_half_height = std::tan(3.14159265358979 / 6);
    const double tan_half_width = tan_half_height * width / height;
    return {(1 + (4.0 - py) / depth / tan_half_width) * width / 2, (1 + (pz - 1.5) / depth / tan_half_height) * height / 2};
}

uint32_t column_of(const ScreenPoint& point) {
    return static_cast<uint32_t>(point.x);
}

uint32_t row_of(const ScreenPoint& point) {
    return static_cast<uint32_t>(point.y);
}

// The HUD's crosshair, drawn over the view at the frame's centre.
bool is_under_crosshair(uint32_t x, uint32_t y) {
    return std::abs(static_cast<int>(x) - static_cast<int>(width / 2)) <= 8 &&
           std::abs(static_cast<int>(y) - static_cast<int>(height / 2)) <= 8;
}

TEST(SampleLevel, WallsMeetTheFloorWhereTheCameraProjectsThemAndTheFrameMatchesItsReference) {
    test::ChildResult result;
    test::SampleCapture request;
    request.width = width;
    request.height = height;
    request.frames = {frame_number};
    const std::vector<test::Frame> frames = test::run_sample_and_capture(request, &result);
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    const test::Frame& frame = frames[0];
    ASSERT_EQ(frame.rgba.size(), size_t{width} * height * 4) << result.standard_error;

    // Where the walls meet the floor: beside the door (y = 5.8) room A's
    // east wall stands on the floor at depth 6.4, brick above the line and
    // floor tiles below; in the door's middle the floor runs on under that
    // line into room B, whose far wall (x = 16) meets it much higher up.
    const ScreenPoint beside_door = project(8, 5.8, 0);
    const ScreenPoint far_wall = project(16, 4, 0);
    const auto column = [](const ScreenPoint& point) { return static_cast<uint32_t>(point.x); };
    const auto row = [](double y, int offset) { return static_cast<uint32_t>(static_cast<int>(y) + offset); };
    EXPECT_TRUE(is_brick(pixel_at(frame, column(beside_door), row(beside_door.y, 4)))) << "wall beside the door";
    EXPECT_FALSE(is_brick(pixel_at(frame, column(beside_door), row(beside_door.y, -4)))) << "floor beside the door";
    EXPECT_FALSE(is_brick(pixel_at(frame, width / 2, row(beside_door.y, 4)))) << "floor through the door";
    EXPECT_TRUE(is_brick(pixel_at(frame, width / 2, row(far_wall.y, 4)))) << "room B's far wall";
    EXPECT_FALSE(is_brick(pixel_at(frame, width / 2, row(far_wall.y, -3)))) << "room B's floor";
    // The crate (a metre's cube about (6.2, 2.6) on the floor of room A)
    // shows its planks where the floor would be without it.
    const ScreenPoint crate_face = project(5.7, 2.6, 0.5);
    const Pixel plank = pixel_at(frame, column(crate_face), row(crate_face.y, 0));
    // Brown wood, with less than half as much blue as red; the grey floor
    // tiles under the warm lights keep most of their blue.
    EXPECT_LT(2 * plank[2], plank[0]) << "the crate's face";
    // Nothing is left at the clear colour: every corner shows the room.
    for (const auto& [x, y] : {std::pair{2u, 2u}, {width - 3, 2u}, {2u, height - 3}, {width - 3, height - 3}}) {
        EXPECT_GT(distance(pixel_at(frame, x, y), {0, 0, 0}), 4) << "corner (" << x << ", " << y << ")";
    }
    EXPECT_TRUE(test::matches_reference_image("content", "sample_level_320x240", frame, reference_tolerance));
}

// The pane across the top of the door from room A to room B: a quad facing
// the camera at x = 7.98, y 3 to 5, z 1.2 to 2.2, its glass 40 % opaque
// (alpha 102 of 255 in its texture).
constexpr double pane_x = 7.98;
constexpr double pane_opacity = 102.0 / 255.0;

// Frames of the sample at frame_number, the glow off in both so that the
// pane's pixels are its blend alone; in the second the viewport leaves the
// blended layers out, which leaves the pane out and nothing else. Frames
// are presented on the main thread, which owns the viewport.
std::array<test::Frame, 2> capture_with_and_without_blended_layers(test::ChildResult* results) {
    std::array<test::Frame, 2> frames;
    for (const bool without_blended : {false, true}) {
        test::SampleCapture request;
        request.width = width;
        request.height = height;
        request.frames = {frame_number};
        request.settings = {{"compatibility_fix_disable_glow", "1"}};
        if (without_blended) {
            request.on_frame = [](uint32_t) {
                renderer::Viewport* const viewport = renderer::viewport_server.get_active_head();
                if (viewport == nullptr) {
                    return;
                }
                // The viewport's render-layer mask.
                const uint32_t layer_mask_id = core::make_property_id(core::property_type::unsigned_integer, 254);
                core::Property mask;
                viewport->get_property(layer_mask_id, mask);
                const uint32_t blended = 1u << renderer::nmap_blended_layer | 1u << renderer::near_nmap_blended_layer;
                mask.set_u32(layer_mask_id, mask.get_u32() & ~blended);
                viewport->set_property(layer_mask_id, mask);
            };
        }
        frames[without_blended] = test::run_sample_and_capture(request, &results[without_blended])[0];
    }
    return frames;
}

TEST(SampleLevel, TheGlassPaneIsItsColourBlendedOverWhatLiesBehindIt) {
    test::ChildResult results[2];
    const std::array<test::Frame, 2> frames = capture_with_and_without_blended_layers(results);
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(results[run].exit_code, 0) << results[run].standard_error;
        ASSERT_EQ(frames[run].rgba.size(), size_t{width} * height * 4) << results[run].standard_error;
    }
    const test::Frame& with_pane = frames[0];
    const test::Frame& behind = frames[1];

    // The pane's inside, three pixels clear of its edges.
    const ScreenPoint low_left = project(pane_x, 4.9, 1.3);
    const ScreenPoint high_right = project(pane_x, 3.1, 2.1);
    const uint32_t left = static_cast<uint32_t>(std::ceil(low_left.x)) + 3;
    const uint32_t right = static_cast<uint32_t>(high_right.x) - 3;
    const uint32_t bottom = static_cast<uint32_t>(std::ceil(low_left.y)) + 3;
    const uint32_t top = static_cast<uint32_t>(high_right.y) - 3;
    ASSERT_LT(left + 20, right);
    ASSERT_LT(bottom + 10, top);

    // Blended, over each pixel W = a S + (1 - a) B with B what lies behind
    // and S the lit glass, which changes slowly across the pane. So two
    // neighbours differ by (1 - a) times their difference behind it: where
    // a brick's mortar line passes, opaque glass would hide it and added
    // glass would keep all of it.
    int edges = 0;
    int unblended_edges = 0;
    std::string first_unblended;
    double largest_glass = 0;
    for (uint32_t y = bottom; y <= top; ++y) {
        for (uint32_t x = left; x < right; ++x) {
            const Pixel w0 = pixel_at(with_pane, x, y);
            const Pixel w1 = pixel_at(with_pane, x + 1, y);
            const Pixel b0 = pixel_at(behind, x, y);
            const Pixel b1 = pixel_at(behind, x + 1, y);
            if (is_under_crosshair(x, y) || is_under_crosshair(x + 1, y)) {
                continue;
            }
            for (int channel = 0; channel < 3; ++channel) {
                const double glass = w0[channel] - (1 - pane_opacity) * b0[channel];
                ASSERT_GE(glass, -3) << "the glass only adds light at (" << x << ", " << y << ")";
                largest_glass = std::max(largest_glass, glass);
                const int step_behind = b1[channel] - b0[channel];
                if (std::abs(step_behind) >= 30) {
                    ++edges;
                    const double step = w1[channel] - w0[channel];
                    if (std::abs(step - (1 - pane_opacity) * step_behind) > 5 && unblended_edges++ == 0) {
                        first_unblended = "channel " + std::to_string(channel) + " at (" + std::to_string(x) + ", " +
                                          std::to_string(y) + "): " + std::to_string(step) + " over " +
                                          std::to_string(step_behind);
                    }
                }
            }
        }
    }
    EXPECT_GE(edges, 20) << "the bricks behind the pane show edges to compare";
    EXPECT_EQ(unblended_edges, 0) << "first " << first_unblended;
    EXPECT_GE(largest_glass, 20) << "the glass is seen";
    // Through the door under the pane, nothing blended is drawn.
    const ScreenPoint under = project(8, 4, 0.6);
    EXPECT_LE(distance(pixel_at(with_pane, column_of(under), row_of(under)),
                       pixel_at(behind, column_of(under), row_of(under))), 1);
}

// The lamp hanging in room A: a cube of 0.2 m about (4.6, 5.6, 2.45) on a
// cord to the ceiling, drawn unlit in its texture's warm white.
constexpr double lamp_front = 4.5;
constexpr double lamp_y = 5.6;
constexpr double lamp_z = 2.45;
constexpr Pixel lamp_colour = {255, 246, 220};

struct Box {
    uint32_t left = width, right = 0, bottom = height, top = 0;
    uint32_t count = 0;
};

Box find_lamp(const test::Frame& frame) {
    Box box;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (distance(pixel_at(frame, x, y), lamp_colour) <= 3) {
                box = {std::min(box.left, x), std::max(box.right, x), std::min(box.bottom, y), std::max(box.top, y),
                       box.count + 1};
            }
        }
    }
    return box;
}

TEST(SampleLevel, TheLampGlowsAroundItselfWithinTheBlurAndNowhereElse) {
    test::Frame frames[2];
    for (const bool with_glow : {true, false}) {
        test::ChildResult result;
        test::SampleCapture request;
        request.width = width;
        request.height = height;
        request.frames = {frame_number};
        request.settings = {{"compatibility_fix_disable_glow", with_glow ? "0" : "1"}};
        frames[with_glow] = test::run_sample_and_capture(request, &result)[0];
        ASSERT_EQ(result.exit_code, 0) << result.standard_error;
        ASSERT_EQ(frames[with_glow].rgba.size(), size_t{width} * height * 4) << result.standard_error;
    }
    const test::Frame& glowing = frames[1];
    const test::Frame& plain = frames[0];

    // Unlit, the lamp keeps its colour whatever the lights: a cube of some
    // 14 pixels a side where the camera sees it, and its cord above.
    const Box lamp = find_lamp(plain);
    const ScreenPoint centre = project(lamp_front, lamp_y, lamp_z);
    ASSERT_GE(lamp.count, 150u);
    EXPECT_LE(lamp.left, column_of(centre));
    EXPECT_GE(lamp.right, column_of(centre));
    EXPECT_LT(lamp.bottom, row_of(centre));
    EXPECT_LT(lamp.right - lamp.left, 30u);

    // Just beside the lamp, the glow brightens what lies around it.
    const auto brightening = [&](uint32_t x, uint32_t y) {
        const Pixel with = pixel_at(glowing, x, y);
        const Pixel without = pixel_at(plain, x, y);
        return with[0] + with[1] + with[2] - without[0] - without[1] - without[2];
    };
    const uint32_t middle_y = lamp.bottom + 7;
    EXPECT_GE(brightening(lamp.left - 3, middle_y), 15) << "left of the lamp";
    EXPECT_GE(brightening(lamp.right + 3, middle_y), 15) << "right of the lamp";
    EXPECT_GE(brightening((lamp.left + lamp.right) / 2, lamp.bottom - 3), 15) << "under the lamp";

    // Beyond the blur's reach from the lamp, across the ceiling and the
    // walls where nothing else is as bright as the glow's threshold, the
    // frame is unchanged. One blur pass at half size reaches 3 texels each
    // way with its outer bilinear taps and stretching back one more: 8
    // pixels, and 2 more for where the half-size texels fall.
    constexpr uint32_t blur_reach = 10;
    int compared = 0;
    for (uint32_t y = lamp.bottom - 20; y < height - 30; ++y) {
        for (uint32_t x = 4; x < width - 4; ++x) {
            if (x + blur_reach >= lamp.left && x <= lamp.right + blur_reach && y + blur_reach >= lamp.bottom) {
                continue;
            }
            ++compared;
            ASSERT_LE(distance(pixel_at(glowing, x, y), pixel_at(plain, x, y)), 1) << "at (" << x << ", " << y << ")";
        }
    }
    EXPECT_GT(compared, 10000);
}

}  // namespace
}  // namespace zolt
