#pragma once
// The choices between a core OpenGL function and its ARB or EXT twin that do
// not belong to one wrapper: whether GLSL and assembly programs are usable,
// the generic vertex attributes, and the blend equation. Rendering thread only.
#include <cstdint>

#include "libs/opengl/opengl_entry_points.h"

namespace zolt::opengl {

// Off with compatibility_fix_disable_glsl_shaders; else the four GLSL
// extensions must all be present.
bool glsl_usable();
// GLSL, or ARB vertex programs.
bool vertex_programs_usable();

// The GL 2.0 functions when GLSL is usable and GL 2.0 is present, else the
// ARB vertex-program functions; with neither, "missing OpenGL entry point".
void enable_vertex_attrib_array(uint32_t index);
void vertex_attrib_pointer(uint32_t index, int32_t components, GLenum type, bool normalised, int32_t stride,
                           const void* pointer);
void vertex_attrib_1fv(uint32_t index, const float* values);
void vertex_attrib_2fv(uint32_t index, const float* values);
void vertex_attrib_3fv(uint32_t index, const float* values);
void vertex_attrib_4fv(uint32_t index, const float* values);

// glBlendEquation with GL 1.4 or GL_ARB_imaging, else glBlendEquationEXT with
// GL_EXT_blend_minmax or GL_EXT_blend_subtract; else nothing is set.
void set_blend_equation(GLenum mode);

}  // namespace zolt::opengl
