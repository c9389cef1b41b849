#include "zolt/renderer/animation/pose_buffer.h"

#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "animation_fixtures.h"
#include "zolt/renderer/animation/animation_playback.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"

namespace zolt::animation {
namespace {

// The reference works in double precision from the animation's description,
// with matrices composed child-then-parent, independent of the engine's
// quaternion path.
struct QuaternionD {
    double x = 0, y = 0, z = 0, w = 1;
};
using MatrixD = std::array<std::array<double, 4>, 4>;

QuaternionD to_double(const geometry::Quaternion& q) {
    const double length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
    QuaternionD d{q.x / length, q.y / length, q.z / length, q.w / length};
    return d;
}

QuaternionD slerp_d(QuaternionD a, QuaternionD b, double t) {
    double cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (cosine < 0) {
        b = {-b.x, -b.y, -b.z, -b.w};
        cosine = -cosine;
    }
    double wa = 1 - t, wb = t;
    if (cosine < 0.9999999) {
        const double angle = std::acos(cosine);
        wa = std::sin((1 - t) * angle) / std::sin(angle);
        wb = std::sin(t * angle) / std::sin(angle);
    }
    QuaternionD r{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
    const double length = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
    return {r.x / length, r.y / length, r.z / length, r.w / length};
}

// Rows are the images of the axes: row-vector convention.
MatrixD make_local(const QuaternionD& q, const std::array<double, 3>& t) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    MatrixD m{};
    m[0] = {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0};
    m[1] = {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0};
    m[2] = {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0};
    m[3] = {t[0], t[1], t[2], 1};
    return m;
}

MatrixD product(const MatrixD& a, const MatrixD& b) {
    MatrixD p{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                p[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return p;
}

struct LocalD {
    QuaternionD rotation;
    std::array<double, 3> position;
};

// The chain's pose at time t, bones 0 to 2, from the description.
std::array<LocalD, 3> reference_locals(const AnimationDescription& walk, double t) {
    const double frame_time = walk.duration / double(walk.frame_count - 1);
    const int frame = std::min(int(t / frame_time), int(walk.frame_count) - 1);
    const int next = (frame + 1) % int(walk.frame_count);
    const double fraction = t / frame_time - frame;
    auto track = [&](uint32_t key) -> const AnimationChannelDescription& {
        for (const auto& channel : walk.channels) {
            if (channel.key == key) {
                return channel;
            }
        }
        return walk.channels[0];
    };
    std::array<LocalD, 3> locals;
    const auto& root = track(10);
    const auto& p0 = root.positions[frame];
    const auto& p1 = root.positions[next];
    locals[0].position = {p0.x + (p1.x - double(p0.x)) * fraction, p0.y + (p1.y - double(p0.y)) * fraction,
                          p0.z + (p1.z - double(p0.z)) * fraction};
    locals[0].rotation = slerp_d(to_double(root.rotations[frame]), to_double(root.rotations[next]), fraction);
    const auto& middle = track(20);
    locals[1].position = {0, 1, 0};
    locals[1].rotation = slerp_d(to_double(middle.rotations[frame]), to_double(middle.rotations[next]), fraction);
    locals[2].position = {0, 1, 0};
    locals[2].rotation = to_double(test::make_turn(0, 0, 1, 0.125f));
    return locals;
}

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

        const std::array<LocalD, 3> locals = reference_locals(walk, playback.position);
        MatrixD world[3];
        for (int bone = 0; bone < 3; ++bone) {
            const auto& p = locals[bone].position;
            const MatrixD local = make_local(locals[bone].rotation, {p[0] * scale, p[1] * scale, p[2] * scale});
            world[bone] = bone == 0 ? local : product(local, world[bone - 1]);
        }
        for (int bone = 0; bone < 3; ++bone) {
            MatrixD scaled = world[bone];
            for (int row = 0; row < 3; ++row) {
                for (int column = 0; column < 3; ++column) {
                    scaled[row][column] *= scale;
                }
            }
            MatrixD bind{};
            for (int i = 0; i < 4; ++i) {
                bind[i][i] = 1;
            }
            bind[3][1] = -bone;
            const MatrixD skinning = product(bind, scaled);
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
