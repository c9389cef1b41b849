// The sample figure walking across room A in the whole program at 320 x 240.
// Its trousers (a blue nothing else in the level has) are followed from
// frame to frame as it walks towards -Y, the camera's right; and it is
// seen to walk on between two of them.
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
// first in which its trousers have passed each of two columns.
constexpr uint32_t first_capture = 100;
constexpr uint32_t last_capture = 300;
constexpr double first_column = 80;
constexpr double second_column = 140;

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
    // It walks on: past the second column some frames later, its hips and
    // legs in the lower half. How many frames that takes and the pose at
    // either follow the machine's pace (the loading screen and late frames
    // shift the script's clock), so the frames are not held against stored
    // pictures.
    EXPECT_GT(second - first, 0);
    EXPECT_GT(after.centre_x, before.centre_x);
    EXPECT_LT(before.centre_y, height / 2.0);
    EXPECT_LT(after.centre_y, height / 2.0);
}

}  // namespace
}  // namespace zolt
