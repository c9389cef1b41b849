#pragma once
// The depth-bounds test from projected points: fragments are kept only where
// the depth buffer lies between the nearest and farthest window depth of a
// volume, widened by 0.01. Needs GL_EXT_depth_bounds_test and does nothing
// with compatibility_fix_disable_depth_bounds. Rendering thread only.
#include <cstdint>

#include "libs/geometry/matrix.h"

namespace zolt::opengl {

// Points are three floats each; view_projection is the current view's
// (row-vector convention). Disables the test first; with no points it stays off.
void set_depth_bounds_from_points(const geometry::Matrix4& view_projection, const float* points, uint32_t count);
// The eight corners of a box, three floats each.
void set_depth_bounds_from_box(const geometry::Matrix4& view_projection, const float* corners);

// Whether the test is on; the render layers that switch it off themselves
// clear it.
bool is_depth_bounds_test_enabled();
void clear_depth_bounds_test_enabled();

}  // namespace zolt::opengl
