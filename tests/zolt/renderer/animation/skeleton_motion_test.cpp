#include "zolt/renderer/animation/skeleton_motion.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "animation_fixtures.h"

namespace zolt::animation {
namespace {

TEST(SkeletonMotionTest, StepTable) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* name;
        uint32_t last, time;
        float speed, scale;
        std::optional<float> step;
    };
    const Row rows[] = {
        {"forwards", 100, 350, 1.0f, 1.0f, 250.0f},
        {"speed and scale multiply", 100, 350, 2.0f, 0.5f, 250.0f},
        {"a time scale of 0 only records the time", 100, 350, 1.0f, 0.0f, std::nullopt},
        {"a negligible rate", 100, 350, 1.0f / 65536.0f, 1.0f, std::nullopt},
        {"a NaN speed", 100, 350, nan, 1.0f, std::nullopt},
        {"the same time", 350, 350, 1.0f, 1.0f, 0.0f},
        {"back in time wraps", 350, 100, 1.0f, 1.0f, 4294967046.0f},
        {"across the clock's wrap", 0xFFFFFF00u, 0x100, 1.0f, 1.0f, 512.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(compute_skeleton_step(row.last, row.time, row.speed, row.scale), row.step);
    }
}

TEST(SkeletonMotionTest, RootMotionStepsAreTakenInTheRootsFrame) {
    RootMotion total;
    const geometry::Quaternion quarter = test::make_turn(0, 0, 1, 0.25f);
    accumulate_root_motion(total, {1, 0, 0}, quarter);
    accumulate_root_motion(total, {1, 0, 0}, quarter);
    // The second step goes along +Y, the direction +X had turned to.
    EXPECT_NEAR(total.position.x, 1.0f, 1e-6f);
    EXPECT_NEAR(total.position.y, 1.0f, 1e-6f);
    EXPECT_NEAR(total.rotation.z, test::make_turn(0, 0, 1, 0.5f).z, 1e-6f);
    EXPECT_NEAR(total.rotation.w, 0.0f, 1e-6f);
}

TEST(SkeletonMotionTest, BoundsAroundTheBones) {
    const geometry::Vector3 one{1, 2, 3};
    const SkeletonBounds single = compute_skeleton_bounds(&one, 1);
    EXPECT_TRUE(geometry::equal_xyz(single.centre, one));
    EXPECT_TRUE(geometry::equal_xyz(single.extents, {0.5f, 0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(single.radius, 0.5f);

    const geometry::Vector3 three[] = {{0, 0, 0}, {2, 0, 0}, {0, 0, 4}};
    const SkeletonBounds box = compute_skeleton_bounds(three, 3);
    EXPECT_TRUE(geometry::equal_xyz(box.centre, {1, 0, 2}));
    EXPECT_TRUE(geometry::equal_xyz(box.extents, {1.5f, 0.5f, 2.5f}));
    EXPECT_FLOAT_EQ(box.radius, std::sqrt(5.0f) + 0.5f);

    const SkeletonBounds none = compute_skeleton_bounds(nullptr, 0);
    EXPECT_FLOAT_EQ(none.radius, 0.0f);
    EXPECT_TRUE(geometry::equal_xyz(none.extents, {0, 0, 0}));
}

}  // namespace
}  // namespace zolt::animation
