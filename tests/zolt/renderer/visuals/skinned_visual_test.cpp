// A visual of a skinned mesh: a script reaches the mesh through the visual's
// mesh property and binds a skeleton to it; the frame's passes hand the
// skeleton's pose buffer to the visual's render record, bound it by the
// skeleton's bones, and the view queues its part for the bone batches.
#include <gtest/gtest.h>

#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/mesh/skinned_mesh_fixtures.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

namespace p = visual_property;

constexpr uint32_t strip_mesh = 2;
constexpr uint32_t strip_skeleton_id = 0x5A100009;

class SkinnedVisualTest : public test_support::VisualWorld {
protected:
    void SetUp() override {
        test_support::add_mesh(extra_resources_, strip_mesh,
                               test_support::lay_out_mesh(test_support::make_skinned_strip_build(
                                   test_support::skinnable_entry)));
        extra_resources_.push_back(test::make_resource(strip_skeleton_id, test_support::build_strip_skeleton(), 2));
        VisualWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        animation::skeleton_server.register_server();
        set_active_render_layers(1u << depth_layer);
    }
    void TearDown() override {
        if (animation::skeleton_server.is_registered()) {
            animation::skeleton_server.unregister_server();
        }
        VisualWorld::TearDown();
    }
    static void run_frame_passes() {
        animation::skeleton_server.update();
        run_server_passes();
    }
};

TEST_F(SkinnedVisualTest, TheVisualsMeshTakesTheSkeletonsPoseAndBoundsAndIsQueued) {
    Visual* const visual = visual_server.create_visual(strip_mesh);
    core::Property value;
    value.set_u32(0x1000000, make_placement({5, 6, 2})->get_handle());
    ASSERT_TRUE(visual->set_property(p::placement, value));
    animation::Skeleton* const skeleton = animation::skeleton_server.create_skeleton(strip_skeleton_id);

    // The script's way: the visual's mesh, then the mesh's skeleton.
    const core::ObjectHandle mesh_handle = get_word(visual, p::mesh);
    Mesh* const mesh = mesh_server.find_mesh(mesh_handle);
    ASSERT_NE(mesh, nullptr);
    value.set_u32(0x1000000, skeleton->get_handle());
    ASSERT_TRUE(mesh->set_property(mesh_property::skeleton, value));
    // A skinned mesh is the visual's own, never shared.
    EXPECT_NE(mesh_server.acquire_mesh(strip_mesh), mesh);

    // The root bone moves up by half a unit: the visual's bounds follow the
    // bones, about its placement.
    core::placement_server.get_typed_object(skeleton->get_channel(0)->placement)
        ->set_local_position({0, test_support::strip_joints[0] + 0.5f, 0});
    skeleton->invalidate_bounds();
    run_frame_passes();
    const VisualRender& record = visual_server.get_render(*visual);
    ASSERT_NE(record.mesh, nullptr);
    EXPECT_EQ(record.mesh->skeleton_render, &animation::skeleton_server.get_pose_buffer(*skeleton));
    EXPECT_TRUE(record.private_mesh);
    const animation::SkeletonBounds& bounds = skeleton->get_bounds();
    EXPECT_FLOAT_EQ(record.world_sphere.y, 6 + bounds.centre.y);
    EXPECT_FLOAT_EQ(bounds.centre.y, (-0.25f + 0.75f) / 2);

    // The view queues its one sub-part with the mesh named for the draw.
    VisibilityContext context;
    RenderItem items[8];
    context.items = items;
    context.item_capacity = 8;
    test::set_square_view(context, 64, test::LevelWorld::find_render_at({5, 4, 2}), {5, 4, 2}, 90);
    context.view_mask = 0xFFFFFFFFu;
    servers::traverse_visible_sectors(context);
    queue_visible_sector_objects(context);
    ASSERT_EQ(context.item_count, 1u);
    const uint32_t before = get_free_render_request_count();
    context.queue_requests();
    ASSERT_EQ(before - get_free_render_request_count(), 1u);
    RenderLayer* const depth = get_render_layer(depth_layer);
    depth->begin_frame(depth_layer);
    depth->render_request_pass(depth_layer, true);
    EXPECT_EQ(opengl::gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // A destroyed skeleton leaves the mesh drawing its bind pose.
    core::destroy_object(skeleton);
    run_frame_passes();
    EXPECT_EQ(record.mesh->skeleton_render, nullptr);
}

}  // namespace
}  // namespace zolt::renderer
