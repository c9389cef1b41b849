// A viewport draws its view in the GL harness: a quad placed in the world in
// front of its camera appears where the camera's projection puts it.
#include <gtest/gtest.h>

#include "zolt/renderer/viewport/camera_view_world.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;

class ViewportView : public test_support::CameraViewWorld {
protected:
    void TearDown() override {
        material_ = nullptr;
        CameraViewWorld::TearDown();
    }

    // The one item of the view: a quad 10 units ahead, filling the right half
    // of a 90-degree view.
    static void queue_world_quad(VisibilityContext&) {
        const float corners[] = {0, 10, -10, 10, 10, -10, 10, 10, 10, 0, 10, 10};
        current->offer_quad_corners(RenderInfo{}, material_, corners);
    }

    static inline ViewportView* current = nullptr;
    static inline Material* material_ = nullptr;
};

TEST_F(ViewportView, AWorldQuadIsDrawnWhereTheCameraProjectsIt) {
    current = this;
    material_ = make_material(test_support::layered_entry, {1, 0, 0}, {0, 0, 1});
    make_view(&queue_world_quad);

    EXPECT_TRUE(draw_view());
    // The screen-copy pass draws the second colour over the black clear.
    EXPECT_EQ(read_pixel(48, 32), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(read_pixel(16, 32), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(read_pixel(34, 4), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(get_current_visibility_context(), nullptr);
}

}  // namespace
}  // namespace zolt::renderer
