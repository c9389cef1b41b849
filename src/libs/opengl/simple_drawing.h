#pragma once
// Small drawing helpers on top of the entry points: range-limited indexed
// drawing, a client-side position array with 16-bit triangle indices, the
// screen quad, and loading a matrix. Rendering thread only.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"
#include "libs/opengl/opengl_entry_points.h"

namespace zolt::opengl {

// glDrawRangeElements (GL 1.2), else glDrawRangeElementsEXT, else the panic
// "Missing glDrawRangeElements() entrypoint.".
void openglDrawRangeElements(GLenum mode, uint32_t start, uint32_t end, int32_t count, GLenum type,
                             const void* indices);

// Positions are three floats per vertex, kept by the caller until drawn. With
// buffer objects in use, buffer 0 is bound to the array and element targets.
void set_position_array(const float* positions, uint32_t vertex_count, const uint16_t* indices,
                        uint32_t triangle_count);
// Marks the array unset and disables the client vertex array.
void clear_position_array();
// The triangles of the position array; nothing when none is set. Through
// openglDrawRangeElements unless compatibility_fix_disable_draw_range_elements
// is set or neither GL 1.2 nor GL_EXT_draw_range_elements is present.
void draw_indexed_triangles();

// a = (x0, y0, s0, t0), b = (x1, y1, s1, t1): one quad at z = 1 with texture
// unit 0 coordinates; the shader library's texture-binding cache is forgotten.
void draw_screen_quad(const geometry::Vector4& a, const geometry::Vector4& b);

void load_matrix(const geometry::Matrix4& matrix);

}  // namespace zolt::opengl
