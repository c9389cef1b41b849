#include "zolt/renderer/animation/skeleton_motion.h"

#include <algorithm>
#include <cmath>

#include "zolt/renderer/animation/pose_mixing.h"

namespace zolt::animation {
namespace {

// Bones are points; a skinned surface reaches a little beyond them.
constexpr float bounds_margin = 0.5f;

}  // namespace

std::optional<float> compute_skeleton_step(uint32_t last_update_time, uint32_t time, float speed, float time_scale) {
    const float rate = speed * time_scale;
    if (!(rate > negligible_weight)) {
        return std::nullopt;
    }
    if (time == last_update_time) {
        return 0.0f;
    }
    const uint32_t difference = time - last_update_time;
    return rate * static_cast<float>(difference);
}

void accumulate_root_motion(RootMotion& total, const geometry::Vector3& position_step,
                            const geometry::Quaternion& rotation_step) {
    total.position = total.position + geometry::rotate(total.rotation, position_step);
    total.rotation = geometry::normalize(total.rotation * rotation_step);
}

SkeletonBounds compute_skeleton_bounds(const geometry::Vector3* positions, uint32_t count) {
    if (count == 0) {
        return {};
    }
    geometry::Vector3 low = positions[0];
    geometry::Vector3 high = positions[0];
    for (uint32_t bone = 1; bone < count; ++bone) {
        low = geometry::minimum(low, positions[bone]);
        high = geometry::maximum(high, positions[bone]);
    }
    SkeletonBounds bounds;
    bounds.centre = (low + high) * 0.5f;
    float farthest = 0;
    for (uint32_t bone = 0; bone < count; ++bone) {
        farthest = std::max(farthest, geometry::length(positions[bone] - bounds.centre));
    }
    const geometry::Vector3 margin{bounds_margin, bounds_margin, bounds_margin};
    bounds.extents = (high - low) * 0.5f + margin;
    bounds.radius = farthest + bounds_margin;
    return bounds;
}

}  // namespace zolt::animation
