#pragma once
// A plane as (normal x, y, z, distance d): a point p lies outside it when
// dot(normal, p) - d > 0. Any thread.
#include "libs/geometry/vector.h"

namespace zolt::geometry {

struct alignas(16) Plane {
    float x = 0, y = 0, z = 1, d = 0;
};

constexpr Plane make_plane(const Vector3& normal, const Vector3& point) {
    return {normal.x, normal.y, normal.z, dot(normal, point)};
}

constexpr Vector3 get_plane_normal(const Plane& plane) {
    return {plane.x, plane.y, plane.z};
}

// Positive outside, scaled by the normal's length.
constexpr float get_plane_distance(const Plane& plane, const Vector3& point) {
    return plane.x * point.x + plane.y * point.y + plane.z * point.z - plane.d;
}

constexpr bool is_outside_plane(const Plane& plane, const Vector3& point) {
    return get_plane_distance(plane, point) > 0;
}

}  // namespace zolt::geometry
