#include "zolt/renderer/animation/pose_mixing.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "animation_fixtures.h"
#include "support/child_process.h"

namespace zolt::animation {
namespace {

using geometry::Quaternion;

MixedBone bone_with_weight(float weight) {
    MixedBone bone;
    bone.weight = weight;
    return bone;
}

TEST(PoseMixingTest, EffectiveWeightTable) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        TrackMixingType type;
        float held;
        float requested;
        bool contributes;
        float effective;
    };
    const Row rows[] = {
        {TrackMixingType::Blend, 0.9f, 0.7f, true, 0.7f},
        {TrackMixingType::Override, 1.0f, 0.4f, true, 0.4f},
        {TrackMixingType::Additive, 5.0f, 0.25f, true, 0.25f},
        {TrackMixingType::BlendClamped, 0.0f, 0.7f, true, 0.7f},
        {TrackMixingType::BlendClamped, 0.7f, 0.7f, true, 0.3f},
        {TrackMixingType::BlendClamped, 1.0f, 0.7f, false, 0},
        {TrackMixingType::BlendIfNotFull, 0.99f, 0.5f, true, 0.5f},
        {TrackMixingType::BlendIfNotFull, 1.0f, 0.5f, false, 0},
        {TrackMixingType::BlendRemainder, 0.75f, 0.5f, true, 0.125f},
        {TrackMixingType::BlendRemainder, 1.0f, 0.5f, false, 0},
        {TrackMixingType::Blend, 0.0f, 1.0f / 65536.0f, false, 0},
        {TrackMixingType::Blend, 0.0f, -1.0f, false, 0},
        {TrackMixingType::Blend, 0.0f, nan, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << static_cast<uint32_t>(row.type) << " held " << row.held
                                        << " requested " << row.requested);
        float effective = -1;
        EXPECT_EQ(compute_effective_mixing_weight(bone_with_weight(row.held), row.type, row.requested, &effective),
                  row.contributes);
        if (row.contributes) {
            EXPECT_FLOAT_EQ(effective, row.effective);
        }
    }
}

TEST(PoseMixingTest, AMixingTypeAboveAdditiveIsFatal) {
    const zolt::test::ChildResult result = zolt::test::run_in_child([] {
        float effective;
        compute_effective_mixing_weight(MixedBone{}, static_cast<TrackMixingType>(6), 1.0f, &effective);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("Unexpected mixing type 6."), std::string::npos) << result.standard_error;
}

// Channel 0 a bone, channel 1 a factor.
struct TwoChannels {
    MixedBone channels[2];
};

TwoChannels make_source(float x, float turns, float factor) {
    TwoChannels pose;
    pose.channels[0] = {1.0f, {x, 0, 0}, test::make_turn(0, 0, 1, turns)};
    pose.channels[1] = {1.0f, {factor, 0, 0}, {}};
    return pose;
}

TEST(PoseMixingTest, TwoFullBlendsAverageAndClampedBlendsFill) {
    TwoChannels destination{};
    clear_pose(destination.channels, 2);
    mix_pose(make_source(2, 0.25f, 4).channels, 0, 2, destination.channels, 1, TrackMixingType::Blend, 1.0f, nullptr);
    mix_pose(make_source(4, 0.0f, 8).channels, 0, 2, destination.channels, 1, TrackMixingType::Blend, 1.0f, nullptr);
    EXPECT_FLOAT_EQ(destination.channels[0].weight, 2.0f);
    EXPECT_FLOAT_EQ(destination.channels[0].position.x, 3.0f);
    const Quaternion half = test::make_turn(0, 0, 1, 0.125f);
    EXPECT_NEAR(destination.channels[0].rotation.z, half.z, 1e-6f);
    EXPECT_NEAR(destination.channels[0].rotation.w, half.w, 1e-6f);
    EXPECT_FLOAT_EQ(destination.channels[1].position.x, 6.0f);

    TwoChannels clamped{};
    clear_pose(clamped.channels, 2);
    mix_pose(make_source(10, 0, 0).channels, 0, 1, clamped.channels, 1, TrackMixingType::BlendClamped, 0.7f, nullptr);
    mix_pose(make_source(20, 0, 0).channels, 0, 1, clamped.channels, 1, TrackMixingType::BlendClamped, 0.7f, nullptr);
    EXPECT_FLOAT_EQ(clamped.channels[0].weight, 1.0f);
    EXPECT_NEAR(clamped.channels[0].position.x, 13.0f, 1e-5f);
    mix_pose(make_source(99, 0, 0).channels, 0, 1, clamped.channels, 1, TrackMixingType::BlendIfNotFull, 1.0f, nullptr);
    EXPECT_NEAR(clamped.channels[0].position.x, 13.0f, 1e-5f);
}

TEST(PoseMixingTest, OverrideAdditiveAndChannelWeights) {
    TwoChannels destination{};
    clear_pose(destination.channels, 2);
    mix_pose(make_source(2, 0, 1).channels, 0, 2, destination.channels, 1, TrackMixingType::Blend, 1.0f, nullptr);
    // Override at 0.25 keeps three quarters of what was there.
    mix_pose(make_source(6, 0.25f, 5).channels, 0, 2, destination.channels, 1, TrackMixingType::Override, 0.25f,
             nullptr);
    EXPECT_FLOAT_EQ(destination.channels[0].weight, 1.0f);
    EXPECT_FLOAT_EQ(destination.channels[0].position.x, 3.0f);
    EXPECT_FLOAT_EQ(destination.channels[1].position.x, 2.0f);
    EXPECT_NEAR(destination.channels[0].rotation.z, test::make_turn(0, 0, 1, 0.0625f).z, 1e-6f);

    // Additive at 0.5 adds half the offset and half the turn on top.
    TwoChannels added = destination;
    mix_pose(make_source(4, 0.25f, 2).channels, 0, 2, added.channels, 1, TrackMixingType::Additive, 0.5f, nullptr);
    EXPECT_FLOAT_EQ(added.channels[0].weight, 1.5f);
    EXPECT_FLOAT_EQ(added.channels[0].position.x, 5.0f);
    EXPECT_FLOAT_EQ(added.channels[1].position.x, 3.0f);
    EXPECT_NEAR(added.channels[0].rotation.z, test::make_turn(0, 0, 1, 0.0625f + 0.125f).z, 1e-5f);

    // A per-channel weight of 0 leaves the channel alone; others scale.
    TwoChannels weighted = destination;
    const float channel_weights[2] = {0.0f, 0.5f};
    mix_pose(make_source(100, 0, 9).channels, 0, 2, weighted.channels, 1, TrackMixingType::Override, 1.0f,
             channel_weights);
    EXPECT_FLOAT_EQ(weighted.channels[0].position.x, 3.0f);
    EXPECT_FLOAT_EQ(weighted.channels[1].position.x, 5.5f);

    // A negligible mixer weight does nothing at all.
    TwoChannels untouched = destination;
    mix_pose(make_source(100, 0, 9).channels, 0, 2, untouched.channels, 1, TrackMixingType::Override, 1.0f / 65536.0f,
             nullptr);
    EXPECT_FLOAT_EQ(untouched.channels[0].position.x, 3.0f);
}

TEST(PoseMixingTest, AFreshChannelTakesTheFirstContributionWhole) {
    TwoChannels destination{};
    clear_pose(destination.channels, 2);
    mix_pose(make_source(7, 0.2f, 3).channels, 0, 2, destination.channels, 1, TrackMixingType::Blend, 0.3f, nullptr);
    EXPECT_FLOAT_EQ(destination.channels[0].weight, 0.3f);
    EXPECT_FLOAT_EQ(destination.channels[0].position.x, 7.0f);
    EXPECT_FLOAT_EQ(destination.channels[0].rotation.z, test::make_turn(0, 0, 1, 0.2f).z);
    EXPECT_FLOAT_EQ(destination.channels[1].position.x, 3.0f);
}

}  // namespace
}  // namespace zolt::animation
