#include "zolt/renderer/graphics_library/display_mode.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "platform/display/display_simulation.h"
#include "zolt/renderer/backend/rendering_commands.h"

namespace zolt::renderer {
namespace {

using Mode = std::tuple<uint32_t, uint32_t, uint32_t>;

// A display listing a few 32-bit modes and refusing those the test names.
class DisplayModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulation_.settings = settings_;
        simulation_.setting_count = static_cast<uint32_t>(std::size(settings_));
        simulation_.accepts_full_screen_mode = &accepts;
        simulation_.context = this;
        platform::set_display_simulation(&simulation_);
        rendering_command_hooks = RenderingCommandHooks{};
        rendering_command_hooks.reload_textures = [] { ++reloads; };
        reloads = 0;
        window_width = 640;
        window_height = 480;
        fullscreen_refresh_rate = 0;
        reset_display_modes();
    }
    void TearDown() override {
        platform::restore_desktop_display_mode();
        platform::set_display_simulation(nullptr);
        rendering_command_hooks = RenderingCommandHooks{};
        set_full_screen_wanted(false);
        reset_display_modes();
        window_width = 640;
        window_height = 480;
        fullscreen_refresh_rate = 0;
    }

    static bool accepts(uint32_t width, uint32_t height, uint32_t rate, void* context) {
        return static_cast<DisplayModeTest*>(context)->refused_.count({width, height, rate}) == 0;
    }

    std::vector<Mode> table() const {
        std::vector<Mode> modes;
        for (uint32_t index = 0; index < get_display_mode_count(); ++index) {
            const DisplayMode& mode = get_display_mode(static_cast<int32_t>(index));
            modes.emplace_back(mode.width, mode.height, mode.refresh_rate);
        }
        return modes;
    }

    platform::DisplaySetting settings_[10] = {
        {1024, 768, 32, 60}, {1024, 768, 32, 75}, {1024, 768, 32, 70}, {1024, 768, 16, 85}, {800, 600, 32, 1},
        {800, 600, 32, 60},  {600, 400, 32, 60},  {1024, 768, 32, 60}, {1280, 1024, 32, 0}, {640, 480, 32, 60},
    };
    platform::DisplaySimulation simulation_;
    std::set<Mode> refused_;
    static inline uint32_t reloads = 0;
};

TEST_F(DisplayModeTest, TableStartsAt640x480AndTakesEach32BitModeOnce) {
    EXPECT_TRUE(add_display_mode({1024, 768, 75}));
    EXPECT_FALSE(add_display_mode({640, 480, 0}));
    enumerate_display_modes();
    // 16-bit, smaller than 640 x 480 and repeated settings are left out; a
    // rate of 1 is the default rate.
    EXPECT_EQ(table(), (std::vector<Mode>{{640, 480, 0},
                                          {1024, 768, 75},
                                          {1024, 768, 60},
                                          {1024, 768, 70},
                                          {800, 600, 0},
                                          {800, 600, 60},
                                          {1280, 1024, 0},
                                          {640, 480, 60}}));
    EXPECT_EQ(builtin_get_display_mode_count(), 8u);
    const geometry::Vector4 mode = builtin_get_display_mode(1);
    EXPECT_EQ(mode.x, 1024.0f);
    EXPECT_EQ(mode.y, 768.0f);
    EXPECT_EQ(mode.z, 75.0f);
    EXPECT_EQ(builtin_get_display_mode(8).x, 0.0f);
    EXPECT_EQ(builtin_get_display_mode(-1).x, 0.0f);
}

TEST_F(DisplayModeTest, SimilarModeHasTheSameSizeAndTheHighestOtherRateNotAboveTheRequestedOne) {
    for (const DisplayMode& mode :
         std::vector<DisplayMode>{{1024, 768, 0}, {1024, 768, 60}, {1024, 768, 75}, {1024, 768, 85}, {800, 600, 70}}) {
        add_display_mode(mode);
    }
    const int32_t d0 = 1, d60 = 2, d75 = 3;
    struct Case {
        uint32_t width, height, rate;
        int32_t found;
    };
    const Case cases[] = {
        {1024, 768, 75, d0},                        // 85 is above; the default rate gives way only above 60
        {1024, 768, 85, d75}, {1024, 768, 60, d0},  // no other rate of 61 to 60
        {1024, 768, 0, d60},                        // the limit of the default rate is 60
        {800, 600, 60, -1},   {640, 400, 0, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find_similar_display_mode(c.width, c.height, c.rate), c.found) << c.width << " " << c.rate;
    }
}

TEST_F(DisplayModeTest, RefusedFullScreenModeFallsBackAndAnswersFalse) {
    enumerate_display_modes();
    set_full_screen_wanted(true);
    const int32_t d60 = 1, d75 = 2, d70 = 3, p800 = 4;
    ASSERT_EQ(get_display_mode(d75).refresh_rate, 75u);

    // Asked for 1024 x 768 at 75: the display refuses it, so 70 (the highest
    // other rate not above 75) is set instead.
    refused_ = {{1024, 768, 75}};
    EXPECT_EQ(builtin_set_display_mode(d75), 0u);
    EXPECT_EQ(get_current_display_mode_index(), d70);
    EXPECT_EQ(std::make_tuple(window_width, window_height, fullscreen_refresh_rate), Mode(1024, 768, 70));
    EXPECT_TRUE(is_full_screen_wanted());
    EXPECT_TRUE(platform::is_full_screen_mode_set());
    EXPECT_GE(reloads, 1u);

    // The current mode asked again: nothing to do.
    EXPECT_EQ(builtin_set_display_mode(d70), 1u);

    // No similar rate: back to the mode current before.
    refused_ = {{1024, 768, 75}, {1024, 768, 60}};
    EXPECT_TRUE(set_display_mode(p800, true));
    EXPECT_FALSE(set_display_mode(d60, true));
    EXPECT_EQ(get_current_display_mode_index(), p800);

    // Nothing at all: 640 x 480, and when even that is refused, windowed at
    // the mode asked for.
    refused_ = {{1024, 768, 75}, {1024, 768, 60}, {1024, 768, 70}, {800, 600, 0}};
    EXPECT_FALSE(set_display_mode(d75, true));
    EXPECT_EQ(get_current_display_mode_index(), 0);
    refused_.insert({640, 480, 0});
    EXPECT_FALSE(set_display_mode(d60, true));
    EXPECT_EQ(get_current_display_mode_index(), d60);
    EXPECT_FALSE(is_full_screen_wanted());
    EXPECT_FALSE(platform::is_full_screen_mode_set());
    EXPECT_EQ(builtin_get_display_mode_index(), d60);
    const geometry::Vector4 size = builtin_get_display_size();
    EXPECT_EQ(size.x, 1024.0f);
    EXPECT_EQ(size.y, 768.0f);

    // Windowed, any mode is set.
    EXPECT_EQ(builtin_set_display_mode(d75), 1u);
    // Indexes outside the table set nothing.
    EXPECT_EQ(builtin_set_display_mode(99), 0u);
    EXPECT_EQ(builtin_set_display_mode(-1), 0u);
    EXPECT_EQ(get_current_display_mode_index(), d75);
}

TEST_F(DisplayModeTest, InitialModeIsTheConfiguredOne) {
    window_width = 800;
    window_height = 600;
    fullscreen_refresh_rate = 60;
    use_fullscreen = true;
    add_display_mode({window_width, window_height, fullscreen_refresh_rate});
    enumerate_display_modes();
    select_initial_display_mode();
    use_fullscreen = false;
    EXPECT_EQ(get_current_display_mode_index(), 1);
    EXPECT_TRUE(is_full_screen_wanted());
    EXPECT_TRUE(platform::is_full_screen_mode_set());
    EXPECT_EQ(reloads, 0u);
}

}  // namespace
}  // namespace zolt::renderer
