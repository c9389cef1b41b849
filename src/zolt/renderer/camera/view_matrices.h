#pragma once
// The matrices every view is built from, in the row-vector convention. The
// engine's camera space looks along +Y with +Z up and +X right; GL's view
// space looks along -Z with +Y up, and the axis conversion turns one into
// the other. Fields of view are full angles in turns. Any thread.
#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer {

// (x, y, z) to (x, z, -y): camera +Y becomes -Z and +Z becomes +Y.
constexpr geometry::Matrix4 camera_to_view_conversion = {{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}};
// The inverse: (x, y, z) to (x, -z, y).
constexpr geometry::Matrix4 view_to_camera_conversion = {{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}};

// Zero but [0][0] = 1 / tan(pi fov x), [1][1] = 1 / tan(pi fov y),
// [2][3] = -1, and the depth terms: GL's hyperbolic depth, or with the
// linear flag -2 / (far - near) and -(near + far) / (far - near).
geometry::Matrix4 build_perspective_projection(float fov_x, float fov_y, float near, float far, bool linear);

// GL's orthographic matrix of a box of width by height centred on the axis.
geometry::Matrix4 build_orthographic_projection(float near, float far, float width, float height);

struct ViewMatrices {
    geometry::Matrix4 view;
    geometry::Matrix4 inverse_view;
};

// view: translation by -position, the conjugate rotation, the conversion;
// inverse view: the other way round.
ViewMatrices build_view_matrices(const geometry::Vector3& position, const geometry::Quaternion& rotation);

struct FieldsOfView {
    float horizontal = 0;
    float vertical = 0;
};

// A vertical field of view above 0 gives the horizontal one from the aspect
// of the view; otherwise the vertical one follows from the stored horizontal.
FieldsOfView complete_fields_of_view(float horizontal, float vertical, float width, float height);

}  // namespace zolt::renderer
