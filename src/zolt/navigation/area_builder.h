#pragma once
// Writes the two resources of a loadable area from a description, for the
// content tools and the tests, with the same layout the engine reads (see
// area_data.h). Portals are given by their four corners, clockwise seen
// from side 0; their centre, plane and edge planes are derived. Any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "libs/geometry/box.h"
#include "libs/geometry/box_silhouette.h"
#include "zolt/navigation/area_data.h"

namespace zolt::servers {

struct AreaSectorDescription {
    geometry::Box box;
    uint32_t flags = 0;
    std::vector<geometry::OccluderBox> occluders;
    std::vector<uint32_t> view_companions;
    std::vector<uint32_t> light_companions;
    std::vector<uint32_t> fourth_list;
    std::vector<uint32_t> lightmap_prefetch;
};

struct AreaPortalDescription {
    geometry::Vector3 corners[4];
};

struct AreaRootDescription {
    // 1-based slot, 0 for none.
    uint32_t sector = 0;
    std::vector<PartitionNode> nodes;
};

struct AreaDescription {
    std::vector<AreaSectorDescription> sectors;
    std::vector<AreaPortalDescription> portals;
    // (nx, ny, nz, d): in front when n.p - d >= 0.
    std::vector<geometry::Vector4> planes;
    std::vector<AreaRootDescription> roots;
};

// Each sector its own root with one leaf naming it: the boxes decide.
std::vector<AreaRootDescription> make_box_roots(uint32_t sector_count);

// An axis-aligned occluder box with outward faces in the box corner order.
geometry::OccluderBox make_occluder_box(const geometry::Box& box);

// False with a message when the description does not make a valid area.
bool build_area(uint32_t area_number, const AreaDescription& description, std::vector<uint8_t>* layout,
                std::vector<uint8_t>* partition, std::string* error);

}  // namespace zolt::servers
