#pragma once
// Root motion: the part of the root bone's animated transform that an
// animator takes out of the pose (by its axis flags) so that the character
// moves instead of the skeleton. Euler angles are turns about Z, X and Y as
// geometry's conversion gives them. Any thread.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

// Animator flags: position axes x, y, z and rotation axes x, y, z taken out
// of the root bone.
namespace root_motion_flag {
constexpr uint32_t position_x = 1, position_y = 2, position_z = 4, rotation_x = 8, rotation_y = 16, rotation_z = 32;
constexpr uint32_t position_mask = 7, rotation_mask = 56, mask = 63;
}  // namespace root_motion_flag

struct RootTransform {
    geometry::Vector3 position{};
    geometry::Quaternion rotation{};
};

struct SplitRoot {
    RootTransform kept;   // stays in the pose
    RootTransform taken;  // becomes root motion
};

// Splits by the flags. Without a rotation flag the rotation stays whole.
SplitRoot split_root_transform(const RootTransform& root, uint32_t flags);

// The motion of one whole cycle of the animation channel bound to skeleton
// channel 0 (channel_map null: animation channel 0): last frame against the
// first, the rotation the shorter way. Zero and identity without two frames
// or a bone channel there.
RootTransform compute_cycle_root_motion(const AnimationView& animation, const uint8_t* channel_map);

// The root motion of an advance from one position to another across cycles
// whole loops, expressed in the frame of the first: zero and identity when
// no flag is set or the root does not move.
RootTransform compute_step_root_motion(const AnimationView& animation, const uint8_t* channel_map,
                                       const SkeletonView& skeleton, uint32_t flags, uint32_t from, uint32_t to,
                                       int32_t cycles, const RootTransform& cycle_motion);

}  // namespace zolt::animation
