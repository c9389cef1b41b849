// The sample level in the whole program at 320 x 240: the level script's
// fixed camera in room A looking east through the door into room B. Where
// the walls meet the floor follows from the camera's own projection, which
// shows the door open onto room B; the frame is then held against its
// stored reference.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/reference_image.h"
#include "support/sample_capture.h"

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

}  // namespace
}  // namespace zolt
