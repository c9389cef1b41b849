#include "zolt/renderer/shaders/shader_limits.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shadowmap_framebuffer.h"

namespace zolt::renderer::shader_library {

namespace {

ShaderLimits shader_limits;

// Errors left by earlier calls must not be taken for the query's own.
void clear_gl_errors() {
    for (uint32_t attempt = 0; attempt < 16 && opengl::gl.glGetError() != GL_NO_ERROR; ++attempt) {
    }
}

uint32_t to_limit(GLint value) {
    return opengl::gl.glGetError() != GL_NO_ERROR || value < 0 ? 0 : static_cast<uint32_t>(value);
}

}  // namespace

const ShaderLimits& get_shader_limits() {
    return shader_limits;
}

void set_shader_limits(const ShaderLimits& limits) {
    shader_limits = limits;
}

uint32_t get_opengl_limit(uint32_t name) {
    clear_gl_errors();
    GLint value = 0;
    opengl::gl.glGetIntegerv(name, &value);
    return to_limit(value);
}

uint32_t get_arb_program_limit(uint32_t target, uint32_t name) {
    if (opengl::gl.glGetProgramivARB == nullptr) {
        return 0;
    }
    clear_gl_errors();
    GLint value = 0;
    opengl::gl.glGetProgramivARB(target, name, &value);
    return to_limit(value);
}

ShaderLimits detect_shader_limits() {
    ShaderLimits detected;
    detected.glsl_usable = opengl::glsl_usable();
    detected.arb_vertex_programs = opengl::is_extension_present(opengl::Extension::ARB_vertex_program);
    detected.arb_fragment_programs = opengl::is_extension_present(opengl::Extension::ARB_fragment_program);
    detected.shadow_maps = opengl::get_framebuffer_object_state().shadowmap_size != 0;
    const bool glsl = detected.glsl_usable;
    const bool fragment_programs = glsl || detected.arb_fragment_programs;
    uint32_t* const limits = detected.limits;
    limits[7] = get_opengl_limit(GL_MAX_TEXTURE_UNITS);
    limits[5] = fragment_programs ? get_opengl_limit(GL_MAX_TEXTURE_IMAGE_UNITS) : limits[7];
    limits[6] = fragment_programs ? get_opengl_limit(GL_MAX_TEXTURE_COORDS) : limits[7];
    limits[8] = glsl ? get_opengl_limit(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS) : 0;
    limits[9] = glsl ? get_opengl_limit(GL_MAX_VERTEX_UNIFORM_COMPONENTS) : 0;
    limits[10] = glsl ? get_opengl_limit(GL_MAX_VARYING_FLOATS) : 0;
    limits[11] = detected.arb_vertex_programs
                     ? get_arb_program_limit(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ATTRIBS_ARB)
                     : unreported_limit;
    limits[12] = glsl || detected.arb_vertex_programs ? get_opengl_limit(GL_MAX_VERTEX_ATTRIBS) : 0;
    limits[13] = detected.arb_fragment_programs
                     ? get_arb_program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB)
                     : unreported_limit;
    return detected;
}

}  // namespace zolt::renderer::shader_library
