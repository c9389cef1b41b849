#include "zolt/renderer/shaders/shader_draw.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

namespace {

constexpr uint32_t index_size = sizeof(uint16_t);
constexpr uint32_t force_flush_always = 1;
constexpr uint32_t force_flush_with_quirk = 2;

}  // namespace

bool is_force_flush_wanted() {
    const uint32_t mode = opengl::compatibility_fix_force_glflush;
    return mode == force_flush_always || (mode == force_flush_with_quirk && opengl::capabilities.quirk_radeon_x_series);
}

void draw_indexed(uint32_t count, uint32_t first) {
    const IndexStreamState& index_stream = get_index_stream();
    if (index_stream.stream == nullptr) {
        return;
    }
    const uint32_t start = index_stream.base_offset + first;
    if (count == 0) {
        // The whole stream means the indices that exist from the start on,
        // never past the stream's end.
        const uint32_t index_count = index_stream.stream->size / index_size;
        count = start < index_count ? index_count - start : 0;
        if (count == 0) {
            return;
        }
    }
    bind_stream_buffer(*index_stream.stream);
    gl.glDrawElements(index_stream.primitive_type, static_cast<GLsizei>(count), GL_UNSIGNED_SHORT,
                      index_stream.stream->get_data_pointer(start * index_size));
    if (GlslProgram* const program = get_current_glsl_program()) {
        program->drawn_since_built = true;
    }
    if (is_force_flush_wanted()) {
        gl.glFlush();
    }
}

}  // namespace zolt::renderer::shader_library
