#include "libs/geometry/culling.h"

namespace zolt::geometry {

namespace {

Vector3 get_nearest_corner(const Plane& plane, const Box& box) {
    return {plane.x >= 0 ? box.minimum.x : box.maximum.x, plane.y >= 0 ? box.minimum.y : box.maximum.y,
            plane.z >= 0 ? box.minimum.z : box.maximum.z};
}

Vector3 get_farthest_corner(const Plane& plane, const Box& box) {
    return {plane.x >= 0 ? box.maximum.x : box.minimum.x, plane.y >= 0 ? box.maximum.y : box.minimum.y,
            plane.z >= 0 ? box.maximum.z : box.minimum.z};
}

float get_largest_plane_distance(const Vector3& centre, const Plane (&planes)[frustum_plane_count]) {
    float largest = get_plane_distance(planes[0], centre);
    for (uint32_t index = 1; index < frustum_plane_count; ++index) {
        const float distance = get_plane_distance(planes[index], centre);
        largest = distance > largest ? distance : largest;
    }
    return largest;
}

// All of one volume's points outside a plane of the other.
bool separated_by_planes(const Frustum& points_of, const Frustum& planes_of) {
    if (points_of.point_count == 0) {
        return false;
    }
    for (const Plane& plane : planes_of.planes) {
        if (points_outside_plane(plane, points_of.points, points_of.point_count)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool box_outside_plane(const Plane& plane, const Box& box) {
    return is_outside_plane(plane, get_nearest_corner(plane, box));
}

float box_plane_reach(const Plane& plane, const Box& box) {
    return get_plane_distance(plane, get_farthest_corner(plane, box));
}

bool points_outside_plane(const Plane& plane, const Vector3* points, uint32_t count) {
    for (uint32_t index = 0; index < count; ++index) {
        if (!is_outside_plane(plane, points[index])) {
            return false;
        }
    }
    return true;
}

bool box_in_frustum(const Box& box, const Plane (&planes)[frustum_plane_count]) {
    for (const Plane& plane : planes) {
        if (box_outside_plane(plane, box)) {
            return false;
        }
    }
    return true;
}

bool points_in_frustum(uint32_t count, const Vector3* points, const Plane (&planes)[frustum_plane_count]) {
    for (const Plane& plane : planes) {
        if (points_outside_plane(plane, points, count)) {
            return false;
        }
    }
    return true;
}

bool transformed_box_in_frustum(const Box& box, const Matrix4& matrix, const Plane (&planes)[frustum_plane_count]) {
    Vector3 corners[8];
    get_box_corners(box, matrix, corners);
    return points_in_frustum(8, corners, planes);
}

bool sphere_radius_in_frustum(const Vector3& centre, float radius, const Plane (&planes)[frustum_plane_count]) {
    return !(get_largest_plane_distance(centre, planes) > radius);
}

SphereClass classify_sphere(const Vector3& centre_radius, const Plane (&planes)[frustum_plane_count]) {
    const float largest = get_largest_plane_distance(centre_radius, planes);
    if (largest > centre_radius.w) {
        return SphereClass::outside;
    }
    return largest >= -centre_radius.w ? SphereClass::intersecting : SphereClass::inside;
}

bool frustums_overlap(const Frustum& a, const Frustum& b) {
    return !separated_by_planes(a, b) && !separated_by_planes(b, a);
}

bool box_depth_range(const Box& box, const Frustum& frustum, DepthRange& out) {
    out = {};
    for (uint32_t index = 1; index < frustum_plane_count; ++index) {
        if (box_outside_plane(frustum.planes[index], box)) {
            return false;
        }
    }
    const float behind_near = box_plane_reach(frustum.planes[0], box);
    const float short_of_far = -box_plane_reach(frustum.planes[1], box);
    out.near = behind_near > 0 ? behind_near : 0;
    out.far = short_of_far > 0 ? short_of_far : 0;
    return true;
}

bool plane_crosses_points(const Plane& plane, const Frustum& frustum) {
    if (frustum.point_count == 0) {
        return true;
    }
    bool any_outside = false, any_inside = false;
    for (uint32_t index = 0; index < frustum.point_count; ++index) {
        const float distance = get_plane_distance(plane, frustum.points[index]);
        if (distance == 0) {
            return true;
        }
        any_outside = any_outside || distance > 0;
        any_inside = any_inside || distance < 0;
    }
    return any_outside && any_inside;
}

}  // namespace zolt::geometry
