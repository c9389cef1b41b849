#include "libs/geometry/frustum.h"

#include <cmath>

#include "libs/geometry/turn_trigonometry.h"

namespace zolt::geometry {

namespace {

constexpr float smallest_normal_length = 1.0f / 65536;
constexpr float rectangle_widening = 2.0f;

Plane make_outward_plane(const Vector3& normal, const Vector3& through) {
    return make_plane(normal, through);
}

// Side i passes through the eye and far directions i and i + 1, given in the
// corner order (-x, -y), (-x, +y), (+x, +y), (+x, -y); cross(next, this)
// then points out of the volume.
void set_side_planes(Frustum& frustum, const Vector3& eye, const Vector3 (&directions)[4], const ViewAxes& axes) {
    const Vector3 fallback[4] = {-axes.right, axes.up, axes.right, -axes.up};
    for (int side = 0; side < 4; ++side) {
        const Vector3 normal = cross(directions[(side + 1) % 4], directions[side]);
        const float size = length(normal);
        const Vector3 unit = size > smallest_normal_length ? normal * (1.0f / size) : fallback[side];
        frustum.planes[2 + side] = make_outward_plane(unit, eye);
    }
}

void set_depth_planes(Frustum& frustum, const Vector3& eye, const Vector3& forward, float near, float far) {
    frustum.planes[0] = make_outward_plane(-forward, eye + forward * near);
    frustum.planes[1] = make_outward_plane(forward, eye + forward * far);
}

}  // namespace

ViewAxes get_view_axes(const Quaternion& orientation) {
    return {rotate(orientation, {1, 0, 0}), rotate(orientation, {0, 1, 0}), rotate(orientation, {0, 0, 1})};
}

Frustum build_perspective_frustum(float near, float far, float fov_x, float fov_y, const Vector3& eye,
                                  const ViewAxes& axes) {
    Frustum frustum;
    set_depth_planes(frustum, eye, axes.forward, near, far);
    const Vector3 across = axes.right * (far * tan_turns(fov_x * 0.5f));
    const Vector3 upward = axes.up * (far * tan_turns(fov_y * 0.5f));
    const Vector3 ahead = axes.forward * far;
    const Vector3 directions[4] = {ahead - across - upward, ahead - across + upward, ahead + across + upward,
                                   ahead + across - upward};
    set_side_planes(frustum, eye, directions, axes);
    frustum.points[0] = eye;
    for (int corner = 0; corner < 4; ++corner) {
        frustum.points[1 + corner] = eye + directions[corner];
    }
    frustum.point_count = 5;
    return frustum;
}

Frustum build_sector_clip_volume(float fov_x, float fov_y, float near, float far, const Vector3& eye,
                                 const ViewAxes& axes, const Matrix4& inverse_view, const Rectangle& rectangle,
                                 const Vector3& origin, const Vector3& size) {
    Frustum frustum;
    set_depth_planes(frustum, eye, axes.forward, near, far);
    const float tangent_x = tan_turns(fov_x * 0.5f);
    const float tangent_y = tan_turns(fov_y * 0.5f);
    const auto to_view_x = [&](float x) { return ((x - origin.x) / (size.x * 0.5f) - 1.0f) * tangent_x * far; };
    const auto to_view_y = [&](float y) { return ((y - origin.y) / (size.y * 0.5f) - 1.0f) * tangent_y * far; };
    const float x0 = to_view_x(rectangle.x0 - rectangle_widening);
    const float x1 = to_view_x(rectangle.x1 + rectangle_widening);
    const float y0 = to_view_y(rectangle.y0 - rectangle_widening);
    const float y1 = to_view_y(rectangle.y1 + rectangle_widening);
    // View space looks along -Z.
    const Vector3 view_corners[4] = {{x0, y0, -far}, {x0, y1, -far}, {x1, y1, -far}, {x1, y0, -far}};
    Vector3 directions[4];
    for (int corner = 0; corner < 4; ++corner) {
        const Vector3 world = transform_point(view_corners[corner], inverse_view);
        directions[corner] = world - eye;
        frustum.points[1 + corner] = world;
    }
    set_side_planes(frustum, eye, directions, axes);
    frustum.points[0] = eye;
    frustum.point_count = 5;
    return frustum;
}

Frustum build_box_frustum(const ViewAxes& axes, const Vector3& eye, float near, float far, float width, float height) {
    Frustum frustum;
    set_depth_planes(frustum, eye, axes.forward, near, far);
    const Vector3 half_right = axes.right * (width * 0.5f);
    const Vector3 half_up = axes.up * (height * 0.5f);
    frustum.planes[2] = make_outward_plane(-axes.right, eye - half_right);
    frustum.planes[3] = make_outward_plane(axes.up, eye + half_up);
    frustum.planes[4] = make_outward_plane(axes.right, eye + half_right);
    frustum.planes[5] = make_outward_plane(-axes.up, eye - half_up);
    const float depths[2] = {near, far};
    for (int layer = 0; layer < 2; ++layer) {
        const Vector3 centre = eye + axes.forward * depths[layer];
        frustum.points[layer * 4 + 0] = centre - half_right - half_up;
        frustum.points[layer * 4 + 1] = centre - half_right + half_up;
        frustum.points[layer * 4 + 2] = centre + half_right + half_up;
        frustum.points[layer * 4 + 3] = centre + half_right - half_up;
    }
    frustum.point_count = 8;
    return frustum;
}

Frustum build_frustum_from_planes(const Plane (&planes)[frustum_plane_count]) {
    Frustum frustum;
    for (uint32_t index = 0; index < frustum_plane_count; ++index) {
        frustum.planes[index] = planes[index];
    }
    frustum.point_count = 0;
    return frustum;
}

void build_frustum_corners(float near, float far, float fov_x, float fov_y, const Quaternion& orientation,
                           const Vector3& eye, Vector3 (&corners)[8]) {
    const ViewAxes axes = get_view_axes(orientation);
    const float tangent_x = tan_turns(fov_x * 0.5f);
    const float tangent_y = tan_turns(fov_y * 0.5f);
    const float depths[2] = {near, far};
    for (int layer = 0; layer < 2; ++layer) {
        const float distance = depths[layer];
        const Vector3 centre = eye + axes.forward * distance;
        const Vector3 across = axes.right * (distance * tangent_x);
        const Vector3 upward = axes.up * (distance * tangent_y);
        corners[layer * 4 + 0] = centre - across - upward;
        corners[layer * 4 + 1] = centre - across + upward;
        corners[layer * 4 + 2] = centre + across + upward;
        corners[layer * 4 + 3] = centre + across - upward;
    }
}

OrientedExtents oriented_point_extents(const Vector3 (&points)[8], const Quaternion& orientation) {
    const ViewAxes axes = get_view_axes(orientation);
    const Vector3* const directions[3] = {&axes.right, &axes.up, &axes.forward};
    float low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = high[axis] = dot(points[0], *directions[axis]);
        for (int index = 1; index < 8; ++index) {
            const float projection = dot(points[index], *directions[axis]);
            low[axis] = projection < low[axis] ? projection : low[axis];
            high[axis] = projection > high[axis] ? projection : high[axis];
        }
    }
    OrientedExtents result;
    result.extents = {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
    result.reference =
        axes.right * ((low[0] + high[0]) * 0.5f) + axes.up * ((low[1] + high[1]) * 0.5f) + axes.forward * low[2];
    return result;
}

}  // namespace zolt::geometry
