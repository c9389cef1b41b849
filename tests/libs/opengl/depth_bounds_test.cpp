#include "libs/opengl/depth_bounds.h"

#include <gtest/gtest.h>

#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

std::vector<std::pair<double, double>> depth_bounds_calls;

void note_depth_bounds(GLclampd minimum, GLclampd maximum) {
    depth_bounds_calls.emplace_back(minimum, maximum);
}

// A perspective view along -z with near 1 and far 3, in the row-vector
// convention: window depth 0 at z = -1, 0.5 at z = -1.5, 0.75 at z = -2.
geometry::Matrix4 make_view_projection() {
    geometry::Matrix4 matrix;
    matrix.rows[2] = {0, 0, -2, -1};
    matrix.rows[3] = {0, 0, -3, 0};
    return matrix;
}

class DepthBounds : public test::GlContextTest {
protected:
    void SetUp() override {
        test::GlContextTest::SetUp();
        depth_bounds_calls.clear();
    }
};

TEST_F(DepthBounds, TheRangeOfTheProjectedPointsIsWidenedByAHundredth) {
    ScopedValue<bool> extension(test::extension_flag(Extension::EXT_depth_bounds_test), true);
    ScopedValue<PFNGLDEPTHBOUNDSEXTPROC> function(gl.glDepthBoundsEXT, &note_depth_bounds);
    const geometry::Matrix4 view_projection = make_view_projection();

    struct Row {
        const char* name;
        std::vector<float> points;
        float minimum, maximum;
    };
    const Row rows[] = {
        {"in front", {0, 0, -1.5f, 3, -2, -2}, 0.49f, 0.76f},
        {"all behind the eye", {0, 0, 1, 5, 5, 0.5f, 0, 0, 0}, -0.01f, 0.01f},
        {"one behind the eye", {0, 0, 2, 0, 0, -2}, -0.01f, 0.76f},
        {"at the near plane", {0, 0, -1}, -0.01f, 0.01f},
    };
    for (const Row& row : rows) {
        depth_bounds_calls.clear();
        set_depth_bounds_from_points(view_projection, row.points.data(), static_cast<uint32_t>(row.points.size() / 3));
        ASSERT_EQ(depth_bounds_calls.size(), 1u) << row.name;
        EXPECT_NEAR(depth_bounds_calls[0].first, row.minimum, 1e-6) << row.name;
        EXPECT_NEAR(depth_bounds_calls[0].second, row.maximum, 1e-6) << row.name;
        EXPECT_TRUE(is_depth_bounds_test_enabled());
    }

    const float corners[] = {-1, -1, -1.5f, 1, -1, -1.5f, 1, 1, -1.5f, -1, 1, -1.5f,
                             -1, -1, -2,    1, -1, -2,    1, 1, -2,    -1, 1, -2};
    depth_bounds_calls.clear();
    set_depth_bounds_from_box(view_projection, corners);
    ASSERT_EQ(depth_bounds_calls.size(), 1u);
    EXPECT_NEAR(depth_bounds_calls[0].first, 0.49, 1e-6);
    EXPECT_NEAR(depth_bounds_calls[0].second, 0.76, 1e-6);

    test::GlCallRecorder recorder;
    set_depth_bounds_from_points(view_projection, corners, 0);
    EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glDisable"});
    EXPECT_FALSE(is_depth_bounds_test_enabled());
    gl.glGetError();
}

TEST_F(DepthBounds, NothingHappensWithoutTheExtensionOrWhenSwitchedOff) {
    const geometry::Matrix4 view_projection = make_view_projection();
    const float point[] = {0, 0, -2};
    {
        test::GlCallRecorder recorder;
        set_depth_bounds_from_points(view_projection, point, 1);
        EXPECT_TRUE(recorder.calls().empty());
    }
    ScopedValue<bool> extension(test::extension_flag(Extension::EXT_depth_bounds_test), true);
    ScopedValue<PFNGLDEPTHBOUNDSEXTPROC> function(gl.glDepthBoundsEXT, &note_depth_bounds);
    ScopedValue<bool> off(compatibility_fix_disable_depth_bounds, true);
    test::GlCallRecorder recorder;
    set_depth_bounds_from_points(view_projection, point, 1);
    EXPECT_TRUE(recorder.calls().empty());
    EXPECT_FALSE(is_depth_bounds_test_enabled());
}

}  // namespace
}  // namespace zolt::opengl
