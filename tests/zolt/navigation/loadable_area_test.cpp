#include "zolt/navigation/loadable_area.h"

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/world_round_trip.h"
#include "zolt/navigation/area_builtins.h"
#include "zolt/navigation/area_world.h"

namespace zolt::servers {
namespace {

using test::AreaWorld;

class LoadableAreas : public AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        rooms = loadable_area_server.create_area(test::two_rooms_area);
        overlay = loadable_area_server.create_area(test::overlay_area);
        second_overlay = loadable_area_server.create_area(test::second_overlay_area);
        for (uint32_t record = 0; record < 2; ++record) {
            rooms_sectors[record] = create_sector(test::two_rooms_area, record);
            second_sectors[record] = create_sector(test::second_overlay_area, record);
        }
        overlay_sector = create_sector(test::overlay_area, 0);
    }

    core::ObjectHandle find(const geometry::Vector3& point, Sector* hint = nullptr) {
        return find_sector_at_point(point, {hint != nullptr ? hint->get_handle() : 0}).value;
    }

    LoadableArea* rooms = nullptr;
    LoadableArea* overlay = nullptr;
    LoadableArea* second_overlay = nullptr;
    Sector* rooms_sectors[2] = {};
    Sector* second_sectors[2] = {};
    Sector* overlay_sector = nullptr;
};

TEST_F(LoadableAreas, PointsFindTheirSector) {
    struct Row {
        const char* name;
        geometry::Vector3 point;
        Sector* hint;
        Sector* expected;
    } const rows[] = {
        {"left room", {2, 2, 1}, nullptr, rooms_sectors[0]},
        {"on the outer face", {0, 0, 0}, nullptr, rooms_sectors[0]},
        {"on the shared face: the first root", {10, 5, 1}, nullptr, rooms_sectors[0]},
        {"right room under the overlays", {12, 5, 1}, nullptr, rooms_sectors[1]},
        {"right room though an overlay is the hint", {12, 5, 1}, second_sectors[0], rooms_sectors[1]},
        {"smallest overlay above the room", {12, 5, 5}, nullptr, second_sectors[0]},
        {"equal overlays: ring order", {6, 5, 5}, nullptr, overlay_sector},
        {"equal overlays: the hint's area first", {6, 5, 5}, second_sectors[1], second_sectors[1]},
        {"nowhere", {50, 50, 50}, rooms_sectors[0], nullptr},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(find(row.point, row.hint), row.expected != nullptr ? row.expected->get_handle() : 0) << row.name;
    }
}

TEST_F(LoadableAreas, MovingAnAreaMovesItsBoxesAndPartition) {
    core::Property position;
    const float offset[3] = {100, 0, 0};
    position.set_floats(0x30000000, offset, 3);
    ASSERT_TRUE(rooms->set_property(area_property::position, position));
    EXPECT_EQ(find({102, 2, 1}), rooms_sectors[0]->get_handle());
    EXPECT_EQ(find({2, 2, 1}), 0u);
    core::Property read;
    ASSERT_TRUE(rooms->get_property(11, read));
    EXPECT_EQ(read.get_float(0), 100);
    EXPECT_FALSE(rooms->set_property(11, position));
}

// The right room's slot stays empty: a walk that ends there finds nothing
// and the search does not go on to the third box's root.
TEST_F(LoadableAreas, AnEmptySlotEndsThatRootAndSplitsSendPlanePointsToTheFront) {
    LoadableArea* const split = loadable_area_server.create_area(test::split_area);
    Sector* const left = create_sector(test::split_area, 0);
    Sector* const both = create_sector(test::split_area, 2);
    struct Row {
        const char* name;
        geometry::Vector3 point;
        int32_t record;
    } const rows[] = {
        {"behind the plane", {5, 5, 1}, 0},
        {"in front: an empty slot", {12, 5, 1}, no_record},
        {"on the plane: in front", {10, 5, 1}, no_record},
        {"above every box: that root tests none", {5, 5, 9}, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(split->locate_sector(row.point), row.record) << row.name;
    }
    EXPECT_EQ(split->get_sector_slot(0), left->get_handle());
    EXPECT_EQ(split->get_sector_slot(2), both->get_handle());
}

TEST_F(LoadableAreas, BuiltinsAnswerSectorsAndNeutralResults) {
    EXPECT_EQ(find_loadable_area(test::overlay_area).value, overlay->get_handle());
    EXPECT_EQ(find_loadable_area(77).value, 0u);
    const LoadableAreaHandle rooms_handle{rooms->get_handle()};
    const LoadableAreaHandle not_an_area{rooms_sectors[0]->get_handle()};
    EXPECT_EQ(get_sector_at_location(make_sector_location(test::two_rooms_area, 1), rooms_handle).value,
              rooms_sectors[1]->get_handle());
    EXPECT_EQ(get_sector_at_location(make_sector_location(test::two_rooms_area, 1), not_an_area).value,
              rooms_sectors[1]->get_handle());
    EXPECT_EQ(get_sector_at_location(no_sector_location, rooms_handle).value, 0u);
    EXPECT_EQ(get_sector_at_location(make_sector_location(test::overlay_area, 1), rooms_handle).value, 0u);
    EXPECT_EQ(get_sector_at_location(make_sector_location(99, 0), rooms_handle).value, 0u);
    EXPECT_EQ(get_area_sector(rooms_handle, 1).value, rooms_sectors[1]->get_handle());
    EXPECT_EQ(get_area_sector(rooms_handle, 2).value, 0u);
    EXPECT_EQ(get_area_sector(not_an_area, 0).value, 0u);
    EXPECT_EQ(get_area_sector_count(rooms_handle), 2u);
    EXPECT_EQ(get_area_sector_count(not_an_area), 0u);
    // A hint that is not a sector only gives no hint.
    EXPECT_EQ(find_sector_at_point({2, 2, 1}, {rooms->get_handle()}).value, rooms_sectors[0]->get_handle());
    core::Property number;
    ASSERT_TRUE(overlay->get_property(516, number));
    EXPECT_EQ(number.get_u32(), test::overlay_area);
}

TEST_F(LoadableAreas, DestroyingASectorEmptiesItsSlotAndAreasKeepExtraProperties) {
    const core::ObjectHandle right = rooms_sectors[1]->get_handle();
    core::destroy_object(rooms_sectors[1]);
    EXPECT_EQ(rooms->get_sector_slot(1), 0u);
    // The overlays of equal boxes remain, the first area's first.
    EXPECT_EQ(find({12, 5, 1}), overlay_sector->get_handle());
    EXPECT_NE(find({12, 5, 1}), right);
    core::Property value;
    value.set_u32(0x3000000, 42);
    ASSERT_TRUE(rooms->set_property(0x03000999, value));
    core::Property read;
    ASSERT_TRUE(rooms->get_property(0x999, read));
    EXPECT_EQ(read.get_u32(), 42u);
}

TEST_F(LoadableAreas, ASavedWorldBringsAreasAndSlotsBack) {
    core::Property position;
    const float offset[3] = {0, 0, 0.5f};
    position.set_floats(0x30000000, offset, 3);
    ASSERT_TRUE(rooms->set_property(area_property::position, position));
    const core::ObjectHandle rooms_handle = rooms->get_handle();
    const core::ObjectHandle left = rooms_sectors[0]->get_handle();
    ASSERT_TRUE(test::save_and_load_world(1));
    LoadableArea* const loaded = loadable_area_server.find_area(test::two_rooms_area);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_handle(), rooms_handle);
    EXPECT_EQ(loaded->get_position().z, 0.5f);
    EXPECT_EQ(loaded->get_sector_slot(0), left);
    EXPECT_EQ(find({2, 2, 1}), left);
    EXPECT_EQ(loadable_area_server.get_live_count(), 3u);
}

}  // namespace
}  // namespace zolt::servers
