#include "zolt/renderer/camera/view_matrices.h"

#include "libs/geometry/turn_trigonometry.h"

namespace zolt::renderer {

namespace {

geometry::Matrix4 make_translation(const geometry::Vector3& offset) {
    geometry::Matrix4 matrix;
    matrix.rows[3] = {offset.x, offset.y, offset.z, 1};
    return matrix;
}

}  // namespace

geometry::Matrix4 build_perspective_projection(float fov_x, float fov_y, float near, float far, bool linear) {
    geometry::Matrix4 matrix;
    matrix.rows[0] = {1.0f / geometry::tan_turns(fov_x * 0.5f), 0, 0, 0};
    matrix.rows[1] = {0, 1.0f / geometry::tan_turns(fov_y * 0.5f), 0, 0};
    const float depth = far - near;
    if (linear) {
        matrix.rows[2] = {0, 0, -2.0f / depth, -1};
        matrix.rows[3] = {0, 0, -(near + far) / depth, 0};
    } else {
        matrix.rows[2] = {0, 0, -(near + far) / depth, -1};
        matrix.rows[3] = {0, 0, -2.0f * near * far / depth, 0};
    }
    return matrix;
}

geometry::Matrix4 build_orthographic_projection(float near, float far, float width, float height) {
    geometry::Matrix4 matrix;
    matrix.rows[0].x = 2.0f / width;
    matrix.rows[1].y = 2.0f / height;
    matrix.rows[2].z = -2.0f / (far - near);
    matrix.rows[3].z = -(near + far) / (far - near);
    return matrix;
}

ViewMatrices build_view_matrices(const geometry::Vector3& position, const geometry::Quaternion& rotation) {
    ViewMatrices matrices;
    matrices.view = geometry::multiply(
        geometry::multiply(make_translation(-position), geometry::make_rotation_matrix(geometry::conjugate(rotation))),
        camera_to_view_conversion);
    matrices.inverse_view =
        geometry::multiply(geometry::multiply(view_to_camera_conversion, geometry::make_rotation_matrix(rotation)),
                           make_translation(position));
    return matrices;
}

FieldsOfView complete_fields_of_view(float horizontal, float vertical, float width, float height) {
    FieldsOfView result{horizontal, vertical};
    if (vertical > 0) {
        result.horizontal = 2 * geometry::atan_turns((width / height) * geometry::tan_turns(vertical * 0.5f));
    } else {
        result.vertical = 2 * geometry::atan_turns((height / width) * geometry::tan_turns(horizontal * 0.5f));
    }
    return result;
}

}  // namespace zolt::renderer
