#pragma once
// View volumes: six planes (0 near, 1 far, 2 to 5 the sides, each outside
// where dot(normal, p) - d > 0) and up to eight points spanning the volume,
// which the overlap tests use. The builders take the view's axes (right,
// forward, up: the engine's camera looks along +Y with +Z up) and fields of
// view as full angles in turns. Any thread; nothing allocates.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/plane.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/rectangle.h"
#include "libs/geometry/vector.h"

namespace zolt::geometry {

constexpr uint32_t frustum_plane_count = 6;
constexpr uint32_t frustum_point_capacity = 8;

struct Frustum {
    Plane planes[frustum_plane_count];
    Vector3 points[frustum_point_capacity];
    // 0 when the volume was given as planes only.
    uint32_t point_count = 0;
};

struct ViewAxes {
    Vector3 right{1, 0, 0};
    Vector3 forward{0, 1, 0};
    Vector3 up{0, 0, 1};
};

ViewAxes get_view_axes(const Quaternion& orientation);

// Points: the eye and the four far corners, a pyramid that holds the whole
// volume (the near-plane corners included).
Frustum build_perspective_frustum(float near, float far, float fov_x, float fov_y, const Vector3& eye,
                                  const ViewAxes& axes);

// As the perspective frustum, but the sides pass through the corners of a
// screen rectangle in pixels (y up), widened by 2 pixels on every side, of a
// view whose rectangle starts at origin and has the given size.
Frustum build_sector_clip_volume(float fov_x, float fov_y, float near, float far, const Vector3& eye,
                                 const ViewAxes& axes, const Matrix4& inverse_view, const Rectangle& rectangle,
                                 const Vector3& origin, const Vector3& size);

// An orthographic box: sides at +-width/2 along right and +-height/2 along
// up; the eight box corners as points.
Frustum build_box_frustum(const ViewAxes& axes, const Vector3& eye, float near, float far, float width, float height);

Frustum build_frustum_from_planes(const Plane (&planes)[frustum_plane_count]);

// Near-plane corners (-x, -y), (-x, +y), (+x, +y), (+x, -y), then the
// far-plane corners in the same order.
void build_frustum_corners(float near, float far, float fov_x, float fov_y, const Quaternion& orientation,
                           const Vector3& eye, Vector3 (&corners)[8]);

struct OrientedExtents {
    // Largest minus smallest projection on the orientation's X, Z and Y axes.
    Vector3 extents;
    // The middle of the X and Z ranges at the smallest projection along Y.
    Vector3 reference;
};

OrientedExtents oriented_point_extents(const Vector3 (&points)[8], const Quaternion& orientation);

}  // namespace zolt::geometry
