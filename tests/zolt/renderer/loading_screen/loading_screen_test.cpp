// The loading screen in the GL harness: showing it freezes the frame and
// turns the picture over it where the rotation puts its corners; loaders
// present it every 100 ms while a slow pack loads; the builtins answer as
// scripts expect.
#include "zolt/renderer/loading_screen/loading_screen.h"

#include <gtest/gtest.h>

#include <cmath>

#include "libs/system/time_base.h"
#include "platform/system/files.h"
#include "support/builtin_call.h"
#include "zolt/core/loading_screen/loading_screen.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;

constexpr uint32_t picture_id = 0x20007000;
constexpr uint32_t slow_resource_id = 0x30000001;
constexpr uint32_t slow_pack_key = 1;
// What the frame frozen under the loading screen shows.
constexpr uint32_t frame_colour = 0xFF00C000;

uint32_t call_word(uint32_t id, std::initializer_list<uint32_t> arguments = {}) {
    test::BuiltinCall call;
    return call.call(id, arguments).word();
}

uint32_t builtin(core::BuiltinId id) {
    return static_cast<uint32_t>(id);
}

class LoadingScreen : public test_support::TextureWorld {
protected:
    void SetUp() override {
        TextureWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        saved_hooks_ = rendering_command_hooks;
        reset_display_modes();
        ASSERT_TRUE(add_display_mode({width, height, 0}));
        ASSERT_TRUE(set_display_mode(1, true));
        set_target_size(width, height);
        set_viewport(0, 0, width, height);

        // A 4 x 4 opaque red picture.
        test_support::TextureFixture picture;
        picture.id = picture_id;
        picture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest);
        picture.width = picture.height = 4;
        picture.surfaces = test_support::make_surfaces(picture.format, 4, 4, 1,
                                                       [](uint32_t, uint32_t, uint32_t, uint32_t, uint8_t* texel) {
                                                           texel[0] = 0;    // blue
                                                           texel[1] = 0;    // green
                                                           texel[2] = 255;  // red
                                                           texel[3] = 255;  // alpha
                                                       });
        tools::PackDescription slow;
        slow.key = slow_pack_key;
        slow.resources.push_back(test::make_resource(slow_resource_id, test::make_random_bytes(64 * 1024, 7)));
        packs_.add_pack("slow.pack", slow);
        open_world({picture});

        install_loading_screen_hooks();
        rendering_command_hooks.read_event_flags = [] { return output_flag_viewports; };
        rendering_command_hooks.render_viewports = [] {
            clear_frame_buffer(frame_colour);
            return true;
        };
        set_present_observer([](int32_t, void* count) { ++*static_cast<uint32_t*>(count); }, &presents_);
    }
    void TearDown() override {
        if (context_made_) {
            if (core::is_loading_screen_shown()) {
                core::hide_loading_screen();
            }
            set_present_observer(nullptr, nullptr);
            remove_loading_screen_hooks();
            rendering_command_hooks = saved_hooks_;
            platform::disarm_file_faults();
        }
        reset_display_modes();
        TextureWorld::TearDown();
    }

    // Whether the picture turned by the phase covers the pixel's centre,
    // with a margin either way: 1 inside, -1 outside, 0 too near the edge.
    static int classify(float phase, int32_t x, int32_t y) {
        const double turn = 2 * 3.14159265358979323846 * phase;
        const double c = std::cos(turn);
        const double s = std::sin(turn);
        const LoadingScreenState& state = loading_screen;
        const double dx = ((x + 0.5) / width - state.centre[0]) / (state.size[0] / 2);
        const double dy = ((y + 0.5) / height - state.centre[1]) / (state.size[1] / 2);
        // The inverse of x' = u c + v s, y' = v c - u s.
        const double u = dx * c - dy * s;
        const double v = dx * s + dy * c;
        const double extent = std::fmax(std::fabs(u), std::fabs(v));
        return extent < 0.85 ? 1 : extent > 1.15 ? -1 : 0;
    }

    // Every pixel well inside the turned picture is red and every pixel
    // well outside it shows the frozen frame.
    void expect_picture_at(float phase) {
        uint32_t inside = 0;
        for (int32_t y = 0; y < static_cast<int32_t>(height); ++y) {
            for (int32_t x = 0; x < static_cast<int32_t>(width); ++x) {
                const int where = classify(phase, x, y);
                if (where == 0) {
                    continue;
                }
                const Pixel expected = where > 0 ? Pixel{255, 0, 0, 255} : Pixel{0, 0xC0, 0, 255};
                ASSERT_EQ(read_pixel(x, y), expected) << x << ", " << y << " phase " << phase;
                inside += where > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(inside, 40u);
    }

    RenderingCommandHooks saved_hooks_;
    uint32_t presents_ = 0;
};

TEST_F(LoadingScreen, ShowingFreezesTheFrameAndTurnsThePictureOverIt) {
    // Centred on the window, half of it across and a quarter high.
    core::show_loading_screen(picture_id, 32, 32, 32, 16);
    EXPECT_EQ(presents_, 1u);
    EXPECT_NE(loading_screen.background_texture, 0u);
    EXPECT_NE(loading_screen.overlay_texture, 0u);
    EXPECT_EQ(loading_screen.requested_size[0], 0);
    // Command 14 drew once: a tenth of a turn.
    EXPECT_NEAR(loading_screen.phase, 0.1f, 1e-6f);
    expect_picture_at(0.1f);
    float x = 0;
    float y = 0;
    get_loading_picture_corner(0.1f, 1, 1, &x, &y);
    // Turning clockwise: the top right corner moves right and down.
    EXPECT_GT(x, 0.75f);
    EXPECT_LT(y, 0.625f);

    // Command 1 now draws only the loading screen, over the frozen frame.
    rendering_command_hooks.render_viewports = [] {
        clear_frame_buffer(0xFFFFFFFF);
        return true;
    };
    issue_rendering_command(render_frame_command);
    expect_picture_at(0.2f);

    core::hide_loading_screen();
    EXPECT_EQ(loading_screen.background_texture, 0u);
    EXPECT_EQ(loading_screen.overlay_texture, 0u);
    EXPECT_EQ(loading_screen.width, 0u);
    EXPECT_FALSE(core::get_loading_screen_thread().is_linked());
}

TEST_F(LoadingScreen, TenDrawingsTurnThePictureOnceAndTheLoadersAreThrottled) {
    core::show_loading_screen(picture_id, 32, 32, 16, 16);
    for (int drawing = 0; drawing < 9; ++drawing) {
        draw_loading_screen();
    }
    EXPECT_LT(std::fmin(loading_screen.phase, 1 - loading_screen.phase), 1e-5f);

    presents_ = 0;
    loading_screen.last_drawing_time = get_time() - loading_screen_redraw_interval;
    EXPECT_TRUE(update_loading_screen());
    EXPECT_EQ(presents_, 1u);
    // Within 100 ms of the last drawing it answers true and draws nothing.
    EXPECT_TRUE(update_loading_screen());
    EXPECT_EQ(presents_, 1u);

    core::hide_loading_screen();
    EXPECT_FALSE(update_loading_screen());
}

TEST_F(LoadingScreen, WithoutAPictureOnlyTheThreadRedraws) {
    core::show_loading_screen(0, 32, 32, 16, 16);
    EXPECT_EQ(loading_screen.overlay_texture, 0u);
    EXPECT_NE(loading_screen.background_texture, 0u);
    loading_screen.last_drawing_time = get_time() - loading_screen_redraw_interval;
    presents_ = 0;
    EXPECT_FALSE(update_loading_screen());
    EXPECT_EQ(presents_, 0u);
    // The thread was woken for now and presents the still frame.
    core::Thread& thread = core::get_loading_screen_thread();
    ASSERT_TRUE(thread.is_linked());
    const uint32_t now = get_time();
    core::run_thread(&thread, now);
    EXPECT_EQ(presents_, 1u);
    EXPECT_EQ(read_pixel(32, 32), (Pixel{0, 0xC0, 0, 255}));
    EXPECT_TRUE(thread.is_linked());
    EXPECT_GE(thread.wake_time - now, loading_screen_redraw_interval);
}

TEST_F(LoadingScreen, ASlowPackLoadsBehindAPresentedLoadingScreen) {
    core::show_loading_screen(picture_id, 32, 32, 32, 16);
    presents_ = 0;
    core::ResourceLoader& loader = test::get_loader();
    loader.mark_packs(0xFFFFFFFF, slow_pack_key);
    // The directory is read on the main thread; the stall strikes the
    // resource's own read on the IO thread, which the main thread waits for.
    platform::arm_file_fault({platform::FileCall::read, platform::FileFaultKind::stall, 450, 1});
    const uint32_t started = get_time();
    loader.load_marked_packs();
    const uint32_t elapsed = get_time() - started;
    ASSERT_GE(elapsed, 45000u);
    ASSERT_NE(loader.find_resource(slow_resource_id), nullptr);
    // About one present per 100 ms of the stalled read.
    EXPECT_GE(presents_, 3u);
    EXPECT_LE(presents_, elapsed / loading_screen_redraw_interval + 1);
    expect_picture_at(loading_screen.phase);
}

TEST_F(LoadingScreen, TheBuiltinsShowAskAndHide) {
    using core::BuiltinId;
    EXPECT_EQ(call_word(builtin(BuiltinId::is_loading_screen_shown)), 0u);
    call_word(builtin(BuiltinId::show_loading_screen),
              {picture_id, test::float_word(32), test::float_word(32), test::float_word(32), test::float_word(16)});
    EXPECT_EQ(call_word(builtin(BuiltinId::is_loading_screen_shown)), 1u);
    expect_picture_at(0.1f);
    call_word(builtin(BuiltinId::hide_loading_screen));
    EXPECT_EQ(call_word(builtin(BuiltinId::is_loading_screen_shown)), 0u);

    const struct {
        uint32_t language, expected;
    } languages[] = {{13, 13}, {1, 1}, {0, 1}, {14, 1}, {33, 1}, {0xFFFFFFFF, 1}};
    for (const auto& row : languages) {
        EXPECT_EQ(call_word(builtin(BuiltinId::validate_language), {row.language}), row.expected) << row.language;
    }
}

}  // namespace
}  // namespace zolt::renderer
