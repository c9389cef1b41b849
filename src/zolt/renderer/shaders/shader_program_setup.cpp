#include "zolt/renderer/shaders/shader_program_setup.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_program_arb.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

namespace {

// Predefined pixel setups 3 and 4 texture unit 0; 4 adds the colour sum.
constexpr uint32_t textured_setup = 3;
constexpr uint32_t textured_with_colour_sum_setup = 4;

uint32_t current_vertex_program = 0;
uint32_t current_fragment_program = 0;
uint32_t current_predefined_setup = no_predefined_pixel_setup;

void bind_arb_program(GLenum target, uint32_t id, uint32_t* current) {
    if (*current == id) {
        return;
    }
    if (*current == 0) {
        gl.glEnable(target);
    }
    gl.glBindProgramARB(target, id);
    *current = id;
}

void unbind_arb_program(GLenum target, uint32_t* current) {
    if (*current != 0) {
        gl.glDisable(target);
        *current = 0;
    }
}

void select_texture_unit_0() {
    if (texture_server.get_active_unit() != 0) {
        texture_server.activate_texture_unit(0);
    }
}

}  // namespace

bool setup_vertex_setup(const ShaderPass& pass) {
    switch (get_vertex_setup_kind(pass.setup_kinds)) {
    case VertexSetupKind::none:
        return false;
    case VertexSetupKind::fixed_function:
        unbind_arb_program(GL_VERTEX_PROGRAM_ARB, &current_vertex_program);
        return false;
    case VertexSetupKind::glsl:
        unbind_arb_program(GL_VERTEX_PROGRAM_ARB, &current_vertex_program);
        return true;
    case VertexSetupKind::arb_program:
        bind_arb_program(GL_VERTEX_PROGRAM_ARB, get_arb_program(ArbProgramKind::vertex, pass.vertex_record_offset),
                         &current_vertex_program);
        return false;
    }
    ZOLT_PANIC("Unsupported vertex setup type %u", pass.setup_kinds & vertex_setup_kind_mask);
}

bool setup_pixel_setup(const ShaderPass& pass) {
    switch (get_pixel_setup_kind(pass.setup_kinds)) {
    case PixelSetupKind::none:
        return false;
    case PixelSetupKind::predefined:
        unbind_arb_program(GL_FRAGMENT_PROGRAM_ARB, &current_fragment_program);
        setup_predefined_pixel_setup(pass.pixel_record);
        return false;
    case PixelSetupKind::glsl:
        unbind_arb_program(GL_FRAGMENT_PROGRAM_ARB, &current_fragment_program);
        end_predefined_pixel_setup();
        return true;
    case PixelSetupKind::arb_program:
        end_predefined_pixel_setup();
        bind_arb_program(GL_FRAGMENT_PROGRAM_ARB, get_arb_program(ArbProgramKind::fragment, pass.pixel_record),
                         &current_fragment_program);
        return false;
    }
    ZOLT_PANIC("Unsupported pixel setup type %u", pass.setup_kinds & pixel_setup_kind_mask);
}

void setup_predefined_pixel_setup(uint32_t setup) {
    if (setup < first_predefined_pixel_setup || setup > last_predefined_pixel_setup) {
        ZOLT_PANIC("Invalid setup type %u", setup);
    }
    if (setup == current_predefined_setup) {
        return;
    }
    end_predefined_pixel_setup();
    select_texture_unit_0();
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE,
                 setup == textured_with_colour_sum_setup ? GL_MODULATE : GL_REPLACE);
    if (setup >= textured_setup) {
        gl.glEnable(GL_TEXTURE_2D);
    }
    if (setup == textured_with_colour_sum_setup) {
        gl.glEnable(GL_COLOR_SUM);
    }
    current_predefined_setup = setup;
}

void end_predefined_pixel_setup() {
    if (current_predefined_setup == no_predefined_pixel_setup) {
        return;
    }
    select_texture_unit_0();
    if (current_predefined_setup >= textured_setup) {
        gl.glDisable(GL_TEXTURE_2D);
    }
    if (current_predefined_setup == textured_with_colour_sum_setup) {
        gl.glDisable(GL_COLOR_SUM);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
    current_predefined_setup = no_predefined_pixel_setup;
}

void setup_pass_program(const ShaderPass& pass) {
    const bool vertex_wants_glsl = setup_vertex_setup(pass);
    const bool pixel_wants_glsl = setup_pixel_setup(pass);
    if (vertex_wants_glsl || pixel_wants_glsl) {
        use_glsl_program(pass);
    } else {
        unbind_glsl_program();
    }
}

void unbind_all_programs() {
    unbind_arb_program(GL_VERTEX_PROGRAM_ARB, &current_vertex_program);
    unbind_arb_program(GL_FRAGMENT_PROGRAM_ARB, &current_fragment_program);
    unbind_glsl_program();
}

uint32_t get_current_arb_vertex_program() {
    return current_vertex_program;
}

uint32_t get_current_arb_fragment_program() {
    return current_fragment_program;
}

uint32_t get_current_predefined_pixel_setup() {
    return current_predefined_setup;
}

void reset_program_setup_cache() {
    current_vertex_program = 0;
    current_fragment_program = 0;
    current_predefined_setup = no_predefined_pixel_setup;
}

}  // namespace zolt::renderer::shader_library
