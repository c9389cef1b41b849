#pragma once
// Areas for the world-structure and camera tests: layouts and partitions
// written by the engine's own area builder into a pack of key 0, the
// resource server over it, and the servers of placements, dictionaries,
// cameras, areas, sectors and portals registered in engine order.
//
// Area 3, "two rooms": sector 0 the box (0,0,0)-(10,10,4), sector 1 the box
// (10,0,0)-(20,10,4), portal 0 the door at x = 10 (y 4..6, z 0..3) whose
// side 0 faces +x, and portal 1 a second door at x = 10 (y 7..9).
// Area 4, "overlay": sector 0 a flagged box (5,0,0)-(15,10,6) that overlaps
// both rooms and reaches above them. Area 5: sector 0 a small flagged box
// (11,4,4)-(13,6,6) inside that one, sector 1 a copy of area 4's box.
// Area 7, "split": the two rooms and a third box (0,0,0)-(20,10,4) over
// both; its first root has no sector and splits at x = 10 (the right room
// in front, the left one behind), its second root is the third box's.
#include <gtest/gtest.h>

#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/navigation/area_builder.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/camera/camera.h"

namespace zolt::test {

constexpr uint32_t two_rooms_area = 3;
constexpr uint32_t overlay_area = 4;
constexpr uint32_t second_overlay_area = 5;
constexpr uint32_t split_area = 7;

inline servers::AreaDescription make_two_rooms() {
    servers::AreaDescription rooms;
    servers::AreaSectorDescription left;
    left.box = {{0, 0, 0}, {10, 10, 4}};
    servers::AreaSectorDescription right;
    right.box = {{10, 0, 0}, {20, 10, 4}};
    rooms.sectors = {left, right};
    rooms.portals.push_back({{{10, 4, 0}, {10, 4, 3}, {10, 6, 3}, {10, 6, 0}}});
    rooms.portals.push_back({{{10, 7, 0}, {10, 7, 3}, {10, 9, 3}, {10, 9, 0}}});
    rooms.roots = servers::make_box_roots(2);
    return rooms;
}

inline servers::AreaDescription make_overlay(bool with_small_box) {
    servers::AreaDescription overlay;
    servers::AreaSectorDescription middle;
    middle.box = {{5, 0, 0}, {15, 10, 6}};
    middle.flags = servers::sector_flag::overlay;
    servers::AreaSectorDescription small = middle;
    small.box = {{11, 4, 4}, {13, 6, 6}};
    overlay.sectors = with_small_box ? std::vector<servers::AreaSectorDescription>{small, middle}
                                     : std::vector<servers::AreaSectorDescription>{middle};
    overlay.roots = servers::make_box_roots(static_cast<uint32_t>(overlay.sectors.size()));
    return overlay;
}

inline servers::AreaDescription make_split() {
    servers::AreaDescription split = make_two_rooms();
    servers::AreaSectorDescription both;
    both.box = {{0, 0, 0}, {20, 10, 4}};
    split.sectors.push_back(both);
    split.planes = {{1, 0, 0, 10}};
    split.roots = {{0, {{2, 0}, {0, 2}, {0, 1}}}, {3, {{0, 3}}}};
    return split;
}

class AreaPacks {
public:
    void add_area(uint32_t number, const servers::AreaDescription& description) {
        Bytes layout, partition;
        std::string error;
        ASSERT_TRUE(servers::build_area(number, description, &layout, &partition, &error)) << error;
        add_area_bytes(number, std::move(layout), std::move(partition));
    }
    void add_area_bytes(uint32_t number, Bytes layout, Bytes partition) {
        description_.resources.push_back(make_resource(servers::get_area_layout_id(number), std::move(layout)));
        description_.resources.push_back(make_resource(servers::get_area_partition_id(number), std::move(partition)));
    }
    // A pack built elsewhere (by the content builder), listed beside the
    // areas added here.
    void add_pack_bytes(const std::string& name, const Bytes& pack) { folder_.add_pack_bytes(name, pack); }
    // Writes the pack and registers the servers in engine order.
    void start() {
        folder_.add_pack("areas.pack", description_);
        folder_.write_pack_list();
        core::alias_server.register_server();
        core::resource_server.register_server();
        core::dictionary_server.register_server();
        core::placement_server.register_server();
        renderer::camera_server.register_server();
        servers::loadable_area_server.register_server();
        servers::sector_server.register_server();
        servers::portal_server.register_server();
    }
    ~AreaPacks() { unregister_all_servers(); }

private:
    PackFolder folder_;
    tools::PackDescription description_{0, io::pack_engine_version, {}};
};

class AreaWorld : public ::testing::Test {
protected:
    void SetUp() override {
        packs_.add_area(two_rooms_area, make_two_rooms());
        packs_.add_area(overlay_area, make_overlay(false));
        packs_.add_area(second_overlay_area, make_overlay(true));
        packs_.add_area(split_area, make_split());
        packs_.start();
    }

    // The render-side steps of a frame that concern sectors and portals.
    static void run_frame_updates() {
        servers::portal_server.relink_portals();
        servers::portal_server.update();
        servers::sector_server.update();
    }

    static servers::Sector* create_sector(uint32_t area, uint32_t record) {
        return servers::sector_server.create_sector(servers::make_sector_location(area, record));
    }
    static servers::Portal* create_portal(uint32_t area, uint32_t record) {
        return servers::portal_server.create_portal(servers::make_sector_location(area, record));
    }

    AreaPacks packs_;
};

}  // namespace zolt::test
