// Decals on visuals and sectors, drawn under llvmpipe through the viewport's
// camera: a decal follows its target's frame, projects onto the geometry
// resource of the target's mesh, is drawn with the target and goes when the
// target's geometry goes.
#include <gtest/gtest.h>

#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/decals/decal_test_support.h"
#include "zolt/renderer/view/sector_geometry_queue.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;
using test_support::Pixel;

constexpr Pixel black{0, 0, 0, 255};
// The test decal shader's colour for a fresh decal (see the decal drawing
// test).
constexpr Pixel green{0, 255, 0, 0};
constexpr float half_turn_sine = 0.70710678f;
constexpr uint32_t viewport_layer_mask = 0x30000FE;

class DecalTargets : public test_support::VisualWorld {
protected:
    void SetUp() override {
        // The cube's geometry for decals: the face at local x = -0.5 facing
        // -x, and the opposite face, which faces away from every decal here.
        testing::TriangleList faces;
        faces.add({-0.5f, -0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, 0.5f}, 0, {-1, 0, 0});
        faces.add({-0.5f, -0.5f, -0.5f}, {-0.5f, 0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}, 0, {-1, 0, 0});
        faces.add({0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, -0.5f}, 0, {1, 0, 0});
        extra_resources_.push_back(test::make_resource(decal_geometry_resource_base + test_support::cube_mesh,
                                                       testing::write_geometry_resource(faces, 1)));
        VisualWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // As in the game, the server registers after the renderer's start-up
        // command that would have made its index stream.
        decal_server.register_server();
        drawn_visual_ = nullptr;
        drawn_sector_ = nullptr;
    }
    void TearDown() override {
        if (decal_server.is_registered()) {
            decal_server.release_index_stream();
            decal_server.unregister_server();
        }
        VisualWorld::TearDown();
    }

    // What the view's item queues: the drawn visual as the sector walk
    // would hand it, and the drawn sector's geometry.
    static void queue_targets(VisibilityContext& context) {
        if (drawn_visual_ != nullptr) {
            RenderItem item;
            item.object = &visual_server.get_render(*drawn_visual_);
            queue_visual_requests(context, item);
        }
        if (drawn_sector_ != nullptr) {
            SectorView view;
            view.sector = &servers::sector_server.get_render_record(*drawn_sector_);
            view.clip_volume = context.frustum;
            queue_sector_geometry(context, view);
        }
    }

    static DecalDescription make_description(DecalSpawnType type, float size) {
        DecalDescription description;
        description.spawn_type = static_cast<uint32_t>(type);
        description.shader_index = test_support::object_decal_entry;
        description.width = description.height = size;
        description.depth = 2;
        description.fade_time = 0;
        return description;
    }
    // One decal facing the camera (its normal along -y) at the world point.
    static Decal* spawn(core::ObjectHandle target, DecalSpawnType type, float size, const Vector3& at) {
        Decal* const set = decal_server.find_or_create_set(make_description(type, size), target);
        if (set != nullptr) {
            DecalGeometry geometry;
            set->spawn_in_world_space(at, geometry::identity_quaternion(), 0xFFFFFFFFu,
                                      decal_server.open_surface(set->geometry_resource, geometry));
        }
        return set;
    }
    // The test mesh shader ignores the camera and would cover the middle of
    // the target; the decal layers alone show where the decals land.
    void make_decal_view() {
        make_view(&queue_targets);
        core::Property mask;
        mask.set_u32(0x3000000, 1u << nmap_decal_layer | 1u << nmap_lit_decal_layer);
        ASSERT_TRUE(viewport_->set_property(viewport_layer_mask, mask));
    }
    bool draw() {
        run_server_passes();
        decal_server.update();
        material_server.process_pending();
        return draw_view();
    }
    static double ring_area(const Decal& set) {
        double total = 0;
        for (uint32_t index = 0; index < set.triangle_count; ++index) {
            const DecalTriangle& triangle = set.get_triangle(index);
            const auto corner = [&](int n) {
                const float* p = triangle.corners[n].position;
                return Vector3{p[0], p[1], p[2]};
            };
            total += 0.5 * geometry::length(geometry::cross(corner(1) - corner(0), corner(2) - corner(0)));
        }
        return total;
    }
    static uint32_t count_sets(core::ObjectHandle target) {
        uint32_t count = 0;
        decal_server.for_each_set_of(target, [&](Decal&) { ++count; });
        return count;
    }

    static inline Visual* drawn_visual_ = nullptr;
    static inline servers::Sector* drawn_sector_ = nullptr;
};

// The camera looks along +y from the origin: (x, y, z) lands at pixel
// (32 + 32 x / y, 32 + 32 z / y). A cube of edge 1 at (0, 3, 0) has its
// face at y = 2.5 over pixels 25.6 to 38.4.
TEST_F(DecalTargets, AQuadDecalFollowsItsVisualAndIsDrawnWithIt) {
    drawn_visual_ = make_visual({0, 3, 0});
    // Turned a quarter about z, so that the decal's frame must go through
    // the visual's rotation to stay where it was spawned.
    core::placement_server.get_typed_object(get_word(drawn_visual_, visual_property::placement))
        ->set_local_rotation({0, 0, half_turn_sine, half_turn_sine});
    make_decal_view();
    run_server_passes();
    EXPECT_EQ(visual_server.get_render(*drawn_visual_).decals, 0u);
    // Half a unit wide, just before the face, left of centre: pixels 25.6
    // to 32 across, 28.8 to 35.2 up.
    Decal* const set = spawn(drawn_visual_->get_handle(), DecalSpawnType::quad, 0.5f, {-0.25f, 2.49f, 0});
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->spawn_count, 1u);
    ASSERT_TRUE(draw());
    EXPECT_EQ(visual_server.get_render(*drawn_visual_).decals, drawn_visual_->get_handle());
    EXPECT_EQ(read_pixel(27, 32), green);
    EXPECT_EQ(read_pixel(26, 29), green);
    EXPECT_EQ(read_pixel(31, 34), green);
    EXPECT_EQ(read_pixel(24, 32), black);
    EXPECT_EQ(read_pixel(34, 32), black);
    EXPECT_EQ(read_pixel(28, 37), black);
}

TEST_F(DecalTargets, AProjectedDecalIsClippedToTheVisualsOwnGeometry) {
    drawn_visual_ = make_visual({0, 3, 0});
    // The quarter turn brings the geometry's -x face round to face the camera.
    core::placement_server.get_typed_object(get_word(drawn_visual_, visual_property::placement))
        ->set_local_rotation({0, 0, half_turn_sine, half_turn_sine});
    make_decal_view();
    run_server_passes();
    // Half a unit square from x 0.15 to 0.65: the face ends at 0.5, so
    // 0.35 x 0.5 of it is laid, over pixels 33.9 to 38.4.
    Decal* const set = spawn(drawn_visual_->get_handle(), DecalSpawnType::projected, 0.5f, {0.4f, 2.4f, 0});
    ASSERT_NE(set, nullptr);
    EXPECT_NE(set->geometry_resource, 0u);
    ASSERT_EQ(set->spawn_count, 1u);
    EXPECT_NEAR(ring_area(*set), 0.35 * 0.5, 1e-4);
    // Every vertex lies on the face, lifted towards the camera.
    for (uint32_t index = 0; index < set->triangle_count; ++index) {
        for (const DecalVertex& corner : set->get_triangle(index).corners) {
            EXPECT_NEAR(corner.position[0], -0.501f, 1e-5f);
        }
    }
    ASSERT_TRUE(draw());
    EXPECT_EQ(read_pixel(36, 32), green);
    EXPECT_EQ(read_pixel(37, 29), green);
    EXPECT_EQ(read_pixel(39, 32), black);
    EXPECT_EQ(read_pixel(32, 32), black);

    // Off the cube, the box holds no triangle: no decal.
    Decal* const missed = spawn(drawn_visual_->get_handle(), DecalSpawnType::projected, 0.5f, {3, 2.4f, 0});
    EXPECT_EQ(missed, set);
    EXPECT_EQ(set->spawn_count, 1u);
}

TEST_F(DecalTargets, AQuadDecalOnASectorIsDrawnWithTheSectorsMesh) {
    servers::Sector* const sector = rooms_[0];
    core::Property value;
    value.set_u32(0x1000000, mesh_server.acquire_mesh(test_support::cube_mesh)->get_handle());
    ASSERT_TRUE(sector->set_property(servers::sector_property::mesh, value));
    value.set_u32(0x1000000, make_placement({0, 3, 0})->get_handle());
    ASSERT_TRUE(sector->set_property(servers::sector_property::placement, value));
    drawn_sector_ = sector;
    make_decal_view();
    run_server_passes();
    // Right of centre: pixels 35.2 to 41.6 across, beyond the cube's 38.4.
    Decal* const set = spawn(sector->get_handle(), DecalSpawnType::quad, 0.5f, {0.5f, 2.49f, 0});
    ASSERT_NE(set, nullptr);
    ASSERT_TRUE(draw());
    EXPECT_EQ(servers::sector_server.get_render_record(*sector).decals, sector->get_handle());
    EXPECT_EQ(read_pixel(37, 32), green);
    EXPECT_EQ(read_pixel(40, 34), green);
    EXPECT_EQ(read_pixel(43, 32), black);
    EXPECT_EQ(read_pixel(34, 32), black);
}

TEST_F(DecalTargets, ATargetWhoseGeometryGoesTakesItsDecalsAlong) {
    Visual* const visual = make_visual({5, 6, 2});
    servers::Sector* const sector = rooms_[1];
    run_server_passes();
    const auto decorate = [&](core::ObjectHandle target) {
        ASSERT_NE(spawn(target, DecalSpawnType::quad, 0.5f, {5, 5, 2}), nullptr);
        DecalDescription other = make_description(DecalSpawnType::quad, 0.25f);
        ASSERT_NE(decal_server.find_or_create_set(other, target), nullptr);
        EXPECT_EQ(count_sets(target), 2u);
    };
    core::Property mesh;
    mesh.set_u32(0x1000000, mesh_server.acquire_mesh(test_support::cube_mesh)->get_handle());
    ASSERT_TRUE(sector->set_property(servers::sector_property::mesh, mesh));

    // Setting the mesh already set keeps them; another mesh, or none, not.
    decorate(visual->get_handle());
    decorate(sector->get_handle());
    ASSERT_TRUE(sector->set_property(servers::sector_property::mesh, mesh));
    EXPECT_EQ(count_sets(sector->get_handle()), 2u);
    core::Property none;
    none.set_u32(0x1000000, 0);
    ASSERT_TRUE(visual->set_property(visual_property::mesh, none));
    ASSERT_TRUE(sector->set_property(servers::sector_property::mesh, none));
    EXPECT_EQ(count_sets(visual->get_handle()), 0u);
    EXPECT_EQ(count_sets(sector->get_handle()), 0u);
    run_server_passes();
    EXPECT_EQ(visual_server.get_render(*visual).decals, 0u);
    EXPECT_EQ(servers::sector_server.get_render_record(*sector).decals, 0u);

    // A destroyed target leaves no set behind.
    Visual* const second = make_visual({5, 6, 2});
    decorate(second->get_handle());
    const core::ObjectHandle second_handle = second->get_handle();
    visual_server.destroy_object_internal(second);
    EXPECT_EQ(count_sets(second_handle), 0u);
    ASSERT_TRUE(sector->set_property(servers::sector_property::mesh, mesh));
    decorate(sector->get_handle());
    const core::ObjectHandle sector_handle = sector->get_handle();
    servers::sector_server.destroy_object_internal(sector);
    EXPECT_EQ(count_sets(sector_handle), 0u);
}

}  // namespace
}  // namespace zolt::renderer
