#include "libs/opengl/occlusion_query.h"

#include <gtest/gtest.h>

#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/renderer_hooks.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

uint32_t completed_frames = 0;

uint32_t read_test_frame_counter() {
    return completed_frames;
}

class OcclusionQueries : public test::GlContextTest {
protected:
    void SetUp() override {
        test::GlContextTest::SetUp();
        completed_frames = 5000;
        set_renderer_hooks({&read_test_frame_counter, nullptr});
    }
    void TearDown() override {
        for (OcclusionQuery* query : queries_) {
            free_occlusion_query(query);
        }
        set_renderer_hooks({});
        test::GlContextTest::TearDown();
    }

    OcclusionQuery* allocate() {
        OcclusionQuery* query = allocate_occlusion_query();
        if (query != nullptr) {
            queries_.push_back(query);
        }
        return query;
    }

    // One frame's query: a quad over the whole target, or nothing drawn.
    static void run_frame_query(OcclusionQuery* query, bool draw) {
        openglBeginOcclusionQuery(query);
        if (draw) {
            gl.glBegin(GL_QUADS);
            gl.glVertex2f(-1, -1);
            gl.glVertex2f(1, -1);
            gl.glVertex2f(1, 1);
            gl.glVertex2f(-1, 1);
            gl.glEnd();
        }
        openglEndOcclusionQuery();
    }

    std::vector<OcclusionQuery*> queries_;
};

TEST_F(OcclusionQueries, AFramesResultIsReadTwoFramesLater) {
    OcclusionQuery* query = allocate();
    ASSERT_NE(query, nullptr);
    bool visible = true;
    EXPECT_FALSE(get_delayed_occlusion_result(query, &visible));
    EXPECT_FALSE(get_current_occlusion_result(query, &visible));

    const bool drawn[] = {true, false, true, false};
    const uint32_t expected_slots[] = {1, 2, 0, 1};
    for (uint32_t frame = 0; frame < 4; ++frame) {
        completed_frames = 5000 + frame;
        if (frame >= 2) {
            visible = !drawn[frame - 2];
            ASSERT_TRUE(get_delayed_occlusion_result(query, &visible)) << frame;
            EXPECT_EQ(visible, drawn[frame - 2]) << frame;
        } else {
            EXPECT_FALSE(get_delayed_occlusion_result(query, &visible)) << frame;
        }
        run_frame_query(query, drawn[frame]);
        EXPECT_EQ(query->current_slot, expected_slots[frame]);
        // A second query in the same frame takes the same slot.
        run_frame_query(query, drawn[frame]);
        EXPECT_EQ(query->current_slot, expected_slots[frame]);
        ASSERT_TRUE(get_current_occlusion_result(query, &visible));
        EXPECT_EQ(visible, drawn[frame]);
    }
}

TEST_F(OcclusionQueries, ThePoolHoldsFiveHundredQueries) {
    for (uint32_t index = 0; index < occlusion_query_pool_size; ++index) {
        ASSERT_NE(allocate(), nullptr) << index;
    }
    EXPECT_EQ(allocate_occlusion_query(), nullptr);
    OcclusionQuery* freed = queries_.back();
    queries_.pop_back();
    free_occlusion_query(freed);
    free_occlusion_query(nullptr);
    EXPECT_EQ(allocate(), freed);
}

void generate_one_zero_id(GLsizei count, GLuint* ids) {
    for (GLsizei index = 0; index < count; ++index) {
        ids[index] = index == 1 ? 0 : 900 + static_cast<GLuint>(index);
    }
}

TEST_F(OcclusionQueries, AZeroIdGivesNoQueryAndDeletesTheOthers) {
    OcclusionQuery* failed = nullptr;
    {
        ScopedValue<PFNGLGENQUERIESPROC> generate(gl.glGenQueries, &generate_one_zero_id);
        test::GlCallRecorder recorder;
        failed = allocate_occlusion_query();
        EXPECT_EQ(recorder.count("glDeleteQueries"), 2u);
    }
    EXPECT_EQ(failed, nullptr);
    OcclusionQuery* query = allocate();
    ASSERT_NE(query, nullptr);
    EXPECT_NE(query->ids[0], 0u);
    EXPECT_NE(query->ids[1], 0u);
    EXPECT_NE(query->ids[2], 0u);
}

TEST_F(OcclusionQueries, UsableWithCounterBitsUnlessSwitchedOff) {
    EXPECT_TRUE(occlusion_queries_usable());
    {
        ScopedValue<bool> off(compatibility_fix_disable_occlusion_query, true);
        EXPECT_FALSE(occlusion_queries_usable());
    }
    ScopedValue<bool> no_core(capabilities.gl_1_5, false);
    EXPECT_TRUE(occlusion_queries_usable());
    ScopedValue<bool> no_extension(test::extension_flag(Extension::ARB_occlusion_query), false);
    EXPECT_FALSE(occlusion_queries_usable());

    const test::ChildResult result = test::run_in_child([] {
        OcclusionQuery query;
        openglBeginOcclusionQuery(&query);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: missing OpenGL entry point"), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::opengl
