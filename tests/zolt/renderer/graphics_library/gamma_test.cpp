#include "zolt/renderer/graphics_library/gamma.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "libs/opengl/opengl_config.h"
#include "platform/display/display_simulation.h"

namespace zolt::renderer {
namespace {

// The device ramp is the simulation's; every ramp written is kept.
class GammaTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulation_.simulates_gamma = true;
        simulation_.gamma_ramp_written = &note_ramp;
        simulation_.context = this;
        platform::set_display_simulation(&simulation_);
        save_device_gamma_ramp();
    }
    void TearDown() override {
        platform::set_display_simulation(nullptr);
        opengl::compatibility_fix_failing_gamma = true;
        gamma = 1.0f;
        brightness = 0.0f;
        contrast = 1.0f;
    }
    static void note_ramp(const uint16_t* ramp, void* context) {
        static_cast<GammaTest*>(context)->ramps_.emplace_back(ramp, ramp + 768);
    }
    // Level i / 255 in each channel, give or take the last bit of rounding.
    static bool is_identity(const std::vector<uint16_t>& ramp) {
        for (uint32_t index = 0; index < 256; ++index) {
            const int32_t expected = static_cast<int32_t>(index * 257u);
            for (uint32_t channel = 0; channel < 3; ++channel) {
                if (std::abs(ramp[channel * 256 + index] - expected) > 1) {
                    return false;
                }
            }
        }
        return true;
    }

    platform::DisplaySimulation simulation_;
    std::vector<std::vector<uint16_t>> ramps_;
};

TEST_F(GammaTest, RampFollowsGammaBrightnessAndContrastWithinZeroToOne) {
    float levels[256];
    build_gamma_ramp(1.0f, 0.0f, 1.0f, levels);
    for (uint32_t index = 0; index < 256; ++index) {
        EXPECT_FLOAT_EQ(levels[index], static_cast<float>(index) / 255.0f);
    }
    build_gamma_ramp(2.0f, 0.1f, 2.0f, levels);
    // ((64 / 255)^0.5 + 0.1 - 0.5) x 2 + 0.5
    EXPECT_NEAR(levels[64], (0.50097f + 0.1f - 0.5f) * 2.0f + 0.5f, 1e-4f);
    EXPECT_EQ(levels[0], 0.0f);
    EXPECT_EQ(levels[255], 1.0f);
    build_gamma_ramp(0.0f, 0.0f, 100.0f, levels);
    EXPECT_EQ(levels[128], 0.0f);
    EXPECT_EQ(levels[255], 1.0f);
}

TEST_F(GammaTest, AChangeFadesInTwentyRampsFromTheIdentityUnlessImmediate) {
    ASSERT_TRUE(is_gamma_ramp_available());
    set_gamma(1.5f, 0.2f, 1.3f, false);
    ASSERT_EQ(ramps_.size(), 20u);
    EXPECT_TRUE(is_identity(ramps_.front()));
    float target[256];
    build_gamma_ramp(1.5f, 0.2f, 1.3f, target);
    EXPECT_EQ(ramps_.back()[100], static_cast<uint16_t>(target[100] * 65535.0f));
    EXPECT_EQ(gamma, 1.5f);
    EXPECT_EQ(brightness, 0.2f);
    EXPECT_EQ(contrast, 1.3f);

    ramps_.clear();
    set_gamma_immediately(1.0f, 0.0f, 1.0f);
    ASSERT_EQ(ramps_.size(), 1u);
    EXPECT_TRUE(is_identity(ramps_.front()));

    ramps_.clear();
    opengl::compatibility_fix_failing_gamma = false;
    reapply_gamma();
    EXPECT_EQ(ramps_.size(), 1u);

    // The ramp saved at the start goes back.
    ramps_.clear();
    restore_saved_gamma_ramp();
    ASSERT_EQ(ramps_.size(), 1u);
    for (uint32_t index = 0; index < 256; ++index) {
        EXPECT_EQ(ramps_.front()[index], index * 257u);
    }
}

TEST_F(GammaTest, WithoutAReadableRampGammaChangesDoNothing) {
    simulation_.gamma_readable = false;
    save_device_gamma_ramp();
    EXPECT_FALSE(is_gamma_ramp_available());
    set_gamma(2.0f, 0.0f, 1.0f, true);
    restore_saved_gamma_ramp();
    EXPECT_TRUE(ramps_.empty());
    EXPECT_EQ(gamma, 2.0f);
}

}  // namespace
}  // namespace zolt::renderer
