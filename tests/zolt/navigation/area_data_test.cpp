#include "zolt/navigation/area_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "support/child_process.h"
#include "zolt/navigation/area_builder.h"
#include "zolt/navigation/area_world.h"

namespace zolt::servers {
namespace {

using Bytes = std::vector<uint8_t>;

void put_word(Bytes& bytes, uint32_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

void put_float(Bytes& bytes, uint32_t at, float value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

struct BuiltArea {
    Bytes layout;
    Bytes partition;
};

BuiltArea build_two_rooms() {
    BuiltArea area;
    AreaDescription rooms = test::make_two_rooms();
    rooms.sectors[0].occluders.push_back(make_occluder_box({{2, 2, 0}, {4, 4, 3}}));
    rooms.sectors[0].view_companions = {make_sector_location(3, 1)};
    rooms.planes = {{1, 0, 0, 10}};
    rooms.roots.push_back({0, {{2, 0}, {0, 2}, {0, 1}}});
    std::string error;
    EXPECT_TRUE(build_area(3, rooms, &area.layout, &area.partition, &error)) << error;
    return area;
}

constexpr uint32_t sector_table = area_layout::header_size;
constexpr uint32_t portal_table = sector_table + 2 * area_layout::sector_record_size;

// Each row breaks one thing; the check must refuse it naming the area.
TEST(AreaData, BrokenLayoutsAndPartitionsAreRefusedNamingTheArea) {
    const BuiltArea good = build_two_rooms();
    const uint32_t partition_roots = read_area_word(good.partition.data(), area_partition::root_table_offset);
    const uint32_t split_node = read_partition_root(good.partition.data(), 2).first_node;
    struct Row {
        const char* name;
        std::function<void(BuiltArea&)> damage;
        const char* reason;
    } const rows[] = {
        {"short header", [](BuiltArea& a) { a.layout.resize(12); }, "hold no header"},
        {"sector count past the slots", [](BuiltArea& a) { put_word(a.layout, 4, 51); }, "51 sectors"},
        {"sector table past the end", [](BuiltArea& a) { put_word(a.layout, 0, 0xFFFFFFF0u); }, "do not fit"},
        {"portal count past the end", [](BuiltArea& a) { put_word(a.layout, 12, 1000); }, "1000 portals"},
        {"inverted box", [](BuiltArea& a) { put_float(a.layout, sector_table, 50); }, "sector 0 has no valid box"},
        {"box not a number", [](BuiltArea& a) { put_float(a.layout, sector_table + 4, NAN); }, "no valid box"},
        {"occluders past the end", [](BuiltArea& a) { put_word(a.layout, sector_table + 32, 3000); }, "does not fit"},
        {"companions at a huge offset", [](BuiltArea& a) { put_word(a.layout, sector_table + 36, 0xFFFFFFFCu); },
         "does not fit"},
        {"flat portal",
         [](BuiltArea& a) {
             // Corner 2 onto corner 1, corner 3 onto corner 0: a line.
             std::memcpy(a.layout.data() + portal_table + 36, a.layout.data() + portal_table + 24, 12);
             std::memcpy(a.layout.data() + portal_table + 48, a.layout.data() + portal_table + 12, 12);
         },
         "portal 0 has a degenerate polygon"},
        {"portal without a normal", [](BuiltArea& a) { std::memset(a.layout.data() + portal_table + 60, 0, 12); },
         "degenerate"},
        {"root past the sectors", [&](BuiltArea& a) { put_word(a.partition, partition_roots, 3); },
         "root 0 names sector 3"},
        {"leaf past the sectors", [&](BuiltArea& a) { put_word(a.partition, split_node + 12, 7); }, "names sector 7"},
        {"split past the planes", [&](BuiltArea& a) { put_word(a.partition, split_node + 4, 1); }, "names plane 1"},
        {"skip past the end", [&](BuiltArea& a) { put_word(a.partition, split_node, 0x40000000u); }, "past the end"},
        {"roots past the end", [](BuiltArea& a) { put_word(a.partition, 12, 0x20000000u); }, "do not fit"},
        {"plane count past the end", [](BuiltArea& a) { put_word(a.partition, 4, 999); }, "999 planes"},
    };
    for (const Row& row : rows) {
        BuiltArea broken = good;
        row.damage(broken);
        std::string error;
        const bool accepted =
            check_area_layout(3, broken.layout.data(), static_cast<uint32_t>(broken.layout.size()), &error) &&
            check_area_partition(3, broken.partition.data(), static_cast<uint32_t>(broken.partition.size()), 2, &error);
        EXPECT_FALSE(accepted) << row.name;
        EXPECT_EQ(error.rfind("area 3: resource 0x0008000", 0), 0u) << row.name << ": " << error;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.name << ": " << error;
    }
    std::string error;
    EXPECT_TRUE(check_area_layout(3, good.layout.data(), static_cast<uint32_t>(good.layout.size()), &error)) << error;
}

TEST(AreaData, RecordsReadBackAsBuilt) {
    const BuiltArea area = build_two_rooms();
    const SectorRecord left = read_sector_record(area.layout.data(), 0);
    EXPECT_EQ(left.box.maximum.x, 10);
    const SectorListReference& occluders = left.lists[static_cast<uint32_t>(SectorList::occluders)];
    ASSERT_EQ(occluders.count, 1u);
    EXPECT_EQ(read_occluder(area.layout.data(), occluders.offset, 0).reference.x, 3);
    const SectorListReference& companions = left.lists[static_cast<uint32_t>(SectorList::view_companions)];
    ASSERT_EQ(companions.count, 1u);
    EXPECT_EQ(read_area_word(area.layout.data(), companions.offset), make_sector_location(3, 1));
    const PortalRecord door = read_portal_record(area.layout.data(), 0);
    // Side 0 faces +x; the centre is inside every edge.
    EXPECT_NEAR(door.plane.x, 1, 1e-6f);
    EXPECT_NEAR(door.plane.x * 11 + door.plane.w, 1, 1e-5f);
    for (const geometry::Vector4& edge : door.edges) {
        EXPECT_LT(edge.x * door.centre.x + edge.y * door.centre.y + edge.z * door.centre.z + edge.w, 0);
    }
}

// An area created over broken data ends the program with the area's id
// before anything reads the data.
TEST(AreaData, CreatingAnAreaOverBrokenDataIsAnErrorNamingIt) {
    const test::ChildResult result = test::run_in_child([] {
        test::AreaPacks packs;
        BuiltArea broken = build_two_rooms();
        put_word(broken.layout, 4, 60);
        packs.add_area_bytes(6, broken.layout, broken.partition);
        packs.start();
        loadable_area_server.create_area(6);
    });
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("area 6: resource 0x0008000c: 60 sectors"), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::servers
