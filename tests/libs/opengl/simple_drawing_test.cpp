#include "libs/opengl/simple_drawing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/renderer_hooks.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

// Two triangles over the left half of the target.
constexpr float left_half[] = {-1, -1, 0, 0, -1, 0, 0, 1, 0, -1, 1, 0};
constexpr uint16_t quad_indices[] = {0, 1, 2, 0, 2, 3};

class SimpleDrawing : public test::GlContextTest {
protected:
    uint32_t count_white_pixels() const {
        const std::vector<uint8_t> colors = read_colors();
        uint32_t count = 0;
        for (size_t pixel = 0; pixel < colors.size(); pixel += 4) {
            count += colors[pixel] == 255 && colors[pixel + 1] == 255 && colors[pixel + 2] == 255 ? 1 : 0;
        }
        return count;
    }

    void clear_to_black() {
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        gl.glColor4f(1, 1, 1, 1);
    }
};

TEST_F(SimpleDrawing, IndexedTrianglesDrawWithOrWithoutTheRange) {
    struct Row {
        bool disable_range;
        bool gl_1_2;
        const char* expected_call;
    };
    const Row rows[] = {
        {false, true, "glDrawRangeElements"},
        {false, false, "glDrawRangeElementsEXT"},
        {true, true, "glDrawElements"},
    };
    for (const Row& row : rows) {
        ScopedValue<bool> disable(compatibility_fix_disable_draw_range_elements, row.disable_range);
        ScopedValue<bool> core(capabilities.gl_1_2, row.gl_1_2);
        clear_to_black();
        {
            test::GlCallRecorder recorder;
            set_position_array(left_half, 4, quad_indices, 2);
            draw_indexed_triangles();
            EXPECT_EQ(recorder.count(row.expected_call), 1u) << row.expected_call;
            EXPECT_EQ(recorder.count("glDrawRangeElements") + recorder.count("glDrawRangeElementsEXT") +
                          recorder.count("glDrawElements"),
                      1u);
        }
        EXPECT_EQ(count_white_pixels(), width * height / 2) << row.expected_call;
        clear_position_array();
    }
    clear_to_black();
    draw_indexed_triangles();
    EXPECT_EQ(count_white_pixels(), 0u);

    ScopedValue<bool> core(capabilities.gl_1_2, false);
    ScopedValue<bool> extension(test::extension_flag(Extension::EXT_draw_range_elements), false);
    const test::ChildResult result =
        test::run_in_child([] { openglDrawRangeElements(GL_TRIANGLES, 0, 3, 6, GL_UNSIGNED_SHORT, quad_indices); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: Missing glDrawRangeElements() entrypoint."),
              std::string::npos)
        << result.standard_error;
}

TEST_F(SimpleDrawing, APositionArrayUnbindsBufferObjectsOnlyWhenTheyAreInUse) {
    GLuint buffer = 0;
    gl.glGenBuffers(1, &buffer);
    bind_buffer(array_buffer_target, buffer);
    set_position_array(left_half, 4, quad_indices, 2);
    GLint bound = -1;
    gl.glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    bind_buffer(array_buffer_target, buffer);
    {
        ScopedValue<bool> no_buffers(compatibility_fix_disable_vertex_buffer_objects, true);
        EXPECT_FALSE(buffer_objects_in_use());
        test::GlCallRecorder recorder;
        set_position_array(left_half, 4, quad_indices, 2);
        EXPECT_EQ(recorder.count("glBindBuffer"), 0u);
    }
    bind_buffer(array_buffer_target, 0);
    gl.glDeleteBuffers(1, &buffer);
}

TEST_F(SimpleDrawing, TheBindingCacheSkipsRepeatedBindsUntilInvalidated) {
    GLuint buffers[2] = {};
    gl.glGenBuffers(2, buffers);
    test::GlCallRecorder recorder;
    bind_buffer(pixel_unpack_buffer_target, buffers[0]);
    bind_buffer(pixel_unpack_buffer_target, buffers[0]);
    bind_buffer(pixel_pack_buffer_target, buffers[0]);
    EXPECT_EQ(recorder.count("glBindBuffer"), 2u);
    bind_buffer(pixel_unpack_buffer_target, buffers[1]);
    EXPECT_EQ(recorder.count("glBindBuffer"), 3u);
    invalidate_buffer_binding(pixel_unpack_buffer_target);
    bind_buffer(pixel_unpack_buffer_target, buffers[1]);
    bind_buffer(pixel_pack_buffer_target, buffers[0]);
    EXPECT_EQ(recorder.count("glBindBuffer"), 4u);
    invalidate_buffer_bindings();
    bind_buffer(pixel_pack_buffer_target, buffers[0]);
    EXPECT_EQ(recorder.count("glBindBuffer"), 5u);
    GLint bound = 0;
    gl.glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), buffers[1]);

    {
        ScopedValue<bool> no_core(capabilities.gl_1_5, false);
        invalidate_buffer_bindings();
        bind_buffer(pixel_unpack_buffer_target, buffers[1]);
        EXPECT_EQ(recorder.count("glBindBufferARB"), 1u);
    }
    gl.glBufferData(GL_PIXEL_UNPACK_BUFFER, 64, nullptr, GL_STREAM_DRAW);
    void* data = gl.glMapBuffer(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY);
    ASSERT_NE(data, nullptr);
    std::memset(data, 7, 64);
    EXPECT_TRUE(unmap_pixel_unpack_buffer());
    bind_buffer(pixel_unpack_buffer_target, 0);
    bind_buffer(pixel_pack_buffer_target, 0);
    gl.glDeleteBuffers(2, buffers);
}

uint32_t texture_cache_invalidations = 0;
void note_texture_cache_invalidation() {
    ++texture_cache_invalidations;
}

TEST_F(SimpleDrawing, AScreenQuadCoversItsCornersAndForgetsTheTextureCache) {
    texture_cache_invalidations = 0;
    set_renderer_hooks({nullptr, &note_texture_cache_invalidation});
    clear_to_black();
    draw_screen_quad({-1.0f, -1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 1.0f});
    EXPECT_EQ(count_white_pixels(), width * height / 4);
    const std::vector<uint8_t> colors = read_colors();
    EXPECT_EQ(colors[0], 255);
    EXPECT_EQ(colors[4 * (width * height - 1)], 0);
    EXPECT_EQ(texture_cache_invalidations, 1u);
    set_renderer_hooks({});
}

TEST_F(SimpleDrawing, LoadMatrixTakesRowVectorMatricesAsTheyAre) {
    geometry::Matrix4 matrix;
    matrix.rows[3] = {5, 6, 7, 1};
    matrix.rows[0].y = 2;
    gl.glMatrixMode(GL_MODELVIEW);
    load_matrix(matrix);
    float loaded[16] = {};
    gl.glGetFloatv(GL_MODELVIEW_MATRIX, loaded);
    EXPECT_EQ(loaded[1], 2.0f);
    EXPECT_EQ(loaded[12], 5.0f);
    EXPECT_EQ(loaded[13], 6.0f);
    EXPECT_EQ(loaded[14], 7.0f);
    EXPECT_EQ(loaded[15], 1.0f);
}

}  // namespace
}  // namespace zolt::opengl
