#pragma once
// The arithmetic of a skeleton's time and motion: the step its mixing tree
// advances by when the skeleton is brought to a time, the root motion it
// accumulates, and the bounds of its bones. Plain functions; any thread.
#include <cstdint>
#include <optional>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::animation {

// The step in mixer ticks from last_update_time to time at speed times the
// group's time scale: none when that rate is negligible (the skeleton then
// only records the time), 0 for the same time, otherwise the rate times the
// difference taken as an unsigned 32-bit number, so going back in time
// wraps round like the clock does.
std::optional<float> compute_skeleton_step(uint32_t last_update_time, uint32_t time, float speed, float time_scale);

struct RootMotion {
    geometry::Vector3 position{};
    geometry::Quaternion rotation{};
};

// Adds a step given in the root's own frame.
void accumulate_root_motion(RootMotion& total, const geometry::Vector3& position_step,
                            const geometry::Quaternion& rotation_step);

struct SkeletonBounds {
    geometry::Vector3 centre{};
    geometry::Vector3 extents{};
    float radius = 0;
};

// The box around the bones' world positions, grown by half a unit on every
// side, and the sphere around its centre through the farthest bone, grown
// by the same. No bones: all zero.
SkeletonBounds compute_skeleton_bounds(const geometry::Vector3* positions, uint32_t count);

}  // namespace zolt::animation
