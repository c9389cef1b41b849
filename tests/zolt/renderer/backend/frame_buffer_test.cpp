#include "zolt/renderer/backend/frame_buffer.h"

#include <gtest/gtest.h>

#include <array>

#include "support/gl_context.h"

namespace zolt::renderer {
namespace {

using opengl::gl;

class FrameBufferTest : public test::GlContextTest {
protected:
    void SetUp() override {
        GlContextTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        reset_frame_buffer_state();
        set_target_size(width, height);
    }
    void TearDown() override {
        reset_frame_buffer_state();
        GlContextTest::TearDown();
    }

    static std::array<GLint, 4> read_box(GLenum name) {
        std::array<GLint, 4> box{};
        gl.glGetIntegerv(name, box.data());
        return box;
    }
    static bool is_scissor_test_on() {
        GLint enabled = 0;
        gl.glGetIntegerv(GL_SCISSOR_TEST, &enabled);
        return enabled != 0;
    }
    // RGBA of the pixel at (x, y), bottom row first.
    uint32_t pixel(const std::vector<uint8_t>& colors, uint32_t x, uint32_t y) const {
        const size_t at = (size_t{y} * width + x) * 4;
        return uint32_t{colors[at]} << 24 | uint32_t{colors[at + 1]} << 16 | uint32_t{colors[at + 2]} << 8 |
               colors[at + 3];
    }
};

TEST_F(FrameBufferTest, ViewportCoveringTheTargetTurnsTheScissorOffAndAPartialOneClipsToItself) {
    set_viewport(0, 0, width, height);
    EXPECT_TRUE(get_frame_buffer_state().viewport_covers_target);
    EXPECT_FALSE(is_scissor_test_on());

    set_depth_range_collapsed(true);
    set_viewport(4, 6, 20, 30);
    EXPECT_FALSE(get_frame_buffer_state().viewport_covers_target);
    EXPECT_TRUE(is_scissor_test_on());
    EXPECT_EQ(read_box(GL_SCISSOR_BOX), (std::array<GLint, 4>{4, 6, 20, 30}));
    EXPECT_EQ(read_box(GL_VIEWPORT), (std::array<GLint, 4>{4, 6, 20, 30}));
    GLfloat depth_range[2] = {-1.0f, -1.0f};
    gl.glGetFloatv(GL_DEPTH_RANGE, depth_range);
    EXPECT_EQ(depth_range[1], 0.0f);
    set_depth_range_collapsed(false);

    // Corners rounded to the nearest pixel.
    set_viewport_from_rectangle(0.4f, 0.6f, 10.2f, 9.9f);
    EXPECT_EQ(read_box(GL_VIEWPORT), (std::array<GLint, 4>{0, 1, 11, 10}));
    gl.glGetFloatv(GL_DEPTH_RANGE, depth_range);
    EXPECT_EQ(depth_range[1], 1.0f);
}

TEST_F(FrameBufferTest, ScissorSlotsCombineGrowByTwoPixelsAndStayInsideTheViewport) {
    set_viewport(0, 0, width, height);
    struct Case {
        ScissorRectangle first;
        bool second_set;
        ScissorRectangle second;
        bool answer;
        std::array<GLint, 4> box;
    };
    const Case cases[] = {
        {{10, 10, 20, 20}, false, {}, true, {8, 8, 14, 14}},
        {{10.5f, 10.5f, 19.5f, 19.5f}, false, {}, true, {8, 8, 14, 14}},
        {{10, 10, 40, 40}, true, {30, 0, 50, 35}, true, {28, 8, 14, 29}},
        {{-20, -20, 100, 100}, false, {}, true, {0, 0, width, height}},
        // Disjoint: nothing to draw, and the scissor is left as it was.
        {{0, 0, 10, 10}, true, {20, 20, 30, 30}, false, {0, 0, width, height}},
    };
    for (const Case& c : cases) {
        set_viewport(0, 0, width, height);
        set_scissor_rectangle(0, &c.first);
        EXPECT_EQ(set_scissor_rectangle(1, c.second_set ? &c.second : nullptr), c.answer);
        EXPECT_EQ(get_frame_buffer_state().scissor_not_empty, c.answer);
        if (c.answer) {
            EXPECT_TRUE(is_scissor_test_on());
            EXPECT_EQ(read_box(GL_SCISSOR_BOX), c.box) << c.first.minimum_x;
        }
    }

    // Clamped into a partial viewport.
    set_viewport(16, 16, 16, 16);
    const ScissorRectangle wide{0, 20, 60, 24};
    EXPECT_TRUE(set_scissor_rectangle(0, &wide));
    EXPECT_EQ(read_box(GL_SCISSOR_BOX), (std::array<GLint, 4>{16, 18, 16, 8}));

    // The same rectangle again makes no GL call.
    test::GlCallRecorder recorder;
    EXPECT_TRUE(set_scissor_rectangle(0, &wide));
    EXPECT_EQ(recorder.calls().size(), 0u);
    reset_scissor();
    EXPECT_EQ(read_box(GL_SCISSOR_BOX), (std::array<GLint, 4>{16, 16, 16, 16}));
    EXPECT_TRUE(is_scissor_test_on());
}

TEST_F(FrameBufferTest, ClearsCoverTheViewportAndLeaveTheScissorAsItWas) {
    set_viewport(0, 0, width, height);
    clear_frame_buffer(0xFF0000FFu);
    std::vector<uint8_t> colors = read_colors();
    EXPECT_EQ(pixel(colors, 0, 0), 0x0000FFFFu);
    EXPECT_EQ(pixel(colors, width - 1, height - 1), 0x0000FFFFu);
    EXPECT_FALSE(is_scissor_test_on());

    // Colour bytes: alpha on top, then red, green and blue.
    clear_color_buffer(0x80402010u);
    colors = read_colors();
    EXPECT_EQ(pixel(colors, 5, 5), 0x40201080u);

    // Inside a partial viewport only the viewport is cleared, and the
    // scissor rectangle of the slots is back afterwards.
    clear_frame_buffer(0xFF000000u);
    set_viewport(8, 8, 16, 16);
    const ScissorRectangle light{12, 12, 14, 14};
    set_scissor_rectangle(0, &light);
    clear_frame_buffer(0xFFFFFFFFu);
    colors = read_colors();
    EXPECT_EQ(pixel(colors, 8, 8), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(colors, 23, 23), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(colors, 7, 8), 0x000000FFu);
    EXPECT_EQ(pixel(colors, 24, 24), 0x000000FFu);
    EXPECT_TRUE(is_scissor_test_on());
    EXPECT_EQ(read_box(GL_SCISSOR_BOX), (std::array<GLint, 4>{10, 10, 6, 6}));
}

}  // namespace
}  // namespace zolt::renderer
