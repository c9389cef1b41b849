// The sample's HUD in the whole program: the built sample packs, run
// without a display on Mesa's software renderer at 160 x 120, with a
// keyboard the test presses and two frames read back as they are presented.
// The first frame's pixels are checked against the layout the HUD's script
// computes (the crosshair on the screen's middle pixel, the health bar's
// frame and its fill clipped to 75 points, the icon strip and its selected
// slot, in the colours the script gives them), then against the stored
// reference image of the whole frame; the second against what H and 3 change.
// The 3D level is not drawn yet: the HUD lies over the cleared frame.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/sdl_window.h"
#include "platform/input/fake_input_backend.h"
#include "support/child_process.h"
#include "support/reference_image.h"
#include "zolt/core/program/program_main.h"
#include "zolt/renderer/backend/frame_pacing.h"

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

struct Capture {
    uint32_t frames = 0;
    std::string folder;
    platform::FakeInputBackend keyboard;
};

Capture capture;

void write_frame(const std::string& name) {
    std::vector<uint8_t> pixels(size_t{width} * height * 4);
    opengl::gl.glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::ofstream(capture.folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
}

void capture_presented_frame(int32_t, void*) {
    ++capture.frames;
    if (capture.frames == first_frame) {
        write_frame("first.rgba");
        capture.keyboard.set_key(scan_code_h, true);
        capture.keyboard.set_key(scan_code_3, true);
    } else if (capture.frames == keys_released_frame) {
        capture.keyboard.set_key(scan_code_h, false);
        capture.keyboard.set_key(scan_code_3, false);
    } else if (capture.frames == second_frame) {
        write_frame("second.rgba");
        platform::post_window_event(platform::WindowEventKind::close);
    }
}

struct Frames {
    test::Frame first;
    test::Frame second;
};

test::Frame read_frame(const test::TemporaryFolder& folder, const char* name) {
    test::Frame frame;
    frame.width = width;
    frame.height = height;
    const std::string bytes = test::read_file_bytes(folder.get_path(name));
    frame.rgba.assign(bytes.begin(), bytes.end());
    return frame;
}

// Runs the sample from a copy of its built packs, with a keyboard the test
// presses, and reads two frames back.
Frames run_sample_and_capture(test::ChildResult* result) {
    const test::TemporaryFolder folder;
    for (const char* name : {"game.pack", "textures.pack", "sounds.pack", "figure.pack", "level.pack", "pack.list"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder.get_path(name));
    }
    *result = test::run_in_child([&] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::filesystem::current_path(folder.get_folder());
        capture.folder = folder.get_folder().string();
        platform::set_input_backend(&capture.keyboard);
        renderer::set_present_observer(&capture_presented_frame, nullptr);
        const char* arguments[] = {"zolt", "config",         "",  "window_width", "160", "window_height",
                                   "120",  "use_fullscreen", "0", nullptr};
        const int code = run_program(9, const_cast<char**>(arguments));
        std::fprintf(stderr, "frames %u code %d\n", capture.frames, code);
    });
    return {read_frame(folder, "first.rgba"), read_frame(folder, "second.rgba")};
}

using Pixel = std::array<uint8_t, 3>;

Pixel pixel_at(const test::Frame& frame, uint32_t x, uint32_t y) {
    const uint8_t* const at = frame.rgba.data() + (size_t{y} * frame.width + x) * 4;
    return {at[0], at[1], at[2]};
}

constexpr Pixel black{0, 0, 0};
constexpr Pixel half_grey{80, 80, 80};
constexpr Pixel white{255, 255, 255};
constexpr Pixel amber{255, 224, 64};
constexpr Pixel green{48, 208, 64};
constexpr Pixel yellow{232, 192, 32};

struct Point {
    const char* name;
    uint32_t x, y;
    Pixel expected;
};

bool is_near(const Pixel& a, const Pixel& b) {
    for (int channel = 0; channel < 3; ++channel) {
        if (std::abs(static_cast<int>(a[channel]) - static_cast<int>(b[channel])) > 1) {
            return false;
        }
    }
    return true;
}

// A point expected black is where the HUD draws nothing: the level shows
// through there, in none of the HUD's own colours.
void expect_pixels(const test::Frame& frame, const std::vector<Point>& points, const char* when) {
    for (const Point& point : points) {
        const Pixel seen = pixel_at(frame, point.x, point.y);
        if (point.expected == black) {
            for (const Pixel& hud : {amber, white, green, yellow}) {
                EXPECT_FALSE(is_near(seen, hud)) << when << ": " << point.name << " at (" << point.x << ", "
                                                 << point.y << ") shows the HUD";
            }
            continue;
        }
        if (point.expected == half_grey) {
            // Grey at half alpha over the level: the grey's half at least.
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
    const Frames frames = run_sample_and_capture(&result);
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    ASSERT_EQ(frames.first.rgba.size(), size_t{width} * height * 4) << result.standard_error;
    ASSERT_EQ(frames.second.rgba.size(), size_t{width} * height * 4) << result.standard_error;
    const test::Frame& frame = frames.first;

    // The crosshair: its middle texel on the screen's middle pixel (80, 60),
    // arms from 3 to 8 pixels out, nothing between.
    expect_pixels(frame,
                  {
                      {"crosshair middle", 80, 60, amber},
                      {"crosshair gap right", 81, 60, black},
                      {"crosshair gap below", 80, 58, black},
                      {"crosshair arm right", 83, 60, amber},
                      {"crosshair arm end right", 88, 60, amber},
                      {"past the right arm", 89, 60, black},
                      {"crosshair arm left", 72, 60, amber},
                      {"crosshair arm up", 80, 68, amber},
                      {"crosshair arm down", 80, 52, amber},
                      {"crosshair diagonal", 83, 63, black},
                      // The bar's frame: 104 x 12 from (8, 100), a white border.
                      {"frame lower left", 8, 100, white},
                      {"frame upper right", 111, 111, white},
                      {"left of the frame", 7, 105, black},
                      // The fill: 100 x 8 from (10, 102), clipped to 75 pixels.
                      {"fill first column", 10, 102, green},
                      {"fill last column", 84, 109, green},
                      {"fill clipped away", 85, 105, black},
                      {"inside the frame past the fill", 109, 105, black},
                      // The strip: slots 20 x 20 from x = 72 every 20 pixels at y = 8; the
                      // first one selected (amber), the others grey at half alpha.
                      {"selected slot's border", 72, 8, amber},
                      {"second slot's border", 92, 8, half_grey},
                      {"fourth slot's border", 151, 27, half_grey},
                      {"right of the strip", 152, 8, black},
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
    expect_pixels(frames.second,
                  {
                      {"fill last column", 59, 105, yellow},
                      {"fill clipped away", 60, 105, black},
                      {"first slot's border", 72, 8, half_grey},
                      {"third slot's border", 112, 8, amber},
                      {"crosshair middle", 80, 60, amber},
                  },
                  "after H and 3");
}

}  // namespace
}  // namespace zolt
