#include "libs/opengl/core_or_extension.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

namespace {

// Which family of generic-attribute functions to call. GLSL without GL 2.0
// has no core functions, so the ARB vertex-program ones stand in when loaded.
enum class AttributeFunctions { core, arb };

AttributeFunctions choose_attribute_functions() {
    if (glsl_usable() && capabilities.gl_2_0) {
        return AttributeFunctions::core;
    }
    if (is_extension_present(Extension::ARB_vertex_program)) {
        return AttributeFunctions::arb;
    }
    ZOLT_PANIC("missing OpenGL entry point");
}

}  // namespace

bool glsl_usable() {
    return !compatibility_fix_disable_glsl_shaders && is_extension_present(Extension::ARB_shading_language_100) &&
           is_extension_present(Extension::ARB_fragment_shader) && is_extension_present(Extension::ARB_vertex_shader) &&
           is_extension_present(Extension::ARB_shader_objects);
}

bool vertex_programs_usable() {
    return glsl_usable() || is_extension_present(Extension::ARB_vertex_program);
}

void enable_vertex_attrib_array(uint32_t index) {
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glEnableVertexAttribArray(index);
    } else {
        gl.glEnableVertexAttribArrayARB(index);
    }
}

void vertex_attrib_pointer(uint32_t index, int32_t components, GLenum type, bool normalised, int32_t stride,
                           const void* pointer) {
    const GLboolean normalise = normalised ? GL_TRUE : GL_FALSE;
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glVertexAttribPointer(index, components, type, normalise, stride, pointer);
    } else {
        gl.glVertexAttribPointerARB(index, components, type, normalise, stride, pointer);
    }
}

void vertex_attrib_1fv(uint32_t index, const float* values) {
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glVertexAttrib1fv(index, values);
    } else {
        gl.glVertexAttrib1fvARB(index, values);
    }
}

void vertex_attrib_2fv(uint32_t index, const float* values) {
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glVertexAttrib2fv(index, values);
    } else {
        gl.glVertexAttrib2fvARB(index, values);
    }
}

void vertex_attrib_3fv(uint32_t index, const float* values) {
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glVertexAttrib3fv(index, values);
    } else {
        gl.glVertexAttrib3fvARB(index, values);
    }
}

void vertex_attrib_4fv(uint32_t index, const float* values) {
    if (choose_attribute_functions() == AttributeFunctions::core) {
        gl.glVertexAttrib4fv(index, values);
    } else {
        gl.glVertexAttrib4fvARB(index, values);
    }
}

void set_blend_equation(GLenum mode) {
    if (capabilities.gl_1_4 || is_extension_present(Extension::ARB_imaging)) {
        gl.glBlendEquation(mode);
    } else if (is_extension_present(Extension::EXT_blend_minmax) ||
               is_extension_present(Extension::EXT_blend_subtract)) {
        gl.glBlendEquationEXT(mode);
    }
}

}  // namespace zolt::opengl
