#include "zolt/renderer/batcher/fog_pass.h"

#include <cmath>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/simple_drawing.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace library = shader_library;
using opengl::gl;

namespace {

constexpr uint32_t scene_texture_slot = 0;
constexpr uint32_t screen_pass_depth_threshold_parameter = 272;

// The part of a screen-sized texture the GL viewport covers.
void get_viewport_fraction(float* u, float* v) {
    const FrameBufferState& state = get_frame_buffer_state();
    const DisplayMode& mode = get_current_display_mode();
    *u = mode.width != 0 ? static_cast<float>(state.viewport_width) / static_cast<float>(mode.width) : 1.0f;
    *v = mode.height != 0 ? static_cast<float>(state.viewport_height) / static_cast<float>(mode.height) : 1.0f;
}

library::ShaderLibraryContext make_view_context() {
    library::ShaderLibraryContext context;
    context.view = render_view_hooks.get_current_view != nullptr ? render_view_hooks.get_current_view() : nullptr;
    context.fibre_parameter = -1;
    return context;
}

void apply_view_matrices() {
    if (render_view_hooks.apply_current_view_matrices != nullptr) {
        render_view_hooks.apply_current_view_matrices();
    }
}

void copy_frame_into_scene_texture() {
    TextureObject* const texture = library::get_renderer_texture(scene_texture_slot);
    if (texture == nullptr) {
        return;
    }
    const FrameBufferState& state = get_frame_buffer_state();
    texture->copy_from_frame_buffer(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
}

}  // namespace

float tangent_of_turns(float x) {
    x -= std::floor(x + 0.5f);
    if (std::fabs(x) < 1.0f / 32768.0f) {
        return x;
    }
    const float x2 = x * x;
    const float numerator = x * (3.14159265f + x2 * (-3.9751637f + x2 * (0.8559991f + x2 * -0.022350192f)));
    const float denominator = 1.0f + x2 * (-4.555202f + x2 * (2.2706082f + x2 * -0.19920003f));
    return numerator / denominator;
}

void draw_deferred_fog(Material& fog_material) {
    set_scissor_rectangle(0, nullptr);
    set_scissor_rectangle(1, nullptr);
    library::ShaderLibraryContext context = make_view_context();
    fog_material.setup_pass(0, context);

    float u = 1.0f;
    float v = 1.0f;
    get_viewport_fraction(&u, &v);
    float tx = 0.0f;
    float ty = 0.0f;
    float far_distance = 0.0f;
    if (const VisibilityContext* const view = get_current_visibility_context()) {
        tx = tangent_of_turns(view->fov_x);
        ty = tangent_of_turns(view->fov_y);
        far_distance = view->far;
    }
    const float rx = tx * far_distance;
    const float ry = ty * far_distance;

    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, 1, 0, 1, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    const float corners[4][2] = {{0, 0}, {u, 0}, {u, v}, {0, v}};
    const float signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    gl.glBegin(GL_QUADS);
    for (uint32_t corner = 0; corner < 4; ++corner) {
        gl.glMultiTexCoord2f(GL_TEXTURE0, corners[corner][0], corners[corner][1]);
        gl.glMultiTexCoord3f(GL_TEXTURE1, signs[corner][0] * rx, signs[corner][1] * ry, far_distance);
        gl.glVertex3f(signs[corner][0], signs[corner][1], 1.0f);
    }
    gl.glEnd();
    library::invalidate_texture_cache();
    apply_view_matrices();
}

void draw_screen_pass(Material& material) {
    reset_scissor();
    library::ShaderLibraryContext context = make_view_context();
    float u = 1.0f;
    float v = 1.0f;
    get_viewport_fraction(&u, &v);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(-1, 1, -1, 1, -1, 1);
    gl.glScalef(1, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    set_view_depth_rendering_parameters();

    material.setup_pass(0, context);
    gl.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    opengl::draw_screen_quad({1, -1, u, v}, {-1, 1, 0, 0});
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    const float p = render_view_hooks.get_layer_parameter != nullptr
                        ? render_view_hooks.get_layer_parameter(screen_pass_depth_threshold_parameter)
                        : 0.0f;
    library::ConstantValue value;
    value.set_floats(p, p, p, p);
    library::set_user_vector(0, value);
    copy_frame_into_scene_texture();

    context = make_view_context();
    material.setup_pass(1, context);
    gl.glMultiTexCoord2f(GL_TEXTURE1, u, v);
    opengl::draw_screen_quad({1, -1, u, v}, {-1, 1, 0, 0});
    library::reset_state();
    apply_view_matrices();
}

}  // namespace zolt::renderer
