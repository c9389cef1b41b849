#include "zolt/renderer/animation/root_motion.h"

#include <gtest/gtest.h>

#include "animation_fixtures.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"

namespace zolt::animation {
namespace {

using geometry::Quaternion;

void expect_turn_about_z(const Quaternion& q, float turns) {
    const Quaternion expected = test::make_turn(0, 0, 1, turns);
    const float sign = geometry::dot(q, expected) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(q.x, 0.0f, 1e-5f);
    EXPECT_NEAR(q.y, 0.0f, 1e-5f);
    EXPECT_NEAR(q.z * sign, expected.z, 1e-5f);
    EXPECT_NEAR(q.w * sign, expected.w, 1e-5f);
}

TEST(RootMotionTest, SplittingByAxes) {
    const RootTransform root{{1, 2, 3}, geometry::euler_to_quaternion({0.1f, 0.05f, 0.0f})};
    const SplitRoot none = split_root_transform(root, 0);
    EXPECT_TRUE(geometry::equal_xyz(none.kept.position, root.position));
    EXPECT_TRUE(geometry::equal_xyzw(none.kept.rotation, root.rotation));
    EXPECT_TRUE(geometry::equal_xyz(none.taken.position, {0, 0, 0}));

    const SplitRoot split = split_root_transform(
        root, root_motion_flag::position_x | root_motion_flag::position_z | root_motion_flag::rotation_z);
    EXPECT_TRUE(geometry::equal_xyz(split.kept.position, {0, 2, 0}));
    EXPECT_TRUE(geometry::equal_xyz(split.taken.position, {1, 0, 3}));
    // The turn about Z leaves the pose; the tilt about X stays.
    expect_turn_about_z(split.taken.rotation, 0.1f);
    const geometry::Vector3 kept = geometry::quaternion_to_euler(split.kept.rotation);
    EXPECT_NEAR(kept.x, 0.0f, 1e-5f);
    EXPECT_NEAR(kept.y, 0.05f, 1e-5f);
}

class RootMotionWalkTest : public testing::Test {
protected:
    void SetUp() override {
        KeyEntry keys[maximum_skeleton_channels];
        bind_channels(keys, read_skeleton_keys(skeleton_, keys), walk_, 5, map_);
        cycle_ = compute_cycle_root_motion(walk_, map_);
    }

    const std::vector<uint8_t> skeleton_bytes_ = test::build_chain_skeleton();
    const std::vector<uint8_t> walk_bytes_ = test::build_walk_animation();
    const SkeletonView skeleton_ = test::view_skeleton(skeleton_bytes_);
    const AnimationView walk_ = test::view_animation(walk_bytes_);
    uint8_t map_[maximum_skeleton_channels];
    RootTransform cycle_;
    static constexpr uint32_t forward_and_turn = root_motion_flag::position_z | root_motion_flag::rotation_z;
};

TEST_F(RootMotionWalkTest, OneCycleMovesFromTheFirstFrameToTheLast) {
    EXPECT_TRUE(geometry::equal_xyz(cycle_.position, {0, 0, 4}));
    expect_turn_about_z(cycle_.rotation, 0.5f);
    // The constant stranger channel bound to skeleton channel 0 has no motion.
    const uint8_t stranger[1] = {0};
    const RootTransform still = compute_cycle_root_motion(walk_, stranger);
    EXPECT_TRUE(geometry::equal_xyz(still.position, {0, 0, 0}));
    EXPECT_TRUE(geometry::equal_xyzw(still.rotation, geometry::identity_quaternion()));
}

TEST_F(RootMotionWalkTest, StepsWithinAndAcrossCycles) {
    const RootTransform within = compute_step_root_motion(walk_, map_, skeleton_, forward_and_turn, 0, 500, 0, cycle_);
    EXPECT_NEAR(within.position.z, 2.0f, 1e-5f);
    expect_turn_about_z(within.rotation, 0.25f);

    // 900 to 150 across one loop: z from 3.6 to 4 + 0.6, the turn from
    // 0.45 to 0.5 + 0.075.
    const RootTransform across =
        compute_step_root_motion(walk_, map_, skeleton_, forward_and_turn, 900, 150, 1, cycle_);
    EXPECT_NEAR(across.position.x, 0.0f, 1e-5f);
    EXPECT_NEAR(across.position.z, 1.0f, 1e-4f);
    expect_turn_about_z(across.rotation, 0.125f);

    // Backwards over the same stretch undoes it.
    const RootTransform back = compute_step_root_motion(walk_, map_, skeleton_, forward_and_turn, 150, 900, -1, cycle_);
    EXPECT_NEAR(back.position.z, -1.0f, 1e-4f);
    expect_turn_about_z(back.rotation, -0.125f);

    const RootTransform nothing = compute_step_root_motion(walk_, map_, skeleton_, 0, 0, 500, 0, cycle_);
    EXPECT_TRUE(geometry::equal_xyz(nothing.position, {0, 0, 0}));
    EXPECT_TRUE(geometry::equal_xyzw(nothing.rotation, geometry::identity_quaternion()));
}

}  // namespace
}  // namespace zolt::animation
