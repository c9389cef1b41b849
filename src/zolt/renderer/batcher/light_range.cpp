#include "zolt/renderer/batcher/light_range.h"

#include "libs/opengl/depth_bounds.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/utility/config_variable_row.h"
#include "zolt/renderer/shaders/shader_light_stencil.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

bool stencil_clear_by_redraw = true;
bool stencil_light_ranges = true;

namespace {

namespace library = shader_library;
using library::TargetSetupField;
using opengl::gl;

// The configuration table leaves these numbers open; 119 and 120 are free.
const ConfigVariableRow<bool> stencil_clear_by_redraw_row(119, "stencil_clear_by_redraw", &stencil_clear_by_redraw, true,
                                                          false, true, 0);
const ConfigVariableRow<bool> stencil_light_ranges_row(120, "stencil_light_ranges", &stencil_light_ranges, true, false,
                                                       true, 0);

// A light pass whose stencil byte is 0 then draws only where the volume
// left the stencil non-zero; the other bytes are the passes' own.
constexpr uint8_t stencil_not_zero = 3;
constexpr uint8_t stencil_off = 1;

void set_target_setup_defaults(uint8_t stencil) {
    library::set_target_setup_default(TargetSetupField::cull, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::depth, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::blend, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::alpha_test, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::stencil, stencil);
}

opengl::StencilGeometry make_stencil_geometry(const LightMaskGeometry& geometry) {
    return {geometry.vertices, geometry.vertex_count, geometry.indices, geometry.triangle_count};
}

// The view's rectangle in window pixels and its view-projection.
void get_view_placement(float* origin_x, float* origin_y, float* size_x, float* size_y,
                        geometry::Matrix4* view_projection) {
    if (const VisibilityContext* const context = get_current_visibility_context()) {
        *origin_x = context->origin.x;
        *origin_y = context->origin.y;
        *size_x = context->size.x;
        *size_y = context->size.y;
        *view_projection = context->get_view_projection_matrix();
        return;
    }
    const FrameBufferState& state = get_frame_buffer_state();
    *origin_x = static_cast<float>(state.viewport_x);
    *origin_y = static_cast<float>(state.viewport_y);
    *size_x = static_cast<float>(state.viewport_width);
    *size_y = static_cast<float>(state.viewport_height);
    *view_projection = geometry::Matrix4{};
}

}  // namespace

bool LightRange::begin(const LightRender& light) {
    geometry_ = LightMaskGeometry{};
    if (light_source.get_mask_geometry == nullptr || !light_source.get_mask_geometry(light, &geometry_)) {
        geometry_.triangle_count = 0;
        return true;
    }
    const float* const corners = geometry_.rectangle;
    // Negated so that NaN corners count as empty.
    if (!(corners[2] >= corners[0]) || !(corners[3] >= corners[1]) || geometry_.vertex_count == 0 ||
        geometry_.vertex_count > light_mask_vertex_capacity || geometry_.indices == nullptr) {
        geometry_.triangle_count = 0;
        return false;
    }
    float origin_x = 0;
    float origin_y = 0;
    float size_x = 0;
    float size_y = 0;
    geometry::Matrix4 view_projection;
    get_view_placement(&origin_x, &origin_y, &size_x, &size_y, &view_projection);
    rectangle_ = {origin_x + corners[0] * size_x, origin_y + corners[1] * size_y, origin_x + corners[2] * size_x,
                  origin_y + corners[3] * size_y};
    set_scissor_rectangle(0, nullptr);
    set_scissor_rectangle(1, &rectangle_);
    opengl::set_depth_bounds_from_points(view_projection, geometry_.vertices, geometry_.vertex_count);
    if (stencil_light_ranges) {
        const opengl::StencilGeometry stencil = make_stencil_geometry(geometry_);
        library::render_light_stencil_volume(geometry_.camera_inside, stencil);
        set_target_setup_defaults(stencil_not_zero);
    }
    return true;
}

void LightRange::end() {
    if (geometry_.triangle_count == 0) {
        return;
    }
    if (opengl::is_depth_bounds_test_enabled()) {
        gl.glDisable(GL_DEPTH_BOUNDS_TEST_EXT);
        opengl::clear_depth_bounds_test_enabled();
    }
    set_scissor_rectangle(0, nullptr);
    if (stencil_light_ranges) {
        set_target_setup_defaults(stencil_off);
        if (opengl::are_tagged_stencil_clears_used()) {
            opengl::next_stencil_clear_tag();
        } else if (stencil_clear_by_redraw) {
            library::render_light_stencil_mask(make_stencil_geometry(geometry_));
        } else {
            // Scissor rectangle 1 still holds the light rectangle.
            gl.glClear(GL_STENCIL_BUFFER_BIT);
        }
    }
    set_scissor_rectangle(1, nullptr);
    geometry_.vertex_count = 0;
    geometry_.triangle_count = 0;
}

}  // namespace zolt::renderer
