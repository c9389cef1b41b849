#include "zolt/renderer/shaders/shader_light_stencil.h"

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_target_setup.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

namespace {

constexpr uint32_t position_slot = 0;

// The draw's vertex array replaced the constant of the position slot.
template <typename Draw>
void draw_in_world_space(Draw draw) {
    reset_state();
    gl.glPushMatrix();
    gl.glLoadIdentity();
    draw();
    gl.glPopMatrix();
    get_constant_vertex_attribute(position_slot).valid = false;
    // The stencil drawing leaves culling and the depth test off and depth
    // writes on, whatever the setups had.
    forget_applied_target_setup(TargetSetupField::cull);
    forget_applied_target_setup(TargetSetupField::depth);
}

}  // namespace

void render_light_stencil_volume(bool camera_inside, const opengl::StencilGeometry& geometry) {
    draw_in_world_space([&geometry, camera_inside] {
        if (camera_inside) {
            opengl::render_stencil_volume(&geometry, GL_DECR_WRAP, GL_KEEP, GL_INCR_WRAP, GL_KEEP);
        } else {
            opengl::render_stencil_volume(&geometry, GL_KEEP, GL_INCR_WRAP, GL_KEEP, GL_DECR_WRAP);
        }
    });
}

void render_light_stencil_mask(const opengl::StencilGeometry& geometry) {
    draw_in_world_space([&geometry] { opengl::render_stencil_mask(&geometry); });
}

}  // namespace zolt::renderer::shader_library
