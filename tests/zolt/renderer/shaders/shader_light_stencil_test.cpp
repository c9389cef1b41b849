#include "zolt/renderer/shaders/shader_light_stencil.h"

#include <gtest/gtest.h>

#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "support/stencil_box.h"
#include "zolt/renderer/shaders/shader_gl_test_library.h"
#include "zolt/renderer/shaders/shader_target_setup.h"

namespace zolt::renderer::shader_library::test {
namespace {

using opengl::gl;

constexpr const opengl::StencilGeometry& box = zolt::test::stencil_box;

class LightStencil : public ShaderGlTest {
protected:
    // The stencil scene, then a model-view that would move the box out of
    // sight.
    void prepare() {
        zolt::test::set_stencil_box_view();
        zolt::test::prepare_stencil_depth_plane();
        gl.glTranslatef(5, 0, 0);
    }

    uint32_t count_stencil(uint8_t value) const {
        uint32_t count = 0;
        for (const uint8_t found : read_stencil_values()) {
            count += found == value ? 1 : 0;
        }
        return count;
    }
};

TEST_F(LightStencil, VolumesAreCountedInWorldSpaceAndTheSetupCacheIsForgotten) {
    for (const bool camera_inside : {false, true}) {
        SCOPED_TRACE(camera_inside ? "camera inside" : "camera outside");
        prepare();
        apply_cull_mode(3);
        apply_depth_mode(8);
        render_light_stencil_volume(camera_inside, box);
        // Outside: the near faces pass the plane; inside: the far faces fail
        // it. Either way the box's pixels count one.
        EXPECT_EQ(count_stencil(1), zolt::test::stencil_box_pixels);
        float model_view[16];
        gl.glGetFloatv(GL_MODELVIEW_MATRIX, model_view);
        EXPECT_EQ(model_view[12], 5.0f) << "the caller's model-view is back";
        EXPECT_EQ(get_applied_target_setup(TargetSetupField::cull), target_setup_not_applied);
        EXPECT_EQ(get_applied_target_setup(TargetSetupField::depth), target_setup_not_applied);

        render_light_stencil_mask(box);
        EXPECT_EQ(count_stencil(0), width * height);
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

}  // namespace
}  // namespace zolt::renderer::shader_library::test
