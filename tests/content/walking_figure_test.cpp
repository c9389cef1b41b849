// The sample figure walking across room A in the whole program at 320 x 240.
// Its trousers (a blue nothing else in the level has) are followed from
// frame to frame as it walks towards -Y, the camera's right; two frames of
// its walk are held against their stored references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/reference_image.h"
#include "support/sample_capture.h"

namespace zolt {
namespace {

constexpr uint32_t width = 320;
constexpr uint32_t height = 240;
// The figure walks in once the level's frame clock reaches 4.5 seconds,
// some 112 frames at the fixed 25 frames a second set below; how many
// frames the loading screen presents before that clock starts varies with
// the machine. So the frames are chosen by where the figure stands: the
// first in which its trousers have passed each of two columns. Its pose
// there follows from the same walk time as its place, so the frames can be
// held against stored references, give or take a pixel of its step.
constexpr uint32_t first_capture = 100;
constexpr uint32_t last_capture = 300;
constexpr double first_column = 80;
constexpr double second_column = 140;
constexpr uint32_t reference_shift = 3;
// A thin edge of a limb may still land elsewhere; the figure itself covers
// some 700 pixels.
constexpr uint32_t reference_allowed_pixels = 40;
// llvmpipe's filtering and blending may round either way.
constexpr uint32_t reference_tolerance = 3;

struct Found {
    uint32_t count = 0;
    double centre_x = 0;
    double centre_y = 0;
};

// The trousers' colour, (0.2, 0.25, 0.6) unlit.
bool is_trousers(const uint8_t* pixel) {
    return std::abs(pixel[0] - 51) <= 6 && std::abs(pixel[1] - 64) <= 6 && std::abs(pixel[2] - 153) <= 6;
}

Found find_trousers(const test::Frame& frame) {
    Found found;
    for (uint32_t y = 0; y < frame.height; ++y) {
        for (uint32_t x = 0; x < frame.width; ++x) {
            if (is_trousers(frame.rgba.data() + (size_t{y} * frame.width + x) * 4)) {
                ++found.count;
                found.centre_x += x;
                found.centre_y += y;
            }
        }
    }
    if (found.count != 0) {
        found.centre_x /= found.count;
        found.centre_y /= found.count;
    }
    return found;
}

TEST(WalkingFigure, TheFigureWalksOnBetweenTwoFramesThatMatchTheirReferences) {
    test::ChildResult result;
    test::SampleCapture request;
    request.width = width;
    request.height = height;
    // A fixed frame period and no frame dropped for lateness: the script's
    // frame clock then moves by the same step with every presented frame.
    request.settings = {{"frame_rate_update_period", "0"}, {"frame_drop_limit", "0"}};
    for (uint32_t number = first_capture; number <= last_capture; ++number) {
        request.frames.push_back(number);
    }
    const std::vector<test::Frame> frames = test::run_sample_and_capture(request, &result);
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    ASSERT_EQ(frames.size(), request.frames.size());
    const test::Frame* first = nullptr;
    const test::Frame* second = nullptr;
    Found before;
    Found after;
    for (const test::Frame& frame : frames) {
        ASSERT_EQ(frame.rgba.size(), size_t{width} * height * 4) << result.standard_error;
        const Found found = find_trousers(frame);
        if (found.count < 100) {
            continue;
        }
        if (first == nullptr && found.centre_x >= first_column) {
            first = &frame;
            before = found;
        } else if (first != nullptr && second == nullptr && found.centre_x >= second_column) {
            second = &frame;
            after = found;
        }
    }
    ASSERT_NE(first, nullptr) << "the figure never walked past column " << first_column;
    ASSERT_NE(second, nullptr) << "the figure never walked past column " << second_column;
    // It walks on, a pixel or two a frame: the second frame comes some tens
    // of frames after the first, its hips and legs in the lower half.
    const auto frames_between = second - first;
    EXPECT_GT(frames_between, 20);
    EXPECT_LT(frames_between, 80);
    EXPECT_LT(before.centre_y, height / 2.0);
    EXPECT_LT(after.centre_y, height / 2.0);
    EXPECT_TRUE(test::matches_reference_image("content", "walking_figure_320x240_first", *first, reference_tolerance,
                                              reference_shift, reference_allowed_pixels));
    EXPECT_TRUE(test::matches_reference_image("content", "walking_figure_320x240_second", *second,
                                              reference_tolerance, reference_shift, reference_allowed_pixels));
}

}  // namespace
}  // namespace zolt
