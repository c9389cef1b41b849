// A viewport draws its view in the GL harness: a quad placed in the world in
// front of its camera appears where the camera's projection puts it.
#include <gtest/gtest.h>

#include "zolt/core/placement/placement_server.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;

class ViewportView : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        core::placement_server.register_server();
        camera_server.register_server();
        viewport_server.register_server();
        current = this;
    }
    void TearDown() override {
        view_hooks = ViewHooks{};
        current = nullptr;
        if (viewport_server.is_registered()) {
            viewport_server.unregister_server();
            camera_server.unregister_server();
            core::placement_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

    // The one item of the view: a quad 10 units ahead, filling the right half
    // of a 90-degree view.
    static void queue_objects(VisibilityContext& context) {
        RenderItem* const item = context.allocate_item();
        ASSERT_NE(item, nullptr);
        item->queue = [](VisibilityContext&, RenderItem&) {
            const float corners[] = {0, 10, -10, 10, 10, -10, 10, 10, 10, 0, 10, 10};
            current->offer_world_quad(corners);
        };
    }
    void offer_world_quad(const float (&corners)[12]) {
        offer_quad_corners(RenderInfo{}, material_, corners);
    }

    static ViewportView* current;
    Material* material_ = nullptr;
};

ViewportView* ViewportView::current = nullptr;

TEST_F(ViewportView, AWorldQuadIsDrawnWhereTheCameraProjectsIt) {
    material_ = make_material(test_support::layered_entry, {1, 0, 0}, {0, 0, 1});
    Camera* const camera = camera_server.create_camera();
    core::Property lens;
    lens.set_float(0x5000000, 0.25f);
    ASSERT_TRUE(camera->set_property(camera_property::horizontal_field_of_view, lens));
    lens.set_float(0x5000000, 0);
    ASSERT_TRUE(camera->set_property(camera_property::vertical_field_of_view, lens));
    auto* const viewport = static_cast<Viewport*>(viewport_server.create_object_internal(0));
    core::Property camera_handle;
    camera_handle.set_u32(0x10000FB, camera->get_handle());
    ASSERT_TRUE(viewport->set_property(0x10000FB, camera_handle));
    view_hooks.queue_visible_sector_objects = &queue_objects;

    viewport_server.update();
    EXPECT_TRUE(viewport_server.render_viewports());
    // The screen-copy pass draws the second colour over the black clear.
    EXPECT_EQ(read_pixel(48, 32), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(read_pixel(16, 32), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(read_pixel(34, 4), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(get_current_visibility_context(), nullptr);
}

}  // namespace
}  // namespace zolt::renderer
