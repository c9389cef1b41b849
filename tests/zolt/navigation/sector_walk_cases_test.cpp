// The portal walk over small levels, one row per camera: a row of four
// rooms along +x with a side room north of the first, with and without a
// pillar in the second room that hides the door beyond it (see
// make_sample_rooms). Each row names the rooms the walk must reach and no
// others.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "zolt/navigation/room_levels.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {
namespace {

using renderer::VisibilityContext;
using test::LevelCell;

test::LevelDescription make_rooms(bool pillar) {
    return test::make_sample_rooms(pillar);
}

std::set<LevelCell> get_walked_rooms(const test::LevelWorld& world, const VisibilityContext& context) {
    std::set<LevelCell> walked;
    for (uint32_t index = 0; index < context.sector_view_count; ++index) {
        for (const auto& [cell, sector] : world.get_rooms()) {
            if (context.sector_views[index].sector == &sector_server.get_render_record(*sector)) {
                walked.insert(cell);
            }
        }
    }
    return walked;
}

std::string describe(const std::set<LevelCell>& cells) {
    std::string text;
    for (const LevelCell& cell : cells) {
        text += "(" + std::to_string(cell.column) + "," + std::to_string(cell.row) + ")";
    }
    return text;
}

void walk(VisibilityContext& context, const geometry::Vector3& eye, float yaw, float far = 200) {
    test::set_square_view(context, 64, test::LevelWorld::find_render_at(eye), eye, yaw, far);
    traverse_visible_sectors(context);
}

TEST(SectorWalkCases, EachCameraReachesTheRoomsItSeesThrough) {
    struct Row {
        const char* name;
        bool pillar;
        geometry::Vector3 eye;
        float yaw;
        std::set<LevelCell> rooms;
    };
    const Row rows[] = {
        {"facing a wall without doors: no portal", false, {8, 5, 1.5f}, 180, {{0, 0}}},
        {"the side room through one door", false, {5, 2, 1.5f}, 90, {{0, 0}, {0, 1}}},
        {"down the row through one, two and three doors", false, {2, 5, 1.5f}, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {"the pillar hides the door beyond it", true, {2, 5, 1.5f}, 0, {{0, 0}, {1, 0}}},
        {"beside the pillar the door is open again", true, {15, 8.5f, 1.5f}, -30, {{1, 0}, {2, 0}}},
        {"a door outside the opening looked through is not entered", false, {15, 5, 1.5f}, 180, {{1, 0}, {0, 0}}},
        {"an eye in the opening takes the room beyond whole", false, {9.98f, 5, 1.5f}, 90,
         {{0, 0}, {1, 0}, {0, 1}}},
        {"rooms past the far plane are not reached", false, {2, 5, 1.5f}, 0, {{0, 0}, {1, 0}}},
    };
    for (const bool pillar : {false, true}) {
        const test::LevelWorld world(make_rooms(pillar));
        for (const Row& row : rows) {
            if (row.pillar != pillar) {
                continue;
            }
            VisibilityContext context;
            const bool short_far = std::string(row.name).find("far plane") != std::string::npos;
            walk(context, row.eye, row.yaw, short_far ? 15 : 200);
            EXPECT_EQ(describe(get_walked_rooms(world, context)), describe(row.rooms)) << row.name;
        }
    }
}

TEST(SectorWalkCases, ARoomSeenFromItsDoorwayIsSeenThroughTheWholeView) {
    const test::LevelWorld world(make_rooms(false));
    VisibilityContext context;
    walk(context, {9.98f, 5, 1.5f}, 90);
    const renderer::SectorView* const beyond = context.find_sector_view(world.get_render({1, 0}));
    ASSERT_NE(beyond, nullptr);
    EXPECT_EQ(beyond->rectangle.x0, 0);
    EXPECT_EQ(beyond->rectangle.y0, 0);
    EXPECT_EQ(beyond->rectangle.x1, 64);
    EXPECT_EQ(beyond->rectangle.y1, 64);
}

TEST(SectorWalkCases, APillarInFrontOfPartOfADoorNarrowsTheRoomBeyond) {
    geometry::Rectangle open, narrowed;
    for (const bool pillar : {false, true}) {
        test::LevelDescription level = make_rooms(false);
        if (pillar) {
            // Covers the door's half at y 5..6: the left half looking along +x.
            level.add_occluder({1, 0}, {{14, 5, 0}, {16, 8, 3.5f}});
        }
        const test::LevelWorld world(level);
        VisibilityContext context;
        walk(context, {2, 5, 1.5f}, 0);
        const renderer::SectorView* const beyond = context.find_sector_view(world.get_render({2, 0}));
        ASSERT_NE(beyond, nullptr) << pillar;
        (pillar ? narrowed : open) = beyond->rectangle;
    }
    EXPECT_GT(narrowed.x0, open.x0 + 1);
    EXPECT_NEAR(narrowed.x1, open.x1, 0.5f);
    EXPECT_NEAR(narrowed.y0, open.y0, 0.5f);
    EXPECT_NEAR(narrowed.y1, open.y1, 0.5f);
}

TEST(SectorWalkCases, ADoorFartherThanItsMaximumDistanceIsNotEntered) {
    const test::LevelWorld world(make_rooms(false));
    core::Property value;
    value.set_float(0x5000000, 5);
    ASSERT_TRUE(world.get_portal(0)->set_property(portal_property::maximum_distance, value));
    portal_server.update();
    VisibilityContext context;
    walk(context, {2, 5, 1.5f}, 0);
    EXPECT_EQ(describe(get_walked_rooms(world, context)), describe({{0, 0}}));
    // Nearer than the distance the door opens again.
    VisibilityContext nearer;
    walk(nearer, {7, 5, 1.5f}, 0);
    EXPECT_EQ(describe(get_walked_rooms(world, nearer)), describe({{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
}

TEST(SectorWalkCases, TheWalkStopsAtFortyRoomsAndGoesNoFurther) {
    // A corridor of 45 rooms with doors of nearly the whole wall, seen down
    // its length: every room is in view, but only the first 40 get a view.
    const test::LevelWorld world(test::make_room_row(45, true));
    VisibilityContext context;
    test::set_square_view(context, 1024, world.get_render({0, 0}), {2, 5, 2}, 0, 1000);
    traverse_visible_sectors(context);
    ASSERT_EQ(context.sector_view_count, renderer::sector_view_capacity);
    for (int column = 0; column < 45; ++column) {
        EXPECT_EQ(context.find_sector_view(world.get_render({column, 0})) != nullptr, column < 40) << column;
    }
}

}  // namespace
}  // namespace zolt::servers
