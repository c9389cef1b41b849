#include "libs/opengl/simple_drawing.h"

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/renderer_hooks.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

namespace {

constexpr int32_t position_stride = 12;

static_assert(sizeof(geometry::Matrix4) == 16 * sizeof(float), "glLoadMatrixf reads the rows as one array");

struct PositionArray {
    bool set = false;
    uint32_t highest_index = 0;
    uint32_t index_count = 0;
    const uint16_t* indices = nullptr;
};

PositionArray position_array;

}  // namespace

void openglDrawRangeElements(GLenum mode, uint32_t start, uint32_t end, int32_t count, GLenum type,
                             const void* indices) {
    if (capabilities.gl_1_2) {
        gl.glDrawRangeElements(mode, start, end, count, type, indices);
    } else if (is_extension_present(Extension::EXT_draw_range_elements)) {
        gl.glDrawRangeElementsEXT(mode, start, end, count, type, indices);
    } else {
        ZOLT_PANIC("Missing glDrawRangeElements() entrypoint.");
    }
}

void set_position_array(const float* positions, uint32_t vertex_count, const uint16_t* indices,
                        uint32_t triangle_count) {
    if (buffer_objects_in_use()) {
        bind_buffer(array_buffer_target, 0);
        bind_buffer(element_array_buffer_target, 0);
    }
    gl.glVertexPointer(3, GL_FLOAT, position_stride, positions);
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    position_array.highest_index = vertex_count > 0 ? vertex_count - 1 : 0;
    position_array.index_count = 3 * triangle_count;
    position_array.indices = indices;
    position_array.set = true;
}

void clear_position_array() {
    position_array.set = false;
    gl.glDisableClientState(GL_VERTEX_ARRAY);
}

void draw_indexed_triangles() {
    if (!position_array.set || position_array.index_count == 0) {
        return;
    }
    const int32_t count = static_cast<int32_t>(position_array.index_count);
    if (!compatibility_fix_disable_draw_range_elements &&
        (capabilities.gl_1_2 || is_extension_present(Extension::EXT_draw_range_elements))) {
        openglDrawRangeElements(GL_TRIANGLES, 0, position_array.highest_index, count, GL_UNSIGNED_SHORT,
                                position_array.indices);
    } else {
        gl.glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, position_array.indices);
    }
}

void draw_screen_quad(const geometry::Vector4& a, const geometry::Vector4& b) {
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(a.z, a.w);
    gl.glVertex3f(a.x, a.y, 1.0f);
    gl.glTexCoord2f(b.z, a.w);
    gl.glVertex3f(b.x, a.y, 1.0f);
    gl.glTexCoord2f(b.z, b.w);
    gl.glVertex3f(b.x, b.y, 1.0f);
    gl.glTexCoord2f(a.z, b.w);
    gl.glVertex3f(a.x, b.y, 1.0f);
    gl.glEnd();
    invalidate_texture_cache();
}

void load_matrix(const geometry::Matrix4& matrix) {
    gl.glLoadMatrixf(&matrix.rows[0].x);
}

}  // namespace zolt::opengl
