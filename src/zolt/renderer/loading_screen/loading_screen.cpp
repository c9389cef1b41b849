#include "zolt/renderer/loading_screen/loading_screen.h"

#include <algorithm>
#include <cmath>

#include "libs/geometry/script_trigonometry.h"
#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/opengl/stencil_operations.h"
#include "libs/system/time_base.h"
#include "platform/system/threads.h"
#include "zolt/core/loading_screen/loading_screen.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

LoadingScreenState loading_screen;

namespace {

using opengl::gl;

constexpr uint32_t opaque_black = 0xFF000000u;
constexpr uint32_t committed_unit_limit = 16;

LoadingScreenState& state = loading_screen;

void delete_texture(uint32_t& name) {
    if (name != 0) {
        gl.glDeleteTextures(1, &name);
        name = 0;
    }
}

void send_corner(float u, float v, float s, float t) {
    float x = 0;
    float y = 0;
    get_loading_picture_corner(state.phase, u, v, &x, &y);
    gl.glTexCoord2f(s, t);
    gl.glVertex3f(x, y, 1.0f);
}

void clear_depth_and_stencil() {
    gl.glDisable(GL_SCISSOR_TEST);
    opengl::reset_stencil_state();
    gl.glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    opengl::reset_stencil_clear_tag();
    if (!get_frame_buffer_state().viewport_covers_target) {
        gl.glEnable(GL_SCISSOR_TEST);
    }
}

void clear_and_draw() {
    clear_color_buffer(opaque_black);
    clear_depth_and_stencil();
    draw_loading_screen();
}

void draw_over_frame() {
    create_loading_screen_texture();
    draw_loading_screen();
}

void update_from_warm_up() {
    update_loading_screen();
}

}  // namespace

void get_loading_picture_corner(float phase, float u, float v, float* x, float* y) {
    const float c = geometry::script_trig::cosine(phase);
    const float s = geometry::script_trig::sine(phase);
    const float half_width = state.size[0] / 2;
    const float half_height = state.size[1] / 2;
    *x = state.centre[0] + half_width * (u * c + v * s);
    *y = state.centre[1] + half_height * (v * c - u * s);
}

void begin_loading_screen() {
    const DisplayMode& mode = get_current_display_mode();
    state.width = mode.width;
    state.height = mode.height;
    const float inverse_width = mode.width != 0 ? 1.0f / static_cast<float>(mode.width) : 0.0f;
    const float inverse_height = mode.height != 0 ? 1.0f / static_cast<float>(mode.height) : 0.0f;
    state.centre[0] = state.requested_centre[0] * inverse_width;
    state.centre[1] = state.requested_centre[1] * inverse_height;
    state.size[0] = state.requested_size[0] * inverse_width;
    state.size[1] = state.requested_size[1] * inverse_height;
    // Showing again over a shown loading screen replaces its textures; the
    // old ones would otherwise stay allocated until the process ends.
    delete_texture(state.overlay_texture);
    delete_texture(state.background_texture);
    state.overlay_texture = state.loading_texture != nullptr ? state.loading_texture->clone() : 0;
    state.phase = 0;
    state.last_drawing_time = get_time();
    core::Thread& thread = core::get_loading_screen_thread();
    core::unlink_thread(&thread);
    core::schedule_thread(&thread, get_time());
}

void create_loading_screen_texture() {
    texture_server.activate_texture_unit(0);
    gl.glGenTextures(1, &state.background_texture);
    gl.glBindTexture(GL_TEXTURE_2D, state.background_texture);
    gl.glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, static_cast<GLsizei>(state.width),
                        static_cast<GLsizei>(state.height), 0);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

void draw_loading_screen() {
    state.last_drawing_time = get_time();
    state.phase += loading_screen_phase_step;
    state.phase -= std::floor(state.phase);

    const FrameBufferState& frame = get_frame_buffer_state();
    set_viewport(0, 0, frame.target_width, frame.target_height);
    shader_library::reset_state();

    texture_server.request_texture(0, nullptr);
    texture_server.commit_texture_units(0, std::min(texture_server.get_requested_unit_count(), committed_unit_limit));
    texture_server.activate_texture_unit(0);

    // Whatever the frame left set must not hide or tint the screen: the
    // picture's corners run clockwise, and both quads lie at one depth.
    gl.glDisable(GL_CULL_FACE);
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDisable(GL_ALPHA_TEST);
    gl.glDisable(GL_STENCIL_TEST);
    gl.glDisable(GL_LIGHTING);
    gl.glColor4ub(255, 255, 255, 255);
    using shader_library::TargetSetupField;
    for (const TargetSetupField field :
         {TargetSetupField::cull, TargetSetupField::depth, TargetSetupField::alpha_test, TargetSetupField::stencil}) {
        shader_library::forget_applied_target_setup(field);
    }
    gl.glBindTexture(GL_TEXTURE_2D, state.background_texture);
    gl.glEnable(GL_TEXTURE_2D);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPushMatrix();
    gl.glLoadIdentity();
    gl.glOrtho(0, 1, 0, 1, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
    gl.glLoadIdentity();

    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(0, 0);
    gl.glVertex3f(0, 0, 1);
    gl.glTexCoord2f(1, 0);
    gl.glVertex3f(1, 0, 1);
    gl.glTexCoord2f(1, 1);
    gl.glVertex3f(1, 1, 1);
    gl.glTexCoord2f(0, 1);
    gl.glVertex3f(0, 1, 1);
    gl.glEnd();

    if (state.overlay_texture != 0) {
        gl.glBindTexture(GL_TEXTURE_2D, state.overlay_texture);
        gl.glEnable(GL_BLEND);
        opengl::set_blend_equation(GL_FUNC_ADD);
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        gl.glBegin(GL_QUADS);
        send_corner(-1, 1, 0, 1);
        send_corner(1, 1, 1, 1);
        send_corner(1, -1, 1, 0);
        send_corner(-1, -1, 0, 0);
        gl.glEnd();
        gl.glDisable(GL_BLEND);
    }

    gl.glDisable(GL_TEXTURE_2D);
    gl.glPopMatrix();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPopMatrix();
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

void present_loading_screen() {
    set_outside_rendering_command(false);
    clear_and_draw();
    set_outside_rendering_command(true);
    swap_buffers(1);
}

void present_loading_screen_in_command() {
    clear_and_draw();
    swap_buffers(1);
}

void end_loading_screen() {
    core::unlink_thread(&core::get_loading_screen_thread());
    delete_texture(state.overlay_texture);
    delete_texture(state.background_texture);
    state.width = 0;
    state.height = 0;
}

bool update_loading_screen() {
    if (!state.shown || state.overlay_texture == 0) {
        return false;
    }
    if (get_time() - state.last_drawing_time < loading_screen_redraw_interval) {
        return true;
    }
    if (platform::get_current_thread_id() == get_rendering_thread_id() && is_inside_rendering_command()) {
        present_loading_screen_in_command();
    } else {
        present_loading_screen();
    }
    return true;
}

void install_loading_screen_hooks() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.set_up_loading_screen = &begin_loading_screen;
    hooks.draw_loading_screen_over_frame = &draw_over_frame;
    hooks.render_loading_screen = &draw_loading_screen;
    hooks.delete_loading_screen = &end_loading_screen;
    shader_library::WarmUpHooks warm_up = shader_library::get_warm_up_hooks();
    warm_up.update_loading_screen = &update_from_warm_up;
    shader_library::set_warm_up_hooks(warm_up);
}

void remove_loading_screen_hooks() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.set_up_loading_screen = nullptr;
    hooks.draw_loading_screen_over_frame = nullptr;
    hooks.render_loading_screen = nullptr;
    hooks.delete_loading_screen = nullptr;
    shader_library::WarmUpHooks warm_up = shader_library::get_warm_up_hooks();
    warm_up.update_loading_screen = nullptr;
    shader_library::set_warm_up_hooks(warm_up);
}

}  // namespace zolt::renderer
