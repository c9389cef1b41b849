#pragma once
// The GL world with one viewport drawing the whole 64 x 64 target through a
// camera at the origin looking along +Y with a 90-degree view, so a point
// (x, y, z) in front of it lands at pixel (32 + 32 x / y, 32 + 32 z / y).
// One render item per view calls the test's queue function.
#include "zolt/core/placement/placement_server.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer::test_support {

class CameraViewWorld : public BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        core::placement_server.register_server();
        camera_server.register_server();
        viewport_server.register_server();
        current_queue_ = nullptr;
    }
    void TearDown() override {
        view_hooks = ViewHooks{};
        current_queue_ = nullptr;
        if (viewport_server.is_registered()) {
            viewport_server.unregister_server();
            camera_server.unregister_server();
            core::placement_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

    // The viewport and its camera; queue runs once per view, as an item.
    void make_view(void (*queue)(VisibilityContext& context)) {
        Camera* const camera = camera_server.create_camera();
        core::Property lens;
        lens.set_float(0x5000000, 0.25f);
        ASSERT_TRUE(camera->set_property(camera_property::horizontal_field_of_view, lens));
        lens.set_float(0x5000000, 0);
        ASSERT_TRUE(camera->set_property(camera_property::vertical_field_of_view, lens));
        viewport_ = static_cast<Viewport*>(viewport_server.create_object_internal(0));
        core::Property camera_handle;
        camera_handle.set_u32(0x10000FB, camera->get_handle());
        ASSERT_TRUE(viewport_->set_property(0x10000FB, camera_handle));
        current_queue_ = queue;
        view_hooks.queue_visible_sector_objects = [](VisibilityContext& context) {
            RenderItem* const item = context.allocate_item();
            ASSERT_NE(item, nullptr);
            item->queue = [](VisibilityContext& view, RenderItem&) {
                if (current_queue_ != nullptr) {
                    current_queue_(view);
                }
            };
        };
    }
    bool draw_view() {
        viewport_server.update();
        return viewport_server.render_viewports();
    }

    Viewport* viewport_ = nullptr;
    static inline void (*current_queue_)(VisibilityContext& context) = nullptr;
};

}  // namespace zolt::renderer::test_support
