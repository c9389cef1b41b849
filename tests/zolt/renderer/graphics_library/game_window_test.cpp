#include "zolt/renderer/graphics_library/game_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "libs/opengl/opengl_config.h"
#include "platform/display/display_simulation.h"
#include "platform/display/xvfb_server.h"
#include "support/child_process.h"
#include "support/game_folder.h"
#include "support/gl_context.h"
#include "zolt/core/program/frame_loop.h"
#include "zolt/core/program/program_main.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"

namespace zolt::renderer {
namespace {

TEST(GameWindow, WindowIsMovedIntoTheWorkAreaButNeverAboveOrLeftOfTheScreen) {
    using Rectangle = platform::ScreenRectangle;
    struct Case {
        Rectangle window;
        Rectangle work_area;
        Rectangle fitted;
    };
    const Case cases[] = {
        {{10, 10, 110, 110}, {0, 0, 800, 600}, {10, 10, 110, 110}},
        {{700, 500, 900, 700}, {0, 0, 800, 600}, {600, 400, 800, 600}},
        {{-30, -20, 70, 80}, {0, 24, 800, 600}, {0, 24, 100, 124}},
        // Larger than the work area: the far sides win, then the screen's
        // top left corner.
        {{0, 0, 1000, 700}, {0, 0, 800, 600}, {0, 0, 1000, 700}},
        {{100, 50, 1100, 750}, {40, 0, 800, 600}, {0, 0, 1000, 700}},
    };
    for (const Case& c : cases) {
        const Rectangle fitted = fit_window_in_work_area(c.window, c.work_area);
        EXPECT_EQ(fitted.left, c.fitted.left) << c.window.left;
        EXPECT_EQ(fitted.top, c.fitted.top) << c.window.left;
        EXPECT_EQ(fitted.right, c.fitted.right) << c.window.left;
        EXPECT_EQ(fitted.bottom, c.fitted.bottom) << c.window.left;
    }
}

using ReactivationTest = test::GlContextTest;

TEST_F(ReactivationTest, TexturesAreReloadedAndWarmedUpOnlyWhenTheDriverNeedsIt) {
    static std::string trace;
    rendering_command_hooks = RenderingCommandHooks{};
    rendering_command_hooks.reload_textures = [] { trace += "reload "; };
    rendering_command_hooks.warm_up_render_layers = [] { trace += "warm up"; };
    struct Case {
        uint32_t fix;
        bool geforce_7;
        const char* trace;
    };
    const Case cases[] = {
        {0, true, ""},
        {2, false, ""},
        {2, true, "reload warm up"},
        {1, false, "reload warm up"},
    };
    for (const Case& c : cases) {
        trace.clear();
        test::ScopedValue fix(opengl::compatibility_fix_reload_textures_on_focus_loss, c.fix);
        test::ScopedValue quirk(opengl::capabilities.quirk_geforce_7_series, c.geforce_7);
        restore_display_after_activation();
        EXPECT_EQ(trace, c.trace) << c.fix << " " << c.geforce_7;
    }
    rendering_command_hooks = RenderingCommandHooks{};
}

// The program's run in a child process: the scripts ask for the 2D
// displays only, so each frame is cleared to black and presented; after
// five frames the window is closed as its user would.
struct RunObservation {
    uint32_t frames = 0;
    uint32_t non_black_pixels = 0;
    bool shown = false;
    std::string report;
};

RunObservation observation;

void check_presented_frame(int32_t, void*) {
    const DisplayMode& mode = get_current_display_mode();
    std::vector<uint8_t> pixels(size_t{mode.width} * mode.height * 4);
    opengl::gl.glReadPixels(0, 0, static_cast<GLsizei>(mode.width), static_cast<GLsizei>(mode.height), GL_RGBA,
                            GL_UNSIGNED_BYTE, pixels.data());
    for (size_t index = 0; index < pixels.size(); index += 4) {
        if (pixels[index] != 0 || pixels[index + 1] != 0 || pixels[index + 2] != 0 || pixels[index + 3] != 255) {
            ++observation.non_black_pixels;
        }
    }
    if (observation.frames == 0) {
        platform::PixelFormatInfo format;
        platform::read_current_pixel_format(&format);
        GLint profile = 0;
        opengl::gl.glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        GLint viewport[4] = {};
        opengl::gl.glGetIntegerv(GL_VIEWPORT, viewport);
        char report[256];
        std::snprintf(
            report, sizeof report, "driver %s colour %u %u %u depth %u stencil %u compatibility %d size %dx%d",
            platform::get_video_driver_name(), format.red_bits, format.green_bits, format.blue_bits, format.depth_bits,
            format.stencil_bits, (profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) != 0, viewport[2], viewport[3]);
        observation.report = report;
    }
    observation.shown = is_window_shown();
    if (++observation.frames == 5) {
        platform::post_window_event(platform::WindowEventKind::close);
    }
}

int run_program_with(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "zolt");
    arguments.push_back(nullptr);
    return run_program(static_cast<int>(arguments.size() - 1), const_cast<char**>(arguments.data()));
}

// A folder whose "pack.list" names only the sample textures pack: the
// program runs without scripts, so the frames are the renderer's alone.
class GameFolder {
public:
    GameFolder() {
        test::copy_sample_textures_pack(get_path());
        std::ofstream(folder_.get_path("pack.list")) << "textures.pack\n";
    }
    std::string get_path() const { return folder_.get_folder().string(); }

private:
    test::TemporaryFolder folder_;
};

// An empty display runs the program where there is none at all.
test::ChildResult run_game_until_closed(const std::string& display, const platform::DisplaySimulation* simulation,
                                        bool full_screen) {
    const GameFolder folder;
    return test::run_in_child([&] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        if (display.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", display.c_str(), 1);
        }
        std::filesystem::current_path(folder.get_path());
        platform::set_display_simulation(simulation);
        // Whatever the event flags say, the frames ask for the 2D displays.
        core::set_frame_loop_observer(
            [](core::FrameLoopState state, void*) {
                if (state == core::FrameLoopState::advance_clocks) {
                    rendering_command_hooks.read_event_flags = [] { return output_flag_displays | 0x1Fu; };
                }
            },
            nullptr);
        set_present_observer(&check_presented_frame, nullptr);
        const int code = run_program_with(
            {"config", "", "window_width", "160", "window_height", "120", "use_fullscreen", full_screen ? "1" : "0"});
        std::fprintf(stderr, "%s\nframes %u non-black %u shown %d code %d\n", observation.report.c_str(),
                     observation.frames, observation.non_black_pixels, observation.shown ? 1 : 0, code);
    });
}

void expect_black_frames_until_closed(const test::ChildResult& result, const char* driver) {
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    const std::string opened =
        std::string("driver ") + driver + " colour 8 8 8 depth 24 stencil 8 compatibility 1 size 160x120\n";
    EXPECT_NE(result.standard_error.find(opened), std::string::npos) << result.standard_error;
    EXPECT_NE(result.standard_error.find("frames 5 non-black 0 shown 1 code 0\n"), std::string::npos)
        << result.standard_error;
}

TEST(GameWindowRun, WithoutADisplayTheGameRunsOffscreenAndEndsWhenItsWindowCloses) {
    expect_black_frames_until_closed(run_game_until_closed("", nullptr, false), "offscreen");
}

TEST(GameWindowRun, UnderXTheWindowPresentsOpaqueBlackAndItsCloseEndsTheGame) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    expect_black_frames_until_closed(run_game_until_closed(server.get_display(), nullptr, false), "x11");
}

TEST(GameWindowRun, WindowedOnASixteenBitDesktopEndsWithExitCode35) {
    static platform::DisplaySimulation desktop;
    desktop.desktop_bits_per_pixel = 16;
    const test::ChildResult windowed = run_game_until_closed("", &desktop, false);
    EXPECT_EQ(windowed.exit_code, ExitCode::desktop_depth);
    EXPECT_NE(windowed.standard_error.find(
                  "zolt: error: It's not possible to create a 32-bit color depth window on a 16-bit desktop."),
              std::string::npos)
        << windowed.standard_error;

    // Full screen switches the display to 32 bits first.
    static const platform::DisplaySetting modes[] = {{160, 120, 32, 0}};
    desktop.settings = modes;
    desktop.setting_count = 1;
    const test::ChildResult full_screen = run_game_until_closed("", &desktop, true);
    EXPECT_EQ(full_screen.exit_code, 0) << full_screen.standard_error;
    EXPECT_NE(full_screen.standard_error.find("code 0\n"), std::string::npos) << full_screen.standard_error;
}

TEST(GameWindowRun, AWindowThatCannotBeMadeNamesTheSizeAskedFor) {
    const GameFolder folder;
    const test::ChildResult result = test::run_in_child([&] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        std::filesystem::current_path(folder.get_path());
        run_program_with({"config", "", "window_width", "40000", "window_height", "120", "use_fullscreen", "0"});
    });
    EXPECT_EQ(result.exit_code, ExitCode::thread_or_window_class) << result.standard_error;
    EXPECT_NE(result.standard_error.find("zolt: error: Unable to create the engine window.\n40000 x 120 windowed: "),
              std::string::npos)
        << result.standard_error;
}

// A real run in timed mode at a fixed 30 frames a second: once the game is
// as far ahead of the frame timer as it may be, each frame waits for the
// timer, so the presents keep its period on the real clock.
std::vector<std::chrono::steady_clock::time_point> present_times;

void record_present_time(int32_t, void*) {
    present_times.push_back(std::chrono::steady_clock::now());
    if (present_times.size() == 45) {
        platform::post_window_event(platform::WindowEventKind::close);
    }
}

TEST(GameWindowRun, AFixedFrameRatePresentsAtItsPeriodOnTheRealClock) {
    const GameFolder folder;
    const test::ChildResult result = test::run_in_child([&] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        std::filesystem::current_path(folder.get_path());
        core::set_frame_loop_observer(
            [](core::FrameLoopState state, void*) {
                if (state == core::FrameLoopState::advance_clocks) {
                    rendering_command_hooks.read_event_flags = [] { return output_flag_displays | 0x1Fu; };
                }
            },
            nullptr);
        set_present_observer(&record_present_time, nullptr);
        const int code = run_program_with({"config", "", "window_width", "160", "window_height", "120",
                                           "frame_rate_control_mode", "0", "minimum_desired_frame_rate", "30",
                                           "maximum_desired_frame_rate", "30", "initial_frame_rate", "30"});
        // The first frames run ahead of the timer; measure the rest.
        std::vector<double> intervals;
        for (size_t index = 16; index < present_times.size(); ++index) {
            intervals.push_back(
                std::chrono::duration<double, std::milli>(present_times[index] - present_times[index - 1]).count());
        }
        const double mean =
            std::chrono::duration<double, std::milli>(present_times.back() - present_times[15]).count() /
            static_cast<double>(intervals.size());
        std::sort(intervals.begin(), intervals.end());
        std::fprintf(stderr, "code %d presents %zu mean %.3f median %.3f\n", code, present_times.size(), mean,
                     intervals[intervals.size() / 2]);
    });
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    int code = -1;
    size_t presents = 0;
    double mean = 0, median = 0;
    const size_t at = result.standard_error.find("code ");
    ASSERT_NE(at, std::string::npos) << result.standard_error;
    ASSERT_EQ(std::sscanf(result.standard_error.c_str() + at, "code %d presents %zu mean %lf median %lf", &code,
                          &presents, &mean, &median),
              4)
        << result.standard_error;
    RecordProperty("mean_interval_ms", std::to_string(mean));
    RecordProperty("median_interval_ms", std::to_string(median));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(presents, 45u);
    const double period = 100000.0 / 30 / 100;
    EXPECT_NEAR(mean, period, 1.0) << result.standard_error;
    EXPECT_NEAR(median, period, 1.5) << result.standard_error;
}

TEST(GameWindowRun, TheProgramUnderXEndsWithZeroOnTerminateSignal) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const GameFolder folder;
    test::ProgramRun run;
    run.arguments = {"-c", "cd '" + folder.get_path() + "' && exec '" + ZOLT_BINARY_PATH +
                               "' config '' window_width 320 window_height 240"};
    run.environment_overrides = {"DISPLAY=" + server.get_display()};
    run.terminate_after_milliseconds = 1500;
    // Starting under the sanitizers on a loaded machine takes a while.
    run.timeout_milliseconds = 90000;
    const test::ChildResult result = test::run_program("/bin/sh", run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
}

}  // namespace
}  // namespace zolt::renderer
