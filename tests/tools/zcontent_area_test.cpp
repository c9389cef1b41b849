// The content builder's area step: a description of rooms becomes a pack
// that the engine loads, whose points lie in the rooms the description
// drew, whose portals link the sectors it named, and whose broken
// descriptions are refused with a message naming the area and the key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "zcontent/lib/area_description.h"
#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/content_pack.h"
#include "zolt/navigation/area_world.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

// Area 2: a hall and a wedge-shaped alcove east of it, the alcove cut by the
// plane x + y <= 12 (its corner beyond is in no room); a door between them
// given with its side 0 in the hall, against its corner order. Area 6: two
// boxes split by an explicit partition at x = 5 under one root.
constexpr const char* description_text = R"({"areas": [
  {"number": 2,
   "sectors": [
     {"name": "hall", "box": [[0, 0, 0], [6, 4, 3]], "global_light": true,
      "view_companions": ["alcove"], "occluders": [[[2, 1, 0], [3, 2, 3]]]},
     {"name": "alcove", "box": [[6, 0, 0], [10, 4, 3]], "planes": [[-1, -1, 0, -12]]}
   ],
   "portals": [
     {"sectors": ["hall", "alcove"], "corners": [[6, 1, 0], [6, 1, 2], [6, 3, 2], [6, 3, 0]]}
   ]},
  {"number": 6,
   "sectors": [
     {"name": "west", "box": [[0, 0, 0], [5, 5, 5]]},
     {"name": "east", "box": [[5, 0, 0], [10, 5, 5]]}
   ],
   "partition": {"planes": [[1, 0, 0, 5]],
                 "roots": [{"tree": {"plane": 0, "front": {"sector": "east"}, "back": {"sector": "west"}}}]}}
]})";

constexpr const char* manifest_text = R"({"pack": {"file": "level.pack", "key": 0}, "areas": "areas.json"})";

// The pack zcontent builds from the manifest and the description above.
test::Bytes build_level_pack() {
    const test::TemporaryFolder folder;
    folder.write_file("areas.json", description_text);
    const std::string manifest_path = folder.write_file("level.json", manifest_text);
    ContentManifest manifest;
    PackDescription description;
    test::Bytes pack;
    std::string error;
    EXPECT_TRUE(read_content_manifest(manifest_path, &manifest, &error)) << error;
    EXPECT_TRUE(build_content_pack(manifest, &description, &error)) << error;
    EXPECT_TRUE(build_pack(description, &pack, &error)) << error;
    return pack;
}

class ZcontentAreas : public ::testing::Test {
protected:
    void SetUp() override {
        packs_.add_pack_bytes("level.pack", build_level_pack());
        packs_.start();
        hall_area_ = servers::loadable_area_server.create_area(2);
        split_area_ = servers::loadable_area_server.create_area(6);
        for (const auto& [area, record] : {std::pair{2u, 0u}, {2u, 1u}, {6u, 0u}, {6u, 1u}}) {
            servers::sector_server.create_sector(servers::make_sector_location(area, record));
        }
    }

    test::AreaPacks packs_;
    servers::LoadableArea* hall_area_ = nullptr;
    servers::LoadableArea* split_area_ = nullptr;
};

TEST_F(ZcontentAreas, PointsLieInTheRoomsTheDescriptionDrew) {
    ASSERT_NE(hall_area_, nullptr);
    ASSERT_NE(split_area_, nullptr);
    EXPECT_EQ(hall_area_->get_sector_count(), 2u);
    EXPECT_EQ(hall_area_->get_portal_count(), 1u);
    struct Case {
        const char* what;
        servers::LoadableArea* area;
        geometry::Vector3 point;
        int32_t record;
    };
    const Case cases[] = {
        {"in the hall", hall_area_, {1, 1, 1}, 0},
        {"in the alcove, inside its cut", hall_area_, {7, 2, 1}, 1},
        {"in the alcove's box, beyond its cut", hall_area_, {9.5f, 3.5f, 1}, servers::no_record},
        {"outside both", hall_area_, {11, 2, 1}, servers::no_record},
        {"west of the split", split_area_, {4.9f, 2, 2}, 0},
        {"east of the split", split_area_, {5.1f, 2, 2}, 1},
        {"on the split plane: its front", split_area_, {5, 2, 2}, 1},
    };
    for (const Case& test_case : cases) {
        EXPECT_EQ(test_case.area->locate_sector(test_case.point), test_case.record) << test_case.what;
    }
}

TEST_F(ZcontentAreas, ListsAndOccludersKeepWhatTheDescriptionSaid) {
    const servers::SectorRecord hall = hall_area_->get_sector_record(0);
    EXPECT_EQ(hall.flags, servers::sector_flag::global_light);
    EXPECT_EQ(hall.lists[static_cast<uint32_t>(servers::SectorList::occluders)].count, 1u);
    const servers::SectorListReference companions =
        hall.lists[static_cast<uint32_t>(servers::SectorList::view_companions)];
    ASSERT_EQ(companions.count, 1u);
    EXPECT_EQ(servers::read_area_word(hall_area_->get_layout(), companions.offset),
              servers::make_sector_location(2, 1));
}

TEST_F(ZcontentAreas, ThePortalLinksTheSectorsItNamesWithItsSideZeroInTheFirst) {
    servers::Portal* const door = servers::portal_server.create_portal(servers::make_sector_location(2, 0));
    servers::portal_server.relink_portals();
    EXPECT_EQ(door->get_sector(0), hall_area_->get_sector_slot(0));
    EXPECT_EQ(door->get_sector(1), hall_area_->get_sector_slot(1));
    // The description gave the corners with side 0 in the alcove: they were
    // turned, so the plane's positive side is the hall.
    const servers::PortalRecord record = hall_area_->get_portal_record(0);
    EXPECT_LT(record.plane.x, 0.0f);
}

// Each broken description is refused with a message that names the
// description, the place and the key.
TEST(ZcontentAreaDescription, BrokenDescriptionsAreRefusedWithTheirPlace) {
    const std::string room = R"({"name": "a", "box": [[0, 0, 0], [4, 4, 3]]})";
    const std::string other = R"({"name": "b", "box": [[4, 0, 0], [8, 4, 3]]})";
    const std::string door = R"("corners": [[4, 1, 0], [4, 1, 2], [4, 3, 2], [4, 3, 0]])";
    auto area = [](const std::string& body) { return R"({"areas": [{"number": 1, )" + body + "}]}"; };
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"{", "areas.json: "},
        {R"({"areas": []})", "description: \"areas\": expected an array"},
        {R"({"areas": [{"number": 1, "sectors": [)" + room + "]}], \"extra\": 1}",
         "description: \"extra\": unknown key"},
        {area(R"("sectors": [)" + room + "], \"colour\": 3"), "areas[0]: \"colour\": unknown key"},
        {area(R"("sectors": [{"name": "a"}])"), "area 1: sectors[0] (\"a\"): \"box\": missing"},
        {area(R"("sectors": [{"name": "a", "box": [[0, 0, 5], [4, 4, 3]]}])"),
         "area 1: sectors[0] (\"a\"): \"box\": the minimum lies above the maximum"},
        {area(R"("sectors": [{"name": "a", "box": [[0, 0, 0], [4, 4, "3"]]}])"), "\"box\": expected 3 finite numbers"},
        {area(R"("sectors": [)" + room + "," + room + "]"),
         "area 1: sectors[1] (\"a\"): \"name\": given to two sectors"},
        {area(R"("sectors": [{"name": "a", "box": [[0, 0, 0], [4, 4, 3]], "view_companions": ["z"]}])"),
         "\"view_companions\"[0]: no sector is named \"z\""},
        {area(R"("sectors": [{"name": "a", "box": [[0, 0, 0], [4, 4, 3]], "planes": [[0, 0, 0, 1]]}])"),
         "\"planes\"[0]: the plane's normal is zero"},
        {area(R"("sectors": [)" + room + "," + other + R"(], "portals": [{"sectors": ["a", "c"], )" + door + "}]"),
         "area 1: portals[0]: \"sectors\": no sector is named \"c\""},
        {area(R"("sectors": [)" + room + "," + other +
              R"(], "portals": [{"sectors": ["a", "b"], "corners": [[5, 1, 0], [5, 1, 2], [5, 3, 2], [5, 3, 0]]}])"),
         "area 1: portals[0]: the opening does not lie between \"a\" and \"b\""},
        {area(R"("sectors": [)" + room + "," + other +
              R"(], "portals": [{"sectors": ["a", "b"], "corners": [[4, 1, 0], [4, 1, 2], [4, 3, 2], [4.5, 3, 0]]}])"),
         "area 1: portals[0]: \"corners\": the four corners do not lie in one plane"},
        {area(R"("sectors": [)" + room + "," + other +
              R"(], "portals": [{"sectors": ["a", "b"], "corners": [[4, 1, 0], [4, 3, 2], [4, 1, 2], [4, 3, 0]]}])"),
         "area 1: portals[0]: \"corners\": the opening is not convex"},
        {area(R"("sectors": [)" + room + "," + other +
              R"(], "portals": [{"sectors": ["a", "b"], "corners": [[4, 1, 0], [4, 1, 0], [4, 1, 0], [4, 1, 0]]}])"),
         "\"corners\": the opening has no area"},
        {area(R"("sectors": [)" + room +
              R"(], "partition": {"roots": [{"tree": {"plane": 0, "front": "outside", "back": "outside"}}]})"),
         "area 1: \"partition\": \"roots\"[0]: \"tree\": \"plane\": expected a plane index below 0"},
        {area(R"("sectors": [)" + room + R"(], "partition": {"roots": [{"tree": {"sector": "q"}}]})"),
         "\"roots\"[0]: \"tree\": \"sector\": no sector is named \"q\""},
        {area(R"("sectors": [{"name": "a", "box": [[0, 0, 0], [4, 4, 3]], "planes": [[1, 0, 0, 1]]}],
               "partition": {"roots": [{"tree": {"sector": "a"}}]})"),
         "area 1: sector \"a\": \"planes\": an area with its own \"partition\""},
        {R"({"areas": [{"number": 1, "sectors": [)" + room + R"(]}, {"number": 1, "sectors": [)" + room + "]}]}",
         "area 1: \"number\": given twice"},
        {R"({"areas": [{"number": 32768, "sectors": [)" + room + "]}]}",
         "areas[0]: \"number\": expected an area number"},
    };
    for (const Case& test_case : cases) {
        std::vector<AreaResource> resources;
        std::string error;
        EXPECT_FALSE(compile_area_description(test_case.text, "/level/areas.json", &resources, &error))
            << test_case.text;
        EXPECT_EQ(error.rfind("/level/areas.json: ", 0), 0u) << error;
        EXPECT_NE(error.find(test_case.message), std::string::npos) << error;
        EXPECT_TRUE(resources.empty());
    }
}

// More sectors than an area has slots.
TEST(ZcontentAreaDescription, TooManySectorsAreRefused) {
    std::string sectors;
    for (int index = 0; index < 51; ++index) {
        sectors += (index == 0 ? "" : ",") + std::string(R"({"name": "s)") + std::to_string(index) +
                   R"(", "box": [[0, 0, 0], [1, 1, 1]]})";
    }
    std::vector<AreaResource> resources;
    std::string error;
    EXPECT_FALSE(compile_area_description(R"({"areas": [{"number": 4, "sectors": [)" + sectors + "]}]}", "areas.json",
                                          &resources, &error));
    EXPECT_NE(error.find("area 4"), std::string::npos) << error;
    EXPECT_NE(error.find("50"), std::string::npos) << error;
}

// The sample level as content/level/areas.json gives it: three rooms, two
// doors, a pillar in room B.
TEST(ZcontentAreaDescription, TheSampleLevelBuilds) {
    std::vector<AreaResource> resources;
    std::string error;
    ASSERT_TRUE(
        compile_area_description_file(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/level/areas.json", &resources, &error))
        << error;
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0].id, servers::get_area_layout_id(1));
    EXPECT_EQ(servers::read_area_word(resources[0].data.data(), servers::area_layout::sector_count), 3u);
    EXPECT_EQ(servers::read_area_word(resources[0].data.data(), servers::area_layout::portal_count), 2u);
}

}  // namespace
}  // namespace zolt::tools
