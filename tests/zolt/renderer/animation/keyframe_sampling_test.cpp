#include "zolt/renderer/animation/keyframe_sampling.h"

#include <gtest/gtest.h>

#include "animation_fixtures.h"
#include "zolt/renderer/animation/channel_binding.h"

namespace zolt::animation {
namespace {

using geometry::Quaternion;

TEST(KeyframeSamplingTest, FrameLookupTable) {
    struct Row {
        uint32_t duration, frames, time;
        FrameLookup expected;
    };
    const Row rows[] = {
        {1000, 5, 0, {0, 1, 0.0f}},
        {1000, 5, 600, {2, 3, 0.4f}},
        {1000, 5, 1000, {4, 0, 0.0f}},
        {1000, 5, 249, {0, 1, 0.996f}},
        {1000, 1, 300, {0, 0, 1.0f}},
        {0, 5, 300, {0, 0, 1.0f}},
        {1000, 0, 300, {0, 0, 1.0f}},
        {3, 4, 2, {2, 3, 0.0f}},
        // More frames than ticks: frames 1 and 2 both start at tick 1.
        {2, 5, 1, {2, 3, 0.0f}},
        {1000, 5, 5000, {4, 0, 0.0f}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.duration << " ticks, " << row.frames << " frames at " << row.time);
        const FrameLookup lookup = find_frames(row.duration, row.frames, row.time);
        EXPECT_EQ(lookup.frame, row.expected.frame);
        EXPECT_EQ(lookup.next_frame, row.expected.next_frame);
        EXPECT_NEAR(lookup.fraction, row.expected.fraction, 1e-6f);
    }
}

class KeyframeSamplingPoseTest : public testing::Test {
protected:
    void SetUp() override {
        KeyEntry keys[maximum_skeleton_channels];
        const uint32_t count = read_skeleton_keys(skeleton_, keys);
        ASSERT_FALSE(bind_channels(keys, count, animation_, count, map_));
    }

    void sample(uint32_t time, uint32_t mode) {
        clear_pose(pose_, 5);
        sample_pose(animation_, map_, time, 0, 5, pose_, skeleton_, 3, mode);
    }

    const std::vector<uint8_t> skeleton_bytes_ = test::build_chain_skeleton();
    const std::vector<uint8_t> animation_bytes_ = test::build_walk_animation();
    const SkeletonView skeleton_ = test::view_skeleton(skeleton_bytes_);
    const AnimationView animation_ = test::view_animation(animation_bytes_);
    uint8_t map_[maximum_skeleton_channels];
    MixedBone pose_[5];
};

void expect_rotation(const Quaternion& actual, const Quaternion& expected) {
    // q and -q are the same rotation.
    const float sign = geometry::dot(actual, expected) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(actual.x, sign * expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, sign * expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, sign * expected.z, 1e-5f);
    EXPECT_NEAR(actual.w, sign * expected.w, 1e-5f);
}

TEST_F(KeyframeSamplingPoseTest, BindingMergesKeysAndLeavesMissingOnesUnbound) {
    const uint8_t expected[5] = {1, 2, unbound_channel, 3, 4};
    for (uint32_t channel = 0; channel < 5; ++channel) {
        EXPECT_EQ(map_[channel], expected[channel]) << channel;
    }
    // Key 10 is the animation's channel 1, so the first two channels do not
    // bind as the identity.
    KeyEntry keys[2] = {{10, 0}, {20, 1}};
    uint8_t small[2];
    EXPECT_FALSE(bind_channels(keys, 2, animation_, 2, small));
    EXPECT_EQ(small[0], 1);
    EXPECT_EQ(small[1], 2);
    // The stranger with key 60 is channel 0: a one-channel skeleton keyed
    // 60 binds as the identity.
    KeyEntry stranger[1] = {{60, 0}};
    EXPECT_TRUE(bind_channels(stranger, 1, animation_, 1, small));
}

TEST_F(KeyframeSamplingPoseTest, AbsoluteModeInterpolatesAndFallsBackToTheRestPose) {
    sample(600, sampling_mode::absolute);
    for (const MixedBone& entry : pose_) {
        EXPECT_FLOAT_EQ(entry.weight, 1.0f);
    }
    EXPECT_NEAR(pose_[0].position.z, 2.4f, 1e-5f);
    expect_rotation(pose_[0].rotation, test::make_turn(0, 0, 1, 2.4f / 8));
    EXPECT_FLOAT_EQ(pose_[1].position.y, 1.0f);
    expect_rotation(pose_[1].rotation, test::make_turn(1, 0, 0, 2.4f / 16));
    // Key 30 is not animated: the rest transform.
    EXPECT_FLOAT_EQ(pose_[2].position.y, 1.0f);
    expect_rotation(pose_[2].rotation, test::make_turn(0, 0, 1, 0.125f));
    EXPECT_NEAR(pose_[3].position.x, 2.4f, 1e-5f);
    EXPECT_FLOAT_EQ(pose_[4].position.x, 2.0f);
}

TEST_F(KeyframeSamplingPoseTest, RelativeModes) {
    sample(500, sampling_mode::relative_to_first_frame);
    EXPECT_NEAR(pose_[0].position.z, 2.0f, 1e-5f);
    expect_rotation(pose_[0].rotation, test::make_turn(0, 0, 1, 0.25f));
    EXPECT_FLOAT_EQ(pose_[1].position.y, 0.0f);  // constant: zero
    expect_rotation(pose_[1].rotation, test::make_turn(1, 0, 0, 0.125f));
    EXPECT_FLOAT_EQ(pose_[2].position.y, 0.0f);  // unbound: zero and identity
    expect_rotation(pose_[2].rotation, geometry::identity_quaternion());
    EXPECT_NEAR(pose_[3].position.x, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(pose_[4].position.x, 0.0f);

    sample(500, sampling_mode::relative_to_rest_pose);
    EXPECT_NEAR(pose_[0].position.z, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(pose_[1].position.y, 0.0f);  // constant (0, 1, 0) less the rest (0, 1, 0)
    expect_rotation(pose_[1].rotation, test::make_turn(1, 0, 0, 0.125f));
    expect_rotation(pose_[2].rotation, geometry::identity_quaternion());
    EXPECT_NEAR(pose_[3].position.x, 2.0f - 0.25f, 1e-5f);
    EXPECT_FLOAT_EQ(pose_[4].position.x, 2.0f - 0.5f);
    EXPECT_FLOAT_EQ(pose_[2].position.x, 0.0f);
}

TEST_F(KeyframeSamplingPoseTest, AChannelOfTheWrongKindIsNotSampled) {
    // Bind the scalar key 40 to bone channel 0 and the bone key 10 to
    // factor channel 3.
    KeyEntry keys[2] = {{10, 3}, {40, 0}};
    uint8_t crossed[5];
    bind_channels(keys, 2, animation_, 5, crossed);
    clear_pose(pose_, 5);
    sample_pose(animation_, crossed, 600, 0, 5, pose_, skeleton_, 3, sampling_mode::absolute);
    EXPECT_FLOAT_EQ(pose_[0].position.z, 0.0f);
    expect_rotation(pose_[0].rotation, geometry::identity_quaternion());
    EXPECT_FLOAT_EQ(pose_[3].position.x, 0.25f);
}

}  // namespace
}  // namespace zolt::animation
