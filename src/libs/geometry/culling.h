#pragma once
// Culling tests of boxes, spheres and point sets against planes and view
// volumes. A plane's outside is where dot(normal, p) - d > 0; a point on the
// plane is inside. "In frustum" answers are conservative: false only when
// the thing lies wholly outside one plane. Any thread; nothing allocates.
#include <cstdint>

#include "libs/geometry/box.h"
#include "libs/geometry/frustum.h"
#include "libs/geometry/matrix.h"
#include "libs/geometry/plane.h"

namespace zolt::geometry {

// The box corner with the smallest projection on the normal is outside.
bool box_outside_plane(const Plane& plane, const Box& box);
// dot(n, c) - d for the corner c with the largest projection on the normal.
float box_plane_reach(const Plane& plane, const Box& box);
// Every point outside; true for no points.
bool points_outside_plane(const Plane& plane, const Vector3* points, uint32_t count);

bool box_in_frustum(const Box& box, const Plane (&planes)[frustum_plane_count]);
// False for no points, since they count as outside every plane.
bool points_in_frustum(uint32_t count, const Vector3* points, const Plane (&planes)[frustum_plane_count]);
bool transformed_box_in_frustum(const Box& box, const Matrix4& matrix, const Plane (&planes)[frustum_plane_count]);

bool sphere_radius_in_frustum(const Vector3& centre, float radius, const Plane (&planes)[frustum_plane_count]);
// The radius in the centre's w lane.
inline bool sphere_in_frustum(const Vector3& centre_radius, const Plane (&planes)[frustum_plane_count]) {
    return sphere_radius_in_frustum(centre_radius, centre_radius.w, planes);
}

enum class SphereClass : uint32_t { outside = 0, intersecting = 1, inside = 2 };

// The radius in the centre's w lane.
SphereClass classify_sphere(const Vector3& centre_radius, const Plane (&planes)[frustum_plane_count]);

// False when either volume has points and all of them lie outside one plane
// of the other.
bool frustums_overlap(const Frustum& a, const Frustum& b);

struct DepthRange {
    float near = 0;
    float far = 0;
};

// False with (0, 0) when the box is outside one of planes 1 to 5; else how
// far the box reaches behind the near plane and how far its farthest point
// stays short of the far plane, each at least 0.
bool box_depth_range(const Box& box, const Frustum& frustum, DepthRange& out);

// True when the volume has no points, a point lies on the plane, or its
// points lie on both sides.
bool plane_crosses_points(const Plane& plane, const Frustum& frustum);

}  // namespace zolt::geometry
