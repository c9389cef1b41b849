#pragma once
// The stencil tests' scene: under an orthographic view of -1 to 1 on the
// 64x64 test target, a box of half extent 0.5 round the origin (faces
// counter-clockwise seen from outside) covers pixels 16 to 47 both ways, its
// near face in front of a depth plane at z = 0 and its far face behind it.
#include <cstdint>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_operations.h"

namespace zolt::test {

inline constexpr float stencil_box_positions[] = {-0.5f, -0.5f, -0.5f, 0.5f,  -0.5f, -0.5f, 0.5f, 0.5f,
                                                  -0.5f, -0.5f, 0.5f,  -0.5f, -0.5f, -0.5f, 0.5f, 0.5f,
                                                  -0.5f, 0.5f,  0.5f,  0.5f,  0.5f,  -0.5f, 0.5f, 0.5f};
inline constexpr uint16_t stencil_box_indices[] = {4, 5, 6, 4, 6, 7, 0, 2, 1, 0, 3, 2, 1, 2, 6, 1, 6, 5,
                                                   0, 4, 7, 0, 7, 3, 3, 7, 6, 3, 6, 2, 0, 1, 5, 0, 5, 4};
inline constexpr opengl::StencilGeometry stencil_box{stencil_box_positions, 8, stencil_box_indices, 12};
inline constexpr uint32_t stencil_box_pixels = 32 * 32;

// The orthographic view with an identity model-view.
inline void set_stencil_box_view() {
    using opengl::gl;
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(-1, 1, -1, 1, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
}

// Depth of the plane at z = 0 over the whole target, colour and stencil 0.
inline void prepare_stencil_depth_plane() {
    using opengl::gl;
    gl.glClearColor(0, 0, 0, 0);
    gl.glClearDepth(1);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(GL_LESS);
    gl.glBegin(GL_QUADS);
    gl.glVertex3f(-1, -1, 0);
    gl.glVertex3f(1, -1, 0);
    gl.glVertex3f(1, 1, 0);
    gl.glVertex3f(-1, 1, 0);
    gl.glEnd();
    gl.glDisable(GL_DEPTH_TEST);
}

}  // namespace zolt::test
