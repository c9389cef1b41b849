#include <gtest/gtest.h>

#include "support/world_round_trip.h"
#include "zolt/navigation/area_builtins.h"
#include "zolt/navigation/area_world.h"

namespace zolt::servers {
namespace {

class SectorsAndPortals : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        rooms = loadable_area_server.create_area(test::two_rooms_area);
    }

    LoadableArea* rooms = nullptr;
};

// The ring of one side of a sector as the render records see it.
std::vector<const PortalRender*> walk_render_ring(const SectorRender& sector, uint32_t side) {
    std::vector<const PortalRender*> ring;
    for (const PortalRender* portal = sector.first_portals[side]; portal != nullptr && ring.size() < 10;) {
        ring.push_back(portal);
        portal = portal->next[side];
        if (portal == sector.first_portals[side]) {
            break;
        }
    }
    return ring;
}

TEST_F(SectorsAndPortals, PortalsLinkTheSectorsOnTheirTwoSides) {
    Sector* const left = create_sector(test::two_rooms_area, 0);
    Sector* const right = create_sector(test::two_rooms_area, 1);
    Portal* const door = create_portal(test::two_rooms_area, 0);
    // Side 0 faces +x, into the right room.
    EXPECT_EQ(door->get_sector(0), right->get_handle());
    EXPECT_EQ(door->get_sector(1), left->get_handle());
    EXPECT_EQ(right->get_first_portal(0), door->get_handle());
    EXPECT_EQ(left->get_first_portal(1), door->get_handle());
    Portal* const second = create_portal(test::two_rooms_area, 1);
    run_frame_updates();
    const SectorRender& right_render = sector_server.get_render_record(*right);
    const std::vector<const PortalRender*> ring = walk_render_ring(right_render, 0);
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring[0], &portal_server.get_render_record(*door));
    EXPECT_EQ(ring[1], &portal_server.get_render_record(*second));
    EXPECT_EQ(ring[0]->sectors[1], &sector_server.get_render_record(*left));

    // Taking the first portal out keeps the render ring whole.
    core::destroy_object(door);
    run_frame_updates();
    const std::vector<const PortalRender*> after = walk_render_ring(right_render, 0);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], &portal_server.get_render_record(*second));
    EXPECT_EQ(after[0]->next[0], after[0]);

    // Destroying a sector empties the side it held.
    core::destroy_object(left);
    EXPECT_EQ(second->get_sector(1), 0u);
    EXPECT_EQ(second->get_sector(0), right->get_handle());
    run_frame_updates();
    EXPECT_EQ(portal_server.get_render_record(*second).sectors[1], nullptr);
}

TEST_F(SectorsAndPortals, APortalBeforeItsSectorsLinksAtTheNextFrame) {
    Portal* const door = create_portal(test::two_rooms_area, 0);
    EXPECT_EQ(door->get_sector(0), 0u);
    Sector* const left = create_sector(test::two_rooms_area, 0);
    Sector* const right = create_sector(test::two_rooms_area, 1);
    EXPECT_EQ(door->get_sector(0), 0u);
    run_frame_updates();
    EXPECT_EQ(door->get_sector(0), right->get_handle());
    EXPECT_EQ(door->get_sector(1), left->get_handle());
    const PortalRender& render = portal_server.get_render_record(*door);
    EXPECT_EQ(render.sectors[0], &sector_server.get_render_record(*right));
    EXPECT_EQ(render.next[0], &render);
}

TEST_F(SectorsAndPortals, SpheresTouchTheOpeningWithinItsEdges) {
    create_sector(test::two_rooms_area, 0);
    create_sector(test::two_rooms_area, 1);
    Portal* const door = create_portal(test::two_rooms_area, 0);
    struct Row {
        const char* name;
        geometry::Vector3 centre;
        float radius;
        bool touches;
    } const rows[] = {
        {"in the opening", {10, 5, 1.5f}, 0.1f, true},
        {"exactly reaching the plane", {9, 5, 1.5f}, 1, true},
        {"short of the plane", {9, 5, 1.5f}, 0.99f, false},
        {"beside the opening", {10, 2, 1.5f}, 1, false},
        {"reaching over the edge", {10, 3.5f, 1.5f}, 0.6f, true},
        {"over the corner within the circle", {10.5f, 3.8f, -0.1f}, 0.6f, true},
        {"too far past an edge", {10, 5, 5}, 1.9f, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(door->touches_sphere(row.centre, row.radius), row.touches) << row.name;
    }
}

TEST_F(SectorsAndPortals, NeighboursAreFoundAcrossDisabledPortalsToo) {
    Sector* const left = create_sector(test::two_rooms_area, 0);
    Sector* const right = create_sector(test::two_rooms_area, 1);
    Portal* const door = create_portal(test::two_rooms_area, 0);
    core::Property enabled;
    enabled.set_u32(0x3000000, 0);
    ASSERT_TRUE(door->set_property(portal_property::enabled, enabled));
    EXPECT_EQ(find_neighbour_sector({left->get_handle()}, {9.5f, 5, 1}, 1).value, right->get_handle());
    EXPECT_EQ(find_neighbour_sector({right->get_handle()}, {10.5f, 5, 1}, 1).value, left->get_handle());
    EXPECT_EQ(find_neighbour_sector({left->get_handle()}, {5, 5, 1}, 1).value, 0u);
    EXPECT_EQ(find_neighbour_sector({door->get_handle()}, {9.5f, 5, 1}, 1).value, 0u);
    enabled.set_u32(0x3000000, 5);
    ASSERT_TRUE(door->set_property(portal_property::enabled, enabled));
    core::Property read;
    ASSERT_TRUE(door->get_property(91, read));
    EXPECT_EQ(read.get_u32(), 1u);
    ASSERT_TRUE(door->get_property(512, read));
    EXPECT_EQ(read.get_float(), 3.402823466e38f);
}

TEST_F(SectorsAndPortals, SectorPropertiesReachTheRenderRecord) {
    Sector* const left = create_sector(test::two_rooms_area, 0);
    core::Placement* const placement = core::placement_server.create_placement();
    core::Property value;
    value.set_u32(0x1000000, placement->get_handle());
    ASSERT_TRUE(left->set_property(sector_property::placement, value));
    EXPECT_EQ(placement->get_attached_object(), left->get_handle());
    value.set_u32(0x3000000, 0x00F0);
    ASSERT_TRUE(left->set_property(sector_property::light_mask, value));
    value.set_u32(0x3000000, 7);
    ASSERT_TRUE(left->set_property(sector_property::lightmap_prefetch, value));
    run_frame_updates();
    const SectorRender& render = sector_server.get_render_record(*left);
    EXPECT_EQ(render.light_mask, 0x00F0u);
    EXPECT_EQ(render.has_placement, 1);
    EXPECT_EQ(render.area, rooms);
    core::Property read;
    ASSERT_TRUE(left->get_property(515, read));
    EXPECT_EQ(read.get_u32(), 1u);
    EXPECT_EQ(read.id, 0x4000000u);

    // A move of the placement reaches the record at the next update.
    placement->set_world_position({1, 2, 3});
    EXPECT_TRUE(left->is_dirty());
    run_frame_updates();
    EXPECT_EQ(render.world_position.z, 3);
    // A destroyed placement leaves a stale handle and no placement.
    core::destroy_object(placement);
    left->mark_dirty();
    run_frame_updates();
    EXPECT_EQ(render.has_placement, 0);
    // Not a mesh: none.
    value.set_u32(0x1000000, rooms->get_handle());
    ASSERT_TRUE(left->set_property(sector_property::mesh, value));
    EXPECT_EQ(left->get_mesh(), 0u);
}

TEST_F(SectorsAndPortals, SectorsOutsideTheAreaTakeNoSlot) {
    Sector* const past_count = create_sector(test::two_rooms_area, 2);
    Sector* const no_area = create_sector(88, 0);
    EXPECT_EQ(past_count->get_area(), nullptr);
    EXPECT_EQ(no_area->get_area(), nullptr);
    Portal* const past_portals = create_portal(test::two_rooms_area, 5);
    EXPECT_EQ(past_portals->get_area(), nullptr);
    EXPECT_FALSE(past_portals->touches_sphere({10, 5, 1}, 100));
    run_frame_updates();
    EXPECT_EQ(rooms->get_sector_slot(0), 0u);
    // A second sector of the same record does not take the slot over.
    Sector* const left = create_sector(test::two_rooms_area, 0);
    Sector* const twin = create_sector(test::two_rooms_area, 0);
    EXPECT_EQ(rooms->get_sector_slot(0), left->get_handle());
    EXPECT_EQ(twin->get_area(), nullptr);
    core::destroy_object(twin);
    EXPECT_EQ(rooms->get_sector_slot(0), left->get_handle());
}

TEST_F(SectorsAndPortals, ASavedWorldBringsSectorsAndPortalRingsBack) {
    Sector* const left = create_sector(test::two_rooms_area, 0);
    Sector* const right = create_sector(test::two_rooms_area, 1);
    Portal* const door = create_portal(test::two_rooms_area, 0);
    Portal* const second = create_portal(test::two_rooms_area, 1);
    core::Property value;
    value.set_u32(0x3000000, 0x1234);
    ASSERT_TRUE(right->set_property(sector_property::light_mask, value));
    value.set_float(0x5000000, 25);
    ASSERT_TRUE(second->set_property(portal_property::maximum_distance, value));
    const core::ObjectHandle handles[4] = {left->get_handle(), right->get_handle(), door->get_handle(),
                                           second->get_handle()};
    ASSERT_TRUE(test::save_and_load_world(2));
    Sector* const loaded_right = sector_server.get_typed_object(handles[1]);
    Portal* const loaded_door = portal_server.get_typed_object(handles[2]);
    Portal* const loaded_second = portal_server.get_typed_object(handles[3]);
    ASSERT_NE(loaded_right, nullptr);
    ASSERT_NE(loaded_door, nullptr);
    ASSERT_NE(loaded_second, nullptr);
    EXPECT_EQ(loaded_right->get_light_mask(), 0x1234u);
    EXPECT_EQ(loaded_second->get_maximum_distance(), 25);
    EXPECT_EQ(loaded_door->get_sector(0), handles[1]);
    EXPECT_EQ(loaded_door->get_sector(1), handles[0]);
    EXPECT_EQ(loadable_area_server.find_area(test::two_rooms_area)->get_sector_slot(1), handles[1]);
    run_frame_updates();
    const std::vector<const PortalRender*> ring = walk_render_ring(sector_server.get_render_record(*loaded_right), 0);
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring[0], &portal_server.get_render_record(*loaded_door));
    EXPECT_EQ(find_neighbour_sector({handles[0]}, {9.5f, 8, 1}, 1).value, handles[1]);
}

}  // namespace
}  // namespace zolt::servers
