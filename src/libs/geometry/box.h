#pragma once
// Axis-aligned boxes given by their minimum and maximum corners. Any thread.
#include "libs/geometry/vector.h"

namespace zolt::geometry {

struct Box {
    Vector3 minimum;
    Vector3 maximum;
};

// True with the distance along the direction (in direction lengths) to where
// the ray enters the box, or 0 when the origin lies inside. A direction of
// squared length at most 1/65536 hits nothing.
bool intersect_ray_box(const Vector3& origin, const Vector3& direction, const Box& box, float& distance);

}  // namespace zolt::geometry
