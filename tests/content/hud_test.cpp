// The sample's HUD in the whole program: the built sample packs, run
// without a display on Mesa's software renderer at 160 x 120, with a
// keyboard the test presses and two frames read back as they are presented.
// The first frame's pixels are checked against the layout the HUD's script
// computes (the crosshair on the screen's middle pixel, the health bar's
// frame and its fill clipped to 75 points, the icon strip and its selected
// slot, in the colours the script gives them), then against the stored
// reference image of the whole frame; the second against what H and 3 change.
// The level shows through wherever the HUD draws nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/input/fake_input_backend.h"
#include "support/reference_image.h"
#include "support/sample_capture.h"

namespace zolt {
namespace {

constexpr uint32_t width = 160;
constexpr uint32_t height = 120;
// Late enough for the HUD task's first run and the frame after it.
constexpr uint32_t first_frame = 30;
// H and 3 are held for a few frames after the first frame is read, and the
// second frame is read well after they are let go.
constexpr uint32_t keys_released_frame = 36;
constexpr uint32_t second_frame = 45;
constexpr uint32_t scan_code_h = 0x23;
constexpr uint32_t scan_code_3 = 0x04;
// llvmpipe's blending of the translucent parts may round either way.
constexpr uint32_t reference_tolerance = 2;

platform::FakeInputBackend keyboard;

// H and 3 pressed right after the first frame is read, let go a few frames
// later.
void press_keys(uint32_t frame) {
    if (frame == first_frame + 1 || frame == keys_released_frame) {
        const bool down = frame == first_frame + 1;
        keyboard.set_key(scan_code_h, down);
        keyboard.set_key(scan_code_3, down);
    }
}

using Pixel = std::array<uint8_t, 3>;

Pixel pixel_at(const test::Frame& frame, uint32_t x, uint32_t y) {
    const uint8_t* const at = frame.rgba.data() + (size_t{y} * frame.width + x) * 4;
    return {at[0], at[1], at[2]};
}

// The slots' border: grey at half alpha, so over the level at least this.
constexpr Pixel half_grey{80, 80, 80};
constexpr Pixel white{255, 255, 255};
constexpr Pixel amber{255, 224, 64};
constexpr Pixel green{48, 208, 64};
constexpr Pixel yellow{232, 192, 32};

struct Point {
    const char* name;
    uint32_t x, y;
    Pixel expected;
    // The level shows through where the HUD draws nothing: such a pixel only
    // has to differ from the HUD colour next to it.
    bool differs = false;
};

// Far enough from a HUD colour that no rounding of it comes this far.
constexpr int distinct_colour_distance = 24;

void expect_pixels(const test::Frame& frame, const std::vector<Point>& points, const char* when) {
    for (const Point& point : points) {
        const Pixel seen = pixel_at(frame, point.x, point.y);
        if (point.differs) {
            int distance = 0;
            for (int channel = 0; channel < 3; ++channel) {
                distance = std::max(distance, std::abs(seen[channel] - point.expected[channel]));
            }
            EXPECT_GT(distance, distinct_colour_distance)
                << when << ": " << point.name << " at (" << point.x << ", " << point.y << ") shows the HUD colour";
            continue;
        }
        if (point.expected == half_grey) {
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_GE(seen[channel] + 1, half_grey[channel])
                    << when << ": " << point.name << " at (" << point.x << ", " << point.y << ") channel " << channel;
            }
            continue;
        }
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(seen[channel], point.expected[channel], 1)
                << when << ": " << point.name << " at (" << point.x << ", " << point.y << ") channel " << channel;
        }
    }
}

TEST(SampleHud, TheHudIsDrawnWhereItsScriptPutsItFollowsTheKeysAndMatchesItsReference) {
    test::ChildResult result;
    test::SampleCapture request;
    request.width = width;
    request.height = height;
    request.frames = {first_frame, second_frame};
    request.before_start = [] { platform::set_input_backend(&keyboard); };
    request.on_frame = &press_keys;
    const std::vector<test::Frame> frames = test::run_sample_and_capture(request, &result);
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    ASSERT_EQ(frames[0].rgba.size(), size_t{width} * height * 4) << result.standard_error;
    ASSERT_EQ(frames[1].rgba.size(), size_t{width} * height * 4) << result.standard_error;
    const test::Frame& frame = frames[0];

    // The crosshair: its middle texel on the screen's middle pixel (80, 60),
    // arms from 3 to 8 pixels out, nothing between.
    expect_pixels(frame,
                  {
                      {"crosshair middle", 80, 60, amber},
                      {"crosshair gap right", 81, 60, amber, true},
                      {"crosshair gap below", 80, 58, amber, true},
                      {"crosshair arm right", 83, 60, amber},
                      {"crosshair arm end right", 88, 60, amber},
                      {"past the right arm", 89, 60, amber, true},
                      {"crosshair arm left", 72, 60, amber},
                      {"crosshair arm up", 80, 68, amber},
                      {"crosshair arm down", 80, 52, amber},
                      {"crosshair diagonal", 83, 63, amber, true},
                      // The bar's frame: 104 x 12 from (8, 100), a white border.
                      {"frame lower left", 8, 100, white},
                      {"frame upper right", 111, 111, white},
                      {"left of the frame", 7, 105, white, true},
                      // The fill: 100 x 8 from (10, 102), clipped to 75 pixels.
                      {"fill first column", 10, 102, green},
                      {"fill last column", 84, 109, green},
                      {"fill clipped away", 85, 105, green, true},
                      {"inside the frame past the fill", 109, 105, green, true},
                      // The strip: slots 20 x 20 from x = 72 every 20 pixels at y = 8; the
                      // first one selected (amber), the others grey at half alpha.
                      {"selected slot's border", 72, 8, amber},
                      {"second slot's border", 92, 8, half_grey},
                      {"fourth slot's border", 151, 27, half_grey},
                      {"right of the strip", 152, 8, half_grey, true},
                      // The icons over the slots, 16 x 16 from 2 pixels in, in their own
                      // colours: inside the heart, the shield and the potion.
                      {"heart", 82, 18, {220, 40, 60}},
                      {"shield", 102, 18, {60, 110, 230}},
                      {"potion", 142, 12, {60, 200, 90}},
                  },
                  "at start");
    EXPECT_TRUE(test::matches_reference_image("content", "sample_hud_160x120", frame, reference_tolerance));

    // H took 25 health once, though it was held for frames: the fill is 50
    // pixels long and yellow. Key 3 selected the third slot.
    expect_pixels(frames[1],
                  {
                      {"fill last column", 59, 105, yellow},
                      {"fill clipped away", 60, 105, yellow, true},
                      {"first slot's border", 72, 8, half_grey},
                      {"third slot's border", 112, 8, amber},
                      {"crosshair middle", 80, 60, amber},
                  },
                  "after H and 3");
}

}  // namespace
}  // namespace zolt
