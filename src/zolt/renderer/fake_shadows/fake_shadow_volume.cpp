#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"

#include <algorithm>
#include <iterator>

#include "libs/geometry/quaternion.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"

namespace zolt::renderer {

namespace {

// Of the box's depth, added before and after it in the map.
constexpr float depth_margin_share = 1.0f / 64;

struct VolumeAxes {
    geometry::Vector3 across, along, up;
    float depth = 0;
};

VolumeAxes get_volume_axes(const FakeShadow& shadow) {
    return {geometry::rotate(shadow.orientation, {1, 0, 0}), geometry::rotate(shadow.orientation, {0, 1, 0}),
            geometry::rotate(shadow.orientation, {0, 0, 1}),
            shadow.projection_extents.z + shadow.settings.volume_extension};
}

}  // namespace

const uint16_t fake_shadow_box_indices[fake_shadow_box_triangle_count * 3] = {
    0, 3, 1, 1, 3, 2, 1, 2, 5, 5, 2, 6, 0, 1, 4, 4, 1, 5, 4, 7, 0, 0, 7, 3, 3, 7, 2, 6, 2, 7, 5, 6, 4, 4, 6, 7};

void get_fake_shadow_volume_corners(const FakeShadow& shadow, geometry::Vector3 (&corners)[8]) {
    const VolumeAxes axes = get_volume_axes(shadow);
    const geometry::Vector3 a = axes.across * (shadow.projection_extents.x / 2);
    const geometry::Vector3 b = axes.up * (shadow.projection_extents.y / 2);
    const geometry::Vector3 c = axes.along * axes.depth;
    const geometry::Vector3& p = shadow.projection_origin;
    corners[0] = p + b - a;
    corners[1] = p + b + a;
    corners[2] = p - b + a;
    corners[3] = p - b - a;
    for (uint32_t index = 0; index < 4; ++index) {
        corners[index + 4] = corners[index] + c;
    }
}

bool is_box_outside_plane(const geometry::Vector3 (&corners)[8], const geometry::Plane& plane) {
    return std::all_of(std::begin(corners), std::end(corners),
                       [&plane](const geometry::Vector3& corner) { return geometry::is_outside_plane(plane, corner); });
}

bool does_fake_shadow_volume_meet(const FakeShadow& shadow, const geometry::Frustum& clip_volume) {
    geometry::Vector3 corners[8];
    get_fake_shadow_volume_corners(shadow, corners);
    return std::none_of(std::begin(clip_volume.planes), std::end(clip_volume.planes),
                        [&corners](const geometry::Plane& plane) { return is_box_outside_plane(corners, plane); });
}

bool is_eye_inside_fake_shadow_volume(const FakeShadow& shadow, const geometry::Vector3& eye, float margin) {
    const VolumeAxes axes = get_volume_axes(shadow);
    const geometry::Vector3 offset = eye - shadow.projection_origin;
    const float across = geometry::dot(offset, axes.across);
    const float up = geometry::dot(offset, axes.up);
    const float along = geometry::dot(offset, axes.along);
    return across <= shadow.projection_extents.x / 2 + margin && -across <= shadow.projection_extents.x / 2 + margin &&
           up <= shadow.projection_extents.y / 2 + margin && -up <= shadow.projection_extents.y / 2 + margin &&
           along <= axes.depth + margin && -along <= margin;
}

FakeShadowDepthSpan get_fake_shadow_depth_span(const FakeShadow& shadow) {
    const float depth = std::max(shadow.projection_extents.z, fake_shadow_smallest_extent);
    const float margin = depth * depth_margin_share;
    return {-margin, depth + 2 * margin};
}

geometry::Matrix4 make_fake_shadow_texture_matrix(const FakeShadow& shadow) {
    const VolumeAxes axes = get_volume_axes(shadow);
    const FakeShadowDepthSpan span = get_fake_shadow_depth_span(shadow);
    const geometry::Vector3 scale{1.0f / std::max(shadow.projection_extents.x, fake_shadow_smallest_extent),
                                  1.0f / std::max(shadow.projection_extents.y, fake_shadow_smallest_extent),
                                  1.0f / span.length};
    const geometry::Vector3 u = axes.across * scale.x, v = axes.up * scale.y, depth = axes.along * scale.z;
    const geometry::Vector3& p = shadow.projection_origin;
    // Row-vector convention: the rows are the images of X, Y, Z and the offset.
    geometry::Matrix4 matrix;
    matrix.rows[0] = {u.x, v.x, depth.x, 0};
    matrix.rows[1] = {u.y, v.y, depth.y, 0};
    matrix.rows[2] = {u.z, v.z, depth.z, 0};
    matrix.rows[3] = {0.5f - geometry::dot(p, u), 0.5f - geometry::dot(p, v),
                      -geometry::dot(p, depth) - span.start * scale.z, 1};
    return matrix;
}

}  // namespace zolt::renderer
