#include "libs/opengl/stencil_operations.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "support/gl_context.h"
#include "support/stencil_box.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

using test::prepare_stencil_depth_plane;
constexpr const StencilGeometry& box = test::stencil_box;
constexpr uint32_t box_pixels = test::stencil_box_pixels;

class StencilVolumes : public test::GlContextTest {
protected:
    void SetUp() override {
        test::GlContextTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        test::set_stencil_box_view();
    }

    uint32_t count_stencil_value(uint8_t value) const {
        uint32_t count = 0;
        for (uint8_t stencil : read_stencil_values()) {
            count += stencil == value ? 1 : 0;
        }
        return count;
    }

    static GLint get_integer(GLenum name) {
        GLint value = 0;
        gl.glGetIntegerv(name, &value);
        return value;
    }
};

struct PathRow {
    StencilVolumePath path;
    bool ignore_separate;
    bool ignore_two_sided;
    const char* telltale;
    uint32_t telltale_calls;
};

const PathRow path_rows[] = {
    {StencilVolumePath::separate, false, false, "glStencilOpSeparateATI", 2},
    {StencilVolumePath::two_sided, true, false, "glActiveStencilFaceEXT", 2},
    {StencilVolumePath::two_pass, true, true, "glCullFace", 2},
};

TEST_F(StencilVolumes, ABoxMarksTheSamePixelsThroughEveryPath) {
    struct OperationsRow {
        const char* name;
        GLenum front_fail, front_pass, back_fail, back_pass;
    };
    const OperationsRow operation_rows[] = {
        {"eye outside: count where the near face passes", GL_KEEP, GL_INCR_WRAP, GL_KEEP, GL_DECR_WRAP},
        {"eye inside: count where the far face fails", GL_DECR_WRAP, GL_KEEP, GL_INCR_WRAP, GL_KEEP},
    };
    for (const PathRow& path : path_rows) {
        ScopedValue<bool> separate(compatibility_fix_ignore_separate_stencil, path.ignore_separate);
        ScopedValue<bool> two_sided(compatibility_fix_ignore_two_sided_stencil, path.ignore_two_sided);
        ASSERT_EQ(choose_stencil_volume_path(), path.path);
        for (const OperationsRow& operations : operation_rows) {
            prepare_stencil_depth_plane();
            {
                test::GlCallRecorder recorder;
                render_stencil_volume(&box, operations.front_fail, operations.front_pass, operations.back_fail,
                                      operations.back_pass);
                EXPECT_EQ(recorder.count(path.telltale), path.telltale_calls) << path.telltale;
            }
            EXPECT_EQ(count_stencil_value(1), box_pixels) << path.telltale << ", " << operations.name;
            EXPECT_EQ(count_nonzero_stencil_values(), box_pixels) << path.telltale << ", " << operations.name;

            render_stencil_mask(&box);
            EXPECT_EQ(count_nonzero_stencil_values(), 0u) << path.telltale << ", " << operations.name;
            EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    }
}

// The light passes after a volume or a mask test depth for equality, so
// neither may leave its own faces' depth behind, whatever depth state the
// passes before it left on.
TEST_F(StencilVolumes, NeitherTheVolumeNorTheMaskWritesDepth) {
    const auto read_depths = [this] {
        std::vector<float> depths(width * height);
        gl.glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
        return depths;
    };
    for (const PathRow& path : path_rows) {
        ScopedValue<bool> separate(compatibility_fix_ignore_separate_stencil, path.ignore_separate);
        ScopedValue<bool> two_sided(compatibility_fix_ignore_two_sided_stencil, path.ignore_two_sided);
        prepare_stencil_depth_plane();
        const std::vector<float> plane = read_depths();
        const auto leave_depth_writes_on = [] {
            gl.glEnable(GL_DEPTH_TEST);
            gl.glDepthFunc(GL_ALWAYS);
            gl.glDepthMask(GL_TRUE);
        };
        leave_depth_writes_on();
        render_stencil_volume(&box, GL_KEEP, GL_INCR_WRAP, GL_KEEP, GL_DECR_WRAP);
        EXPECT_EQ(read_depths(), plane) << path.telltale << ": volume";
        leave_depth_writes_on();
        render_stencil_mask(&box);
        EXPECT_EQ(read_depths(), plane) << path.telltale << ": mask";
    }
}

TEST_F(StencilVolumes, LeaveTheCachedStencilStateAndTheDefaultsBehind) {
    for (const PathRow& path : path_rows) {
        ScopedValue<bool> separate(compatibility_fix_ignore_separate_stencil, path.ignore_separate);
        ScopedValue<bool> two_sided(compatibility_fix_ignore_two_sided_stencil, path.ignore_two_sided);
        ScopedValue<StencilStateCache> cache(stencil_state_cache,
                                             StencilStateCache{true, GL_NOTEQUAL, {GL_KEEP, GL_KEEP, GL_ZERO}});
        gl.glEnable(GL_STENCIL_TEST);
        render_stencil_volume(&box, GL_KEEP, GL_INCR_WRAP, GL_KEEP, GL_DECR_WRAP);

        EXPECT_EQ(get_integer(GL_STENCIL_TEST), GL_TRUE) << path.telltale;
        EXPECT_EQ(get_integer(GL_STENCIL_FUNC), GL_NOTEQUAL);
        EXPECT_EQ(get_integer(GL_STENCIL_BACK_FUNC), GL_NOTEQUAL);
        EXPECT_EQ(get_integer(GL_STENCIL_REF), 0);
        EXPECT_EQ(get_integer(GL_STENCIL_PASS_DEPTH_PASS), GL_ZERO);
        EXPECT_EQ(get_integer(GL_STENCIL_BACK_PASS_DEPTH_PASS), GL_ZERO);
        EXPECT_EQ(get_integer(GL_STENCIL_BACK_PASS_DEPTH_FAIL), GL_KEEP);
        EXPECT_EQ(get_integer(GL_STENCIL_TEST_TWO_SIDE_EXT), GL_FALSE);
        EXPECT_EQ(get_integer(GL_DEPTH_TEST), GL_FALSE);
        EXPECT_EQ(get_integer(GL_DEPTH_WRITEMASK), GL_TRUE);
        EXPECT_EQ(get_integer(GL_CULL_FACE), GL_FALSE);
        EXPECT_EQ(get_integer(GL_VERTEX_ARRAY), GL_FALSE);
        GLint colour_mask[4] = {};
        gl.glGetIntegerv(GL_COLOR_WRITEMASK, colour_mask);
        EXPECT_EQ(colour_mask[0] & colour_mask[1] & colour_mask[2] & colour_mask[3], GL_TRUE);

        render_stencil_mask(&box);
        EXPECT_EQ(get_integer(GL_STENCIL_FUNC), GL_NOTEQUAL);
        EXPECT_EQ(get_integer(GL_STENCIL_PASS_DEPTH_PASS), GL_ZERO);
        EXPECT_EQ(get_integer(GL_STENCIL_FAIL), GL_KEEP);

        reset_stencil_state();
        EXPECT_EQ(get_integer(GL_STENCIL_TEST), GL_FALSE);
        EXPECT_EQ(get_integer(GL_STENCIL_FUNC), GL_ALWAYS);
        EXPECT_EQ(get_integer(GL_STENCIL_PASS_DEPTH_PASS), GL_KEEP);
        EXPECT_FALSE(stencil_state_cache.test_held);
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(StencilVolumes, WithoutGeometryNothingIsDrawnOnAnyPath) {
    for (const PathRow& path : path_rows) {
        ScopedValue<bool> separate(compatibility_fix_ignore_separate_stencil, path.ignore_separate);
        ScopedValue<bool> two_sided(compatibility_fix_ignore_two_sided_stencil, path.ignore_two_sided);
        prepare_stencil_depth_plane();
        test::GlCallRecorder recorder;
        render_stencil_volume(nullptr, GL_KEEP, GL_INCR_WRAP, GL_KEEP, GL_DECR_WRAP);
        render_stencil_mask(nullptr);
        EXPECT_EQ(recorder.count("glDrawRangeElements") + recorder.count("glDrawElements"), 0u) << path.telltale;
        EXPECT_EQ(count_nonzero_stencil_values(), 0u);
    }
}

TEST_F(StencilVolumes, ResetStencilOpSetsOnlyWhatDiffers) {
    test::GlCallRecorder recorder;
    reset_stencil_op();
    EXPECT_EQ(recorder.count("glStencilOp"), 0u);
    stencil_state_cache.operations[2] = GL_INCR;
    reset_stencil_op();
    EXPECT_EQ(recorder.count("glStencilOp"), 1u);
    EXPECT_EQ(stencil_state_cache.operations[2], static_cast<GLenum>(GL_KEEP));
}

std::vector<std::pair<GLsizei, GLuint>> clear_tags;

void note_clear_tag(GLsizei bits, GLuint tag) {
    clear_tags.emplace_back(bits, tag);
}

TEST_F(StencilVolumes, TaggedClearsWrapAfter63TagsWithARealClear) {
    clear_tags.clear();
    initialize_stencil_clear_tag();
    EXPECT_FALSE(are_tagged_stencil_clears_used());

    {
        ScopedValue<bool> extension(test::extension_flag(Extension::EXT_stencil_clear_tag), true);
        ScopedValue<PFNGLSTENCILCLEARTAGEXTPROC> function(gl.glStencilClearTagEXT, &note_clear_tag);
        initialize_stencil_clear_tag();
        EXPECT_FALSE(are_tagged_stencil_clears_used());

        ScopedValue<bool> allowed(compatibility_fix_ignore_tagged_stencil, false);
        initialize_stencil_clear_tag();
        ASSERT_TRUE(are_tagged_stencil_clears_used());
        ASSERT_EQ(clear_tags.size(), 1u);
        EXPECT_EQ(clear_tags[0], std::make_pair(GLsizei{6}, GLuint{0}));

        reset_stencil_clear_tag();
        test::GlCallRecorder recorder;
        for (uint32_t call = 1; call <= 62; ++call) {
            next_stencil_clear_tag();
            ASSERT_EQ(get_stencil_clear_tag(), call);
            EXPECT_EQ(clear_tags.back(), std::make_pair(GLsizei{6}, GLuint{call * 4}));
        }
        EXPECT_EQ(recorder.count("glClear"), 0u);
        next_stencil_clear_tag();
        EXPECT_EQ(get_stencil_clear_tag(), 0u);
        EXPECT_EQ(clear_tags.back(), std::make_pair(GLsizei{6}, GLuint{0}));
        EXPECT_EQ(recorder.count("glClear"), 1u);
    }
    // Later tests in this process draw with the real entry points.
    initialize_stencil_clear_tag();
    EXPECT_FALSE(are_tagged_stencil_clears_used());
}

}  // namespace
}  // namespace zolt::opengl
