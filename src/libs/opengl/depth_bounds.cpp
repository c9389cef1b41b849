#include "libs/opengl/depth_bounds.h"

#include <algorithm>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"

namespace zolt::opengl {

namespace {

constexpr float minimal_clip_w = 1.0f / 65536.0f;
constexpr float depth_bounds_margin = 0.01f;
constexpr uint32_t box_corner_count = 8;

bool depth_bounds_test_enabled = false;

struct DepthBounds {
    float minimum = 1.0f;
    float maximum = 0.0f;
};

float get_window_depth(const geometry::Matrix4& m, const float* point) {
    const float x = point[0], y = point[1], z = point[2];
    const float clip_z = x * m.rows[0].z + y * m.rows[1].z + z * m.rows[2].z + m.rows[3].z;
    const float clip_w = x * m.rows[0].w + y * m.rows[1].w + z * m.rows[2].w + m.rows[3].w;
    // A point at or behind the eye has no depth of its own; it pulls the range to the near plane.
    if (clip_w <= minimal_clip_w) {
        return 0.0f;
    }
    return 0.5f * clip_z / clip_w + 0.5f;
}

DepthBounds compute_depth_bounds(const geometry::Matrix4& view_projection, const float* points, uint32_t count) {
    DepthBounds bounds;
    for (uint32_t index = 0; index < count; ++index) {
        const float depth = get_window_depth(view_projection, points + 3 * index);
        bounds.minimum = std::min(bounds.minimum, depth);
        bounds.maximum = std::max(bounds.maximum, depth);
    }
    bounds.minimum -= depth_bounds_margin;
    bounds.maximum += depth_bounds_margin;
    return bounds;
}

}  // namespace

void set_depth_bounds_from_points(const geometry::Matrix4& view_projection, const float* points, uint32_t count) {
    if (compatibility_fix_disable_depth_bounds || !is_extension_present(Extension::EXT_depth_bounds_test)) {
        return;
    }
    if (depth_bounds_test_enabled) {
        gl.glDisable(GL_DEPTH_BOUNDS_TEST_EXT);
        depth_bounds_test_enabled = false;
    }
    if (count == 0) {
        return;
    }
    const DepthBounds bounds = compute_depth_bounds(view_projection, points, count);
    gl.glEnable(GL_DEPTH_BOUNDS_TEST_EXT);
    depth_bounds_test_enabled = true;
    gl.glDepthBoundsEXT(bounds.minimum, bounds.maximum);
}

void set_depth_bounds_from_box(const geometry::Matrix4& view_projection, const float* corners) {
    set_depth_bounds_from_points(view_projection, corners, box_corner_count);
}

bool is_depth_bounds_test_enabled() {
    return depth_bounds_test_enabled;
}

void clear_depth_bounds_test_enabled() {
    depth_bounds_test_enabled = false;
}

}  // namespace zolt::opengl
