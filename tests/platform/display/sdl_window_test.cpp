#include "platform/display/sdl_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "libs/opengl/opengl_entry_points.h"
#include "platform/display/display_modes.h"
#include "platform/display/display_simulation.h"
#include "platform/display/pixel_format_attributes.h"
#include "support/child_process.h"

namespace zolt::platform {
namespace {

// Each case runs in a child on SDL's offscreen driver, so no display is
// needed and nothing of SDL stays in the test process.
test::ChildResult run_offscreen(void (*body)()) {
    return test::run_in_child([body] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        if (!open_video()) {
            std::fprintf(stderr, "no video\n");
            return;
        }
        body();
        close_video();
    });
}

std::string describe(int32_t format) {
    PixelFormatInfo info;
    if (format == 0 || !describe_pixel_format(format, &info)) {
        return "none";
    }
    char text[96];
    std::snprintf(text, sizeof text, "%u %u %u depth %u stencil %u", info.red_bits, info.green_bits, info.blue_bits,
                  info.depth_bits, info.stencil_bits);
    return text;
}

TEST(SdlWindow, FormatsMeetTheirMinimumsAndADesktopOfSixteenBitsHasNoneWithMore) {
    const test::ChildResult result = run_offscreen([] {
        PixelFormatRequest request;
        request.red_bits = request.green_bits = request.blue_bits = 8;
        request.depth_bits = 24;
        request.stencil_bits = 8;
        request.exact = true;
        std::fprintf(stderr, "driver %s desktop %u\n", get_video_driver_name(), get_desktop_bits_per_pixel());
        std::fprintf(stderr, "exact %s\n", describe(choose_pixel_format(request)).c_str());

        // The window system's own choice, as the engine calls it.
        using Choose = opengl::WglChoosePixelFormatARBFunction;
        const auto choose = reinterpret_cast<Choose>(get_gl_proc_address("wglChoosePixelFormatARB"));
        const int32_t attributes[] = {WGL_DRAW_TO_WINDOW_ARB,
                                      1,
                                      WGL_PIXEL_TYPE_ARB,
                                      WGL_TYPE_RGBA_ARB,
                                      WGL_RED_BITS_ARB,
                                      8,
                                      WGL_DEPTH_BITS_ARB,
                                      16,
                                      WGL_STENCIL_BITS_ARB,
                                      8,
                                      0};
        int32_t format = 0;
        uint32_t count = 0;
        const int32_t succeeded = choose(nullptr, attributes, nullptr, 1, &format, &count);
        std::fprintf(stderr, "arb %d count %u %s\n", succeeded, count, describe(format).c_str());

        static DisplaySimulation sixteen_bits;
        sixteen_bits.desktop_bits_per_pixel = 16;
        set_display_simulation(&sixteen_bits);
        std::fprintf(stderr, "16-bit exact %s\n", describe(choose_pixel_format(request)).c_str());
        request.exact = false;
        std::fprintf(stderr, "16-bit nearest %s\n", describe(choose_pixel_format(request)).c_str());
        set_display_simulation(nullptr);
    });
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("driver offscreen desktop 32\n"
                                         "exact 8 8 8 depth 24 stencil 8\n"
                                         "arb 1 count 1 8 8 8 depth 24 stencil 8\n"
                                         "16-bit exact none\n"
                                         "16-bit nearest 5 6 5 depth 24 stencil 8\n"),
              std::string::npos)
        << result.standard_error;
}

TEST(SdlWindow, EventsComeOutInTheOrderTheyWerePosted) {
    const test::ChildResult result = run_offscreen([] {
        PixelFormatRequest request;
        const int32_t format = choose_pixel_format(request);
        WindowGeometry geometry;
        geometry.width = 64;
        geometry.height = 48;
        DisplayWindow* window = create_display_window("events", geometry, format, false);
        WindowEvent event;
        while (poll_window_event(&event)) {
        }
        post_window_event(WindowEventKind::window_shown);
        post_window_event(WindowEventKind::deactivation_message);
        post_window_event(WindowEventKind::close);
        post_window_event(WindowEventKind::quit);
        std::string kinds;
        while (poll_window_event(&event)) {
            kinds += std::to_string(static_cast<int>(event.kind)) + " ";
        }
        std::fprintf(stderr, "kinds %s\n", kinds.c_str());
        destroy_display_window(window);
    });
    EXPECT_EQ(result.exit_code, 0);
    const std::string expected = "kinds " + std::to_string(static_cast<int>(WindowEventKind::window_shown)) + " " +
                                 std::to_string(static_cast<int>(WindowEventKind::deactivation_message)) + " " +
                                 std::to_string(static_cast<int>(WindowEventKind::close)) + " " +
                                 std::to_string(static_cast<int>(WindowEventKind::quit)) + " \n";
    EXPECT_NE(result.standard_error.find(expected), std::string::npos) << result.standard_error;
}

TEST(SdlWindow, FullScreenModesMustBeListedAndAcceptedAndMakeTheDesktop32Bits) {
    static DisplaySimulation display;
    static const DisplaySetting settings[] = {{800, 600, 32, 60}, {800, 600, 16, 75}, {1024, 768, 32, 0}};
    display.desktop_bits_per_pixel = 16;
    display.settings = settings;
    display.setting_count = 3;
    display.accepts_full_screen_mode = [](uint32_t width, uint32_t, uint32_t, void*) { return width != 1024; };
    set_display_simulation(&display);
    DisplaySetting setting;
    EXPECT_TRUE(get_display_setting(2, &setting));
    EXPECT_EQ(setting.width, 1024u);
    EXPECT_FALSE(get_display_setting(3, &setting));
    EXPECT_FALSE(change_to_full_screen_mode(800, 600, 75));
    EXPECT_FALSE(change_to_full_screen_mode(1024, 768, 0));
    EXPECT_FALSE(change_to_full_screen_mode(640, 480, 0));
    EXPECT_EQ(get_desktop_bits_per_pixel(), 16u);
    EXPECT_TRUE(change_to_full_screen_mode(800, 600, 0));
    EXPECT_TRUE(is_full_screen_mode_set());
    EXPECT_EQ(get_desktop_bits_per_pixel(), 32u);
    restore_desktop_display_mode();
    EXPECT_EQ(get_desktop_bits_per_pixel(), 16u);
    set_display_simulation(nullptr);
}

}  // namespace
}  // namespace zolt::platform
