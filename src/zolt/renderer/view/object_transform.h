#pragma once
// The renderer's current object transform: the matrix of the object being
// drawn and its inverse, a flag that the fixed-function layers test, clear
// and answer by loading the matrix, and the placement whose transform is
// loaded, so that drawing several parts of one object computes it once.
// Main thread only, inside rendering commands.
#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/object_handle.h"

namespace zolt::renderer {

struct ObjectTransformState {
    // Rows: the images of X, Y and Z under the rotation, then the position.
    geometry::Matrix4 object;
    // The transposed rotation and -R^T p.
    geometry::Matrix4 inverse;
    bool changed = false;
    // 0 when the loaded transform came from no placement.
    core::ObjectHandle cached_placement = 0;
};

extern ObjectTransformState object_transform;

// Computes both matrices, raises the flag and forgets the placement.
void set_object_matrix(const geometry::Quaternion& orientation, const geometry::Vector3& position);
// Nothing when that placement's transform is loaded already; a handle that
// names no placement loads the identity.
void set_object_matrix_from_placement(core::ObjectHandle placement);

}  // namespace zolt::renderer
