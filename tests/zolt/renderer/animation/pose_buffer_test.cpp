#include "zolt/renderer/animation/pose_buffer.h"

#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "animation_fixtures.h"
#include "pose_reference.h"
#include "zolt/renderer/animation/animation_playback.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"

namespace zolt::animation {
namespace {

// The engine path: sample, compose the chain in float as bone placements
// do, write the palette.
void engine_palette(const SkeletonView& skeleton, const AnimationView& animation, const uint8_t* map, uint32_t time,
                    float scale, PoseBuffer* buffer) {
    MixedBone pose[5];
    clear_pose(pose, 5);
    sample_pose(animation, map, time, 0, 5, pose, skeleton, 3, sampling_mode::absolute);
    BoneWorldTransform world[3];
    for (uint32_t bone = 0; bone < 3; ++bone) {
        const uint32_t parent = read_channel_record(skeleton.data, skeleton.header, bone).parent;
        const geometry::Vector3 local = pose[bone].position * scale;
        if (parent == no_parent) {
            world[bone] = {local, geometry::normalize(pose[bone].rotation)};
        } else {
            world[bone].position = world[parent].position + geometry::rotate(world[parent].rotation, local);
            world[bone].rotation = geometry::normalize(world[parent].rotation * pose[bone].rotation);
        }
    }
    write_skinning_matrices(skeleton, world, scale, buffer);
}

TEST(PoseBufferTest, PaletteMatchesADoublePrecisionReferenceThroughLoopsAndBackwardMoves) {
    const std::vector<uint8_t> skeleton_bytes = test::build_chain_skeleton();
    const std::vector<uint8_t> animation_bytes = test::build_walk_animation();
    const SkeletonView skeleton = test::view_skeleton(skeleton_bytes);
    const AnimationView animation = test::view_animation(animation_bytes);
    const AnimationDescription walk = test::describe_walk_animation();
    KeyEntry keys[maximum_skeleton_channels];
    uint8_t map[maximum_skeleton_channels];
    bind_channels(keys, read_skeleton_keys(skeleton, keys), animation, 5, map);

    constexpr double tolerance = 2e-5;
    constexpr float scale = 1.5f;
    PlaybackPosition playback;
    // Forwards, across the loop boundary, onto it, backwards across it.
    const int64_t moves[] = {0, 600, 500, 400, -250, -100, -800, 1000, -1, 333, 318, -1000, -1};
    const uint32_t expected_positions[] = {0, 600, 100, 500, 250, 150, 350, 350, 349, 682, 1000, 0, 999};
    for (size_t step = 0; step < std::size(moves); ++step) {
        move_position(playback, 1000, true, moves[step]);
        ASSERT_EQ(playback.position, expected_positions[step]) << "move " << step;
        SCOPED_TRACE(testing::Message() << "at " << playback.position);
        PoseBuffer buffer;
        engine_palette(skeleton, animation, map, playback.position, scale, &buffer);

        const std::array<test::MatrixD, 3> reference = test::reference_skinning(walk, playback.position, scale);
        for (int bone = 0; bone < 3; ++bone) {
            const test::MatrixD& skinning = reference[bone];
            for (int row = 0; row < 3; ++row) {
                for (int column = 0; column < 4; ++column) {
                    EXPECT_NEAR(buffer.bone_rows[bone][row][column], skinning[column][row], tolerance)
                        << "bone " << bone << " row " << row << " column " << column;
                }
            }
        }
    }
}

TEST(PoseBufferTest, FactorsGoToTheirSlotsAndTheCountStopsAtTheHighest) {
    const std::vector<uint8_t> bytes = test::build_chain_skeleton();
    PoseBuffer buffer;
    std::fill(std::begin(buffer.factors), std::end(buffer.factors), 9.0f);
    const float values[2] = {0.75f, -2.0f};
    write_animated_factors(test::view_skeleton(bytes), values, &buffer);
    EXPECT_EQ(buffer.factor_count, 4u);
    float out[12];
    ASSERT_EQ(get_animated_factors(buffer, out, 12), 4u);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    EXPECT_FLOAT_EQ(out[3], -2.0f);
    EXPECT_EQ(get_animated_factors(buffer, out, 2), 2u);
    // A count beyond the nine slots never reads past them.
    buffer.factor_count = 12;
    EXPECT_EQ(get_animated_factors(buffer, out, 12), 9u);
}

}  // namespace
}  // namespace zolt::animation
