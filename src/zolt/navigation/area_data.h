#pragma once
// The two resources of a loadable area, read in place: the layout (sector
// records with their lists, occluders and portal records) and the partition
// (planes and root chains of split and leaf nodes that say which sector holds
// a point). Little-endian fields at 32-bit offsets from the start of their
// resource; every read goes through memcpy, as records need not be aligned.
// The checks here are what the engine, the content tools and the fuzzer
// share: data that passes them can be read without further bounds tests.
// Plain data; any thread.
#include <cstdint>
#include <string>

#include "libs/geometry/box.h"
#include "libs/geometry/box_silhouette.h"
#include "libs/geometry/vector.h"

namespace zolt::servers {

constexpr uint32_t area_resource_base = 0x00080000;

constexpr uint32_t get_area_layout_id(uint32_t area_number) {
    return area_resource_base | (2 * area_number);
}

constexpr uint32_t get_area_partition_id(uint32_t area_number) {
    return area_resource_base | (2 * area_number + 1);
}

// SectorLocation: the area number in bits 16 to 30, the record index in
// bits 0 to 15; -1 names nothing. Portal locations share the layout.
constexpr uint32_t no_sector_location = 0xFFFFFFFFu;

constexpr uint32_t get_location_area(uint32_t location) {
    return (location >> 16) & 0x7FFF;
}

constexpr uint32_t get_location_record(uint32_t location) {
    return location & 0xFFFF;
}

constexpr uint32_t make_sector_location(uint32_t area_number, uint32_t record) {
    return (area_number & 0x7FFF) << 16 | (record & 0xFFFF);
}

// An area has room for this many sectors; records past it cannot be used.
constexpr uint32_t area_sector_slot_count = 50;

namespace area_layout {
constexpr uint32_t header_size = 16;
constexpr uint32_t sector_table_offset = 0, sector_count = 4, portal_table_offset = 8, portal_count = 12;
constexpr uint32_t sector_record_size = 68;
constexpr uint32_t occluder_size = 204;
constexpr uint32_t portal_record_size = 140;
constexpr uint32_t location_size = 4;
}  // namespace area_layout

namespace area_partition {
constexpr uint32_t header_size = 16;
constexpr uint32_t plane_table_offset = 0, plane_count = 4, root_table_offset = 8, root_count = 12;
constexpr uint32_t plane_size = 16;
constexpr uint32_t root_size = 12;
constexpr uint32_t node_size = 8;
}  // namespace area_partition

namespace sector_flag {
constexpr uint32_t global_light = 1u << 0, overlay = 1u << 2;
}

// The lists of a sector record, in record order.
enum class SectorList : uint32_t {
    occluders = 0,
    view_companions = 1,
    light_companions = 2,
    fourth = 3,
    lightmap_prefetch = 4,
};
constexpr uint32_t sector_list_count = 5;

struct SectorListReference {
    uint32_t offset = 0;
    uint32_t count = 0;
};

struct SectorRecord {
    geometry::Box box;
    uint32_t flags = 0;
    SectorListReference lists[sector_list_count];
};

struct PortalRecord {
    geometry::Vector3 centre;
    geometry::Vector3 corners[4];
    // Side 0 where n.p + d > 0.
    geometry::Vector4 plane;
    // Outside an edge where n.p + d >= 0.
    geometry::Vector4 edges[4];
};

struct PartitionRoot {
    // 1-based slot, 0 for none.
    uint32_t sector = 0;
    uint32_t first_node = 0;
};

struct PartitionNode {
    // 0 for a leaf, else how many nodes further the back side goes on.
    uint32_t skip = 0;
    // A plane index at a split, a 1-based slot (0 outside) at a leaf.
    uint32_t value = 0;
};

// An occluder's corners go 0 to 3 around face 4 and 4 to 7 around face 5,
// with face 0 {0, 1, 5, 4}, 1 {1, 2, 6, 5}, 2 {2, 3, 7, 6} and 3 {3, 0, 4, 7},
// turning so that seen from outside face 4 the corners 0, 1, 2, 3 run
// counter-clockwise: outlines then walk clockwise on the screen, as clip
// polygons do (see make_occluder_box).
uint32_t read_area_word(const uint8_t* data, uint32_t offset);
SectorRecord read_sector_record(const uint8_t* layout, uint32_t index);
PortalRecord read_portal_record(const uint8_t* layout, uint32_t index);
geometry::OccluderBox read_occluder(const uint8_t* layout, uint32_t list_offset, uint32_t index);
// (nx, ny, nz, d): a point is in front when n.p - d >= 0.
geometry::Vector4 read_partition_plane(const uint8_t* partition, uint32_t index);
PartitionRoot read_partition_root(const uint8_t* partition, uint32_t index);
PartitionNode read_partition_node(const uint8_t* partition, uint32_t offset);

// The leaf value (a 1-based slot, 0 outside) that a point in the area's
// frame reaches from a root's first node.
uint32_t find_partition_leaf(const uint8_t* partition, uint32_t first_node, const geometry::Vector3& point);

// False with a message naming the area, the resource and what does not fit.
bool check_area_layout(uint32_t area_number, const uint8_t* layout, uint32_t size, std::string* error);
// The layout must have passed its check; sector numbers are tested against
// its sector count.
bool check_area_partition(uint32_t area_number, const uint8_t* partition, uint32_t size, uint32_t sector_count,
                          std::string* error);

}  // namespace zolt::servers
