#pragma once
// Drawing stencil volumes and stencil masks, and the stencil state cache that
// the shader library's pipeline state shares. A volume's front and back faces
// change the stencil by their own operations, through the first path the
// driver offers: GL_ATI_separate_stencil (one draw), GL_EXT_stencil_two_side
// (one draw), else two draws with face culling; the compatibility_fix_ignore_
// switches rule paths out. Rendering thread only.
#include <cstdint>

#include "libs/opengl/opengl_entry_points.h"

namespace zolt::opengl {

struct StencilStateCache {
    // The pipeline keeps GL_STENCIL_TEST enabled; the operations here then
    // leave it on.
    bool test_held = false;
    GLenum function = GL_ALWAYS;
    // Stencil fail, depth fail, depth pass.
    GLenum operations[3] = {GL_KEEP, GL_KEEP, GL_KEEP};
};

extern StencilStateCache stencil_state_cache;

// A closed volume: three floats per vertex and three 16-bit indices per
// triangle, counter-clockwise seen from outside.
struct StencilGeometry {
    const float* positions = nullptr;
    uint32_t vertex_count = 0;
    const uint16_t* indices = nullptr;
    uint32_t triangle_count = 0;
};

enum class StencilVolumePath { separate, two_sided, two_pass };

void reset_stencil_state();
void reset_stencil_op();
// The path render_stencil_volume takes with the current flags and switches.
StencilVolumePath choose_stencil_volume_path();
// Null geometry draws nothing but leaves the state as a draw would.
void render_stencil_volume(const StencilGeometry* geometry, GLenum front_depth_fail, GLenum front_depth_pass,
                           GLenum back_depth_fail, GLenum back_depth_pass);
// Zeroes the stencil where the volume's back faces lie.
void render_stencil_mask(const StencilGeometry* geometry);

}  // namespace zolt::opengl
