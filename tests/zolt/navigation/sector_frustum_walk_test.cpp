// The frustum walk of the light and shadow passes over the sample rooms
// (see make_sample_rooms): outwards through the enabled doors whose corners
// the volume holds, never through a closed one, and without a start every
// room whose box the volume meets; and sector sets filled from location
// numbers, which skip what names nothing loaded.
#include "zolt/navigation/sector_frustum_walk.h"

#include <gtest/gtest.h>

#include <string>

#include "zolt/navigation/room_levels.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {
namespace {

using test::LevelCell;

std::string describe_set(const test::LevelWorld& world, const renderer::SectorSet& set) {
    std::string text;
    for (const auto& [cell, sector] : world.get_rooms()) {
        if (set.contains(sector_server.get_render_record_index(&sector_server.get_render_record(*sector)))) {
            text += "(" + std::to_string(cell.column) + "," + std::to_string(cell.row) + ")";
        }
    }
    return text;
}

geometry::Frustum make_volume(const geometry::Vector3& eye, float yaw, float far = 200) {
    renderer::VisibilityContext context;
    test::set_square_view(context, 64, nullptr, eye, yaw, far);
    return context.frustum;
}

TEST(SectorFrustumWalk, DoorsInTheVolumeLeadOnAndClosedOnesDoNot) {
    const test::LevelWorld world(test::make_sample_rooms(true));
    struct Row {
        const char* name;
        LevelCell start;
        geometry::Vector3 eye;
        float yaw;
        float far;
        const char* rooms;
    };
    const Row rows[] = {
        // Pillars do not count here: only the doors' corners.
        {"down the row", {0, 0}, {2, 5, 1.5f}, 0, 200, "(0,0)(1,0)(2,0)(3,0)"},
        {"the side room only", {0, 0}, {5, 2, 1.5f}, 90, 200, "(0,0)(0,1)"},
        {"a wall without doors", {0, 0}, {8, 5, 1.5f}, 180, 200, "(0,0)"},
        {"not past the far plane", {0, 0}, {2, 5, 1.5f}, 0, 12, "(0,0)(1,0)"},
    };
    for (const Row& row : rows) {
        renderer::SectorSet set;
        collect_sectors_in_frustum(world.get_render(row.start), set, make_volume(row.eye, row.yaw, row.far));
        EXPECT_EQ(describe_set(world, set), row.rooms) << row.name;
    }
    core::Property off;
    off.set_u32(portal_property::enabled, 0);
    ASSERT_TRUE(world.get_portal(1)->set_property(portal_property::enabled, off));
    portal_server.update();
    renderer::SectorSet set;
    collect_sectors_in_frustum(world.get_render({0, 0}), set, make_volume({2, 5, 1.5f}, 0));
    EXPECT_EQ(describe_set(world, set), "(0,0)(1,0)");
}

TEST(SectorFrustumWalk, WithoutAStartEveryRoomTheVolumeMeets) {
    const test::LevelWorld world(test::make_sample_rooms(false));
    renderer::SectorSet set;
    // From the side room looking away from the row: only its own box.
    collect_sectors_in_frustum(nullptr, set, make_volume({1, 15, 1.5f}, 90, 30));
    EXPECT_EQ(describe_set(world, set), "(0,1)");
    // Turned toward the row: every room, walls or not.
    renderer::SectorSet whole;
    collect_sectors_in_frustum(nullptr, whole, make_volume({1, 15, 1.5f}, -30, 100));
    EXPECT_EQ(describe_set(world, whole), "(0,0)(0,1)(1,0)(2,0)(3,0)");
}

TEST(SectorSets, LocationNumbersAddTheSectorsTheyName) {
    const test::LevelWorld world(test::make_sample_rooms(false));
    // Record 1 is the room (1,0); the others name nothing loaded.
    const uint32_t locations[] = {make_sector_location(test::first_level_area, 1), no_sector_location,
                                  make_sector_location(test::first_level_area, 40), make_sector_location(99, 0)};
    renderer::SectorSet set;
    renderer::VisibilityContext::add_neighbour_sectors(set, locations, 4);
    EXPECT_EQ(describe_set(world, set), "(1,0)");
    const uint32_t index = sector_server.get_render_record_index(world.get_render({1, 0}));
    EXPECT_EQ(set.lowest, index);
    EXPECT_EQ(set.highest, index);
}

}  // namespace
}  // namespace zolt::servers
