#pragma once
// The box a fake shadow darkens: from the face of its visual towards the
// light, along the shadow direction, as deep as the visual plus the volume
// extension. The fake-shadow layer draws it into the stencil buffer, and the
// view admits a shadow only when the box meets its clip volume. Pure
// functions; any thread.
#include "libs/geometry/frustum.h"
#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer {

struct FakeShadow;

// The least width, height or depth of a shadow's box: a flat visual still
// spans a usable box.
constexpr float fake_shadow_smallest_extent = 1.0f / 65536;

constexpr uint32_t fake_shadow_box_triangle_count = 12;
// Three corners per triangle, for the stencil volume and the material pass.
extern const uint16_t fake_shadow_box_indices[fake_shadow_box_triangle_count * 3];

// The four corners of the face at the origin, then the same four at the far end.
void get_fake_shadow_volume_corners(const FakeShadow& shadow, geometry::Vector3 (&corners)[8]);
// Whether every corner lies outside the plane.
bool is_box_outside_plane(const geometry::Vector3 (&corners)[8], const geometry::Plane& plane);
bool does_fake_shadow_volume_meet(const FakeShadow& shadow, const geometry::Frustum& clip_volume);
// False only when the eye lies farther than `margin` outside one face.
bool is_eye_inside_fake_shadow_volume(const FakeShadow& shadow, const geometry::Vector3& eye, float margin);

// The depth range of the shadow's map along its direction, from the origin
// face: the visual's box with a margin at both ends, so the faces lying on
// the box's ends are not clipped away from the map.
struct FakeShadowDepthSpan {
    float start = 0;
    float length = 1;
};
FakeShadowDepthSpan get_fake_shadow_depth_span(const FakeShadow& shadow);

// World point to (u, v, depth), each 0 to 1 across the shadow's map:
// u along the width, v along the height, depth over the depth span.
geometry::Matrix4 make_fake_shadow_texture_matrix(const FakeShadow& shadow);

}  // namespace zolt::renderer
