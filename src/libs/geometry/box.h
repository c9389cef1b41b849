#pragma once
// Axis-aligned boxes given by their minimum and maximum corners. Any thread.
#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"

namespace zolt::geometry {

struct Box {
    Vector3 minimum;
    Vector3 maximum;
};

// Corner i takes x from the maximum when bit 2 of i is set, y when bit 1
// is, z when bit 0 is (corner 0 the minimum, 7 the maximum); each corner is
// transformed by the matrix.
void get_box_corners(const Box& box, const Matrix4& matrix, Vector3 (&corners)[8]);

// True with the distance along the direction (in direction lengths) to where
// the ray enters the box, or 0 when the origin lies inside. A direction of
// squared length at most 1/65536 hits nothing.
bool intersect_ray_box(const Vector3& origin, const Vector3& direction, const Box& box, float& distance);

}  // namespace zolt::geometry
