#include "libs/opengl/stencil_operations.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/simple_drawing.h"

namespace zolt::opengl {

StencilStateCache stencil_state_cache;

namespace {

constexpr GLuint all_ones = ~0u;

void draw_geometry(const StencilGeometry& geometry) {
    set_position_array(geometry.positions, geometry.vertex_count, geometry.indices, geometry.triangle_count);
    draw_indexed_triangles();
}

void begin_stencil_drawing() {
    if (!stencil_state_cache.test_held) {
        gl.glEnable(GL_STENCIL_TEST);
    }
    gl.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    // A volume or mask that wrote depth would hide what later passes draw
    // with an equal depth test.
    gl.glDepthMask(GL_FALSE);
}

void end_stencil_drawing() {
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDepthMask(GL_TRUE);
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void apply_cached_stencil_state() {
    gl.glStencilFunc(stencil_state_cache.function, 0, all_ones);
    gl.glStencilOp(stencil_state_cache.operations[0], stencil_state_cache.operations[1],
                   stencil_state_cache.operations[2]);
}

void disable_stencil_test_unless_held() {
    if (!stencil_state_cache.test_held) {
        gl.glDisable(GL_STENCIL_TEST);
    }
}

}  // namespace

void reset_stencil_state() {
    gl.glDisable(GL_STENCIL_TEST);
    gl.glStencilFunc(GL_ALWAYS, 0, all_ones);
    gl.glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    stencil_state_cache = StencilStateCache{};
}

void reset_stencil_op() {
    GLenum* operations = stencil_state_cache.operations;
    if (operations[0] == GL_KEEP && operations[1] == GL_KEEP && operations[2] == GL_KEEP) {
        return;
    }
    operations[0] = operations[1] = operations[2] = GL_KEEP;
    gl.glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

StencilVolumePath choose_stencil_volume_path() {
    if (!compatibility_fix_ignore_separate_stencil && is_extension_present(Extension::ATI_separate_stencil)) {
        return StencilVolumePath::separate;
    }
    if (!compatibility_fix_ignore_two_sided_stencil && is_extension_present(Extension::EXT_stencil_two_side)) {
        return StencilVolumePath::two_sided;
    }
    return StencilVolumePath::two_pass;
}

void render_stencil_volume(const StencilGeometry* geometry, GLenum front_depth_fail, GLenum front_depth_pass,
                           GLenum back_depth_fail, GLenum back_depth_pass) {
    begin_stencil_drawing();
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(GL_LEQUAL);
    switch (choose_stencil_volume_path()) {
    case StencilVolumePath::separate:
        gl.glStencilFuncSeparateATI(GL_ALWAYS, GL_ALWAYS, 0, all_ones);
        gl.glStencilOpSeparateATI(GL_FRONT, GL_KEEP, front_depth_fail, front_depth_pass);
        gl.glStencilOpSeparateATI(GL_BACK, GL_KEEP, back_depth_fail, back_depth_pass);
        if (geometry != nullptr) {
            draw_geometry(*geometry);
        }
        break;
    case StencilVolumePath::two_sided:
        gl.glEnable(GL_STENCIL_TEST_TWO_SIDE_EXT);
        // The front face comes last so that it stays the active one, which
        // one-sided stencil calls then set.
        gl.glActiveStencilFaceEXT(GL_BACK);
        gl.glStencilFunc(GL_ALWAYS, 0, all_ones);
        gl.glStencilOp(GL_KEEP, back_depth_fail, back_depth_pass);
        gl.glActiveStencilFaceEXT(GL_FRONT);
        gl.glStencilFunc(GL_ALWAYS, 0, all_ones);
        gl.glStencilOp(GL_KEEP, front_depth_fail, front_depth_pass);
        if (geometry != nullptr) {
            draw_geometry(*geometry);
        }
        gl.glDisable(GL_STENCIL_TEST_TWO_SIDE_EXT);
        break;
    case StencilVolumePath::two_pass:
        gl.glStencilFunc(GL_ALWAYS, 0, all_ones);
        gl.glEnable(GL_CULL_FACE);
        gl.glCullFace(GL_FRONT);
        gl.glStencilOp(GL_KEEP, back_depth_fail, back_depth_pass);
        if (geometry != nullptr) {
            draw_geometry(*geometry);
        }
        gl.glCullFace(GL_BACK);
        gl.glStencilOp(GL_KEEP, front_depth_fail, front_depth_pass);
        if (geometry != nullptr) {
            draw_indexed_triangles();
        }
        gl.glDisable(GL_CULL_FACE);
        break;
    }
    if (geometry != nullptr) {
        clear_position_array();
    }
    end_stencil_drawing();
    apply_cached_stencil_state();
    disable_stencil_test_unless_held();
}

void render_stencil_mask(const StencilGeometry* geometry) {
    begin_stencil_drawing();
    const bool function_changed = stencil_state_cache.function != GL_ALWAYS;
    const GLenum* operations = stencil_state_cache.operations;
    const bool operations_changed = operations[0] != GL_ZERO || operations[1] != GL_ZERO || operations[2] != GL_ZERO;
    if (function_changed || operations_changed) {
        gl.glStencilFunc(GL_ALWAYS, 0, all_ones);
        gl.glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    }
    gl.glEnable(GL_CULL_FACE);
    gl.glCullFace(GL_FRONT);
    if (geometry != nullptr) {
        draw_geometry(*geometry);
        clear_position_array();
    }
    gl.glDisable(GL_CULL_FACE);
    end_stencil_drawing();
    if (function_changed || operations_changed) {
        apply_cached_stencil_state();
    }
    disable_stencil_test_unless_held();
}

}  // namespace zolt::opengl
