#include "zolt/renderer/view/object_transform.h"

#include "zolt/core/placement/placement_server.h"

namespace zolt::renderer {

ObjectTransformState object_transform;

void set_object_matrix(const geometry::Quaternion& orientation, const geometry::Vector3& position) {
    object_transform.object = geometry::make_transform_matrix(orientation, position);
    const geometry::Matrix4 rotation = geometry::make_rotation_matrix(orientation);
    geometry::Matrix4& inverse = object_transform.inverse;
    inverse = {};
    for (int row = 0; row < 3; ++row) {
        const float* const source = &rotation.rows[row].x;
        (&inverse.rows[0].x)[row] = source[0];
        (&inverse.rows[1].x)[row] = source[1];
        (&inverse.rows[2].x)[row] = source[2];
    }
    const geometry::Vector3 back = geometry::transform_direction(-position, inverse);
    inverse.rows[3] = {back.x, back.y, back.z, 1};
    object_transform.changed = true;
    object_transform.cached_placement = 0;
}

void set_object_matrix_from_placement(core::ObjectHandle placement) {
    core::Placement* const found = placement != 0 && core::placement_server.is_registered()
                                       ? core::placement_server.get_typed_object(placement)
                                       : nullptr;
    // Looked up first: a destroyed placement's handle must not match.
    if (found != nullptr && placement == object_transform.cached_placement) {
        return;
    }
    if (found == nullptr) {
        set_object_matrix(geometry::identity_quaternion(), {});
        return;
    }
    set_object_matrix(found->get_world_rotation(), found->get_world_position());
    object_transform.cached_placement = placement;
}

}  // namespace zolt::renderer
