#include "zolt/navigation/area_data.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zolt::servers {

namespace {

// Below this doubled area a portal's opening is a line or a point.
constexpr float smallest_portal_area = 1.0f / 65536;

float read_float(const uint8_t* data, uint32_t offset) {
    float value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

geometry::Vector3 read_vector3(const uint8_t* data, uint32_t offset) {
    return {read_float(data, offset), read_float(data, offset + 4), read_float(data, offset + 8)};
}

geometry::Vector4 read_vector4(const uint8_t* data, uint32_t offset) {
    return {read_float(data, offset), read_float(data, offset + 4), read_float(data, offset + 8),
            read_float(data, offset + 12)};
}

bool fits(uint64_t offset, uint64_t count, uint64_t record_size, uint32_t size) {
    return offset + count * record_size <= size;
}

bool is_finite(const geometry::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool is_finite(const geometry::Vector4& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

[[gnu::format(printf, 4, 5)]] bool refuse(std::string* error, uint32_t area_number, uint32_t resource_id,
                                          const char* format, ...) {
    if (error != nullptr) {
        char reason[160];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(reason, sizeof reason, format, arguments);
        va_end(arguments);
        char text[256];
        std::snprintf(text, sizeof text, "area %" PRIu32 ": resource 0x%08" PRIx32 ": %s", area_number, resource_id,
                      reason);
        *error = text;
    }
    return false;
}

// The opening's doubled area: the length of the sum of the corner fans.
float get_portal_area(const PortalRecord& portal) {
    const geometry::Vector3 twice =
        geometry::cross(portal.corners[1] - portal.corners[0], portal.corners[2] - portal.corners[0]) +
        geometry::cross(portal.corners[2] - portal.corners[0], portal.corners[3] - portal.corners[0]);
    return geometry::length(twice);
}

bool check_portal(uint32_t area_number, const uint8_t* layout, uint32_t index, std::string* error) {
    const PortalRecord portal = read_portal_record(layout, index);
    bool finite = is_finite(portal.centre) && is_finite(portal.plane);
    for (int corner = 0; corner < 4; ++corner) {
        finite = finite && is_finite(portal.corners[corner]) && is_finite(portal.edges[corner]);
    }
    if (!finite) {
        return refuse(error, area_number, get_area_layout_id(area_number),
                      "portal %" PRIu32 " holds a value that is not a number", index);
    }
    const geometry::Vector3 normal{portal.plane.x, portal.plane.y, portal.plane.z};
    if (!(geometry::length_squared(normal) > 0) || !(get_portal_area(portal) > smallest_portal_area)) {
        return refuse(error, area_number, get_area_layout_id(area_number),
                      "portal %" PRIu32 " has a degenerate polygon", index);
    }
    return true;
}

bool check_sector(uint32_t area_number, const uint8_t* layout, uint32_t size, uint32_t index, std::string* error) {
    const SectorRecord sector = read_sector_record(layout, index);
    if (!is_finite(sector.box.minimum) || !is_finite(sector.box.maximum) ||
        sector.box.minimum.x > sector.box.maximum.x || sector.box.minimum.y > sector.box.maximum.y ||
        sector.box.minimum.z > sector.box.maximum.z) {
        return refuse(error, area_number, get_area_layout_id(area_number), "sector %" PRIu32 " has no valid box",
                      index);
    }
    for (uint32_t list = 0; list < sector_list_count; ++list) {
        const SectorListReference& reference = sector.lists[list];
        const uint32_t entry_size = list == static_cast<uint32_t>(SectorList::occluders) ? area_layout::occluder_size
                                                                                         : area_layout::location_size;
        if (reference.count != 0 && !fits(reference.offset, reference.count, entry_size, size)) {
            return refuse(error, area_number, get_area_layout_id(area_number),
                          "sector %" PRIu32 " list %" PRIu32 " of %" PRIu32 " entries at %" PRIu32 " does not fit",
                          index, list, reference.count, reference.offset);
        }
    }
    return true;
}

}  // namespace

uint32_t read_area_word(const uint8_t* data, uint32_t offset) {
    uint32_t value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

SectorRecord read_sector_record(const uint8_t* layout, uint32_t index) {
    const uint32_t at =
        read_area_word(layout, area_layout::sector_table_offset) + area_layout::sector_record_size * index;
    SectorRecord record;
    record.box.minimum = read_vector3(layout, at);
    record.box.maximum = read_vector3(layout, at + 12);
    record.flags = read_area_word(layout, at + 24);
    for (uint32_t list = 0; list < sector_list_count; ++list) {
        record.lists[list] = {read_area_word(layout, at + 28 + 8 * list), read_area_word(layout, at + 32 + 8 * list)};
    }
    return record;
}

PortalRecord read_portal_record(const uint8_t* layout, uint32_t index) {
    const uint32_t at =
        read_area_word(layout, area_layout::portal_table_offset) + area_layout::portal_record_size * index;
    PortalRecord record;
    record.centre = read_vector3(layout, at);
    for (uint32_t corner = 0; corner < 4; ++corner) {
        record.corners[corner] = read_vector3(layout, at + 12 + 12 * corner);
    }
    record.plane = read_vector4(layout, at + 60);
    for (uint32_t edge = 0; edge < 4; ++edge) {
        record.edges[edge] = read_vector4(layout, at + 76 + 16 * edge);
    }
    return record;
}

geometry::OccluderBox read_occluder(const uint8_t* layout, uint32_t list_offset, uint32_t index) {
    const uint32_t at = list_offset + area_layout::occluder_size * index;
    geometry::OccluderBox box;
    box.reference = read_vector3(layout, at);
    for (uint32_t corner = 0; corner < 8; ++corner) {
        box.corners[corner] = read_vector3(layout, at + 12 + 12 * corner);
    }
    for (uint32_t face = 0; face < 6; ++face) {
        box.faces[face] = read_vector4(layout, at + 108 + 16 * face);
    }
    return box;
}

geometry::Vector4 read_partition_plane(const uint8_t* partition, uint32_t index) {
    return read_vector4(
        partition, read_area_word(partition, area_partition::plane_table_offset) + area_partition::plane_size * index);
}

PartitionRoot read_partition_root(const uint8_t* partition, uint32_t index) {
    const uint32_t at =
        read_area_word(partition, area_partition::root_table_offset) + area_partition::root_size * index;
    return {read_area_word(partition, at), read_area_word(partition, at + 4)};
}

PartitionNode read_partition_node(const uint8_t* partition, uint32_t offset) {
    return {read_area_word(partition, offset), read_area_word(partition, offset + 4)};
}

uint32_t find_partition_leaf(const uint8_t* partition, uint32_t first_node, const geometry::Vector3& point) {
    uint32_t offset = first_node;
    PartitionNode node = read_partition_node(partition, offset);
    while (node.skip != 0) {
        const geometry::Vector4 plane = read_partition_plane(partition, node.value);
        const bool in_front = plane.x * point.x + plane.y * point.y + plane.z * point.z - plane.w >= 0;
        offset += in_front ? area_partition::node_size : node.skip * area_partition::node_size;
        node = read_partition_node(partition, offset);
    }
    return node.value;
}

bool check_area_layout(uint32_t area_number, const uint8_t* layout, uint32_t size, std::string* error) {
    if (layout == nullptr || size < area_layout::header_size) {
        return refuse(error, area_number, get_area_layout_id(area_number), "%" PRIu32 " bytes hold no header", size);
    }
    const uint32_t sector_table = read_area_word(layout, area_layout::sector_table_offset);
    const uint32_t sector_count = read_area_word(layout, area_layout::sector_count);
    const uint32_t portal_table = read_area_word(layout, area_layout::portal_table_offset);
    const uint32_t portal_count = read_area_word(layout, area_layout::portal_count);
    if (sector_count > area_sector_slot_count) {
        return refuse(error, area_number, get_area_layout_id(area_number),
                      "%" PRIu32 " sectors, more than the %" PRIu32 " an area holds", sector_count,
                      area_sector_slot_count);
    }
    if (!fits(sector_table, sector_count, area_layout::sector_record_size, size)) {
        return refuse(error, area_number, get_area_layout_id(area_number),
                      "%" PRIu32 " sectors at %" PRIu32 " do not fit in %" PRIu32 " bytes", sector_count, sector_table,
                      size);
    }
    if (!fits(portal_table, portal_count, area_layout::portal_record_size, size)) {
        return refuse(error, area_number, get_area_layout_id(area_number),
                      "%" PRIu32 " portals at %" PRIu32 " do not fit in %" PRIu32 " bytes", portal_count, portal_table,
                      size);
    }
    for (uint32_t index = 0; index < sector_count; ++index) {
        if (!check_sector(area_number, layout, size, index, error)) {
            return false;
        }
    }
    for (uint32_t index = 0; index < portal_count; ++index) {
        if (!check_portal(area_number, layout, index, error)) {
            return false;
        }
    }
    return true;
}

bool check_area_partition(uint32_t area_number, const uint8_t* partition, uint32_t size, uint32_t sector_count,
                          std::string* error) {
    if (partition == nullptr || size < area_partition::header_size) {
        return refuse(error, area_number, get_area_partition_id(area_number), "%" PRIu32 " bytes hold no header", size);
    }
    const uint32_t plane_table = read_area_word(partition, area_partition::plane_table_offset);
    const uint32_t plane_count = read_area_word(partition, area_partition::plane_count);
    const uint32_t root_table = read_area_word(partition, area_partition::root_table_offset);
    const uint32_t root_count = read_area_word(partition, area_partition::root_count);
    if (!fits(plane_table, plane_count, area_partition::plane_size, size)) {
        return refuse(error, area_number, get_area_partition_id(area_number),
                      "%" PRIu32 " planes at %" PRIu32 " do not fit", plane_count, plane_table);
    }
    if (!fits(root_table, root_count, area_partition::root_size, size)) {
        return refuse(error, area_number, get_area_partition_id(area_number),
                      "%" PRIu32 " roots at %" PRIu32 " do not fit", root_count, root_table);
    }
    for (uint32_t plane = 0; plane < plane_count; ++plane) {
        if (!is_finite(read_partition_plane(partition, plane))) {
            return refuse(error, area_number, get_area_partition_id(area_number), "plane %" PRIu32 " is not a number",
                          plane);
        }
    }
    // Every node that a walk from some root can reach, each looked at once;
    // walks only move forward, so they end.
    std::vector<uint8_t> seen(size, 0);
    std::vector<uint32_t> pending;
    for (uint32_t root = 0; root < root_count; ++root) {
        const PartitionRoot entry = read_partition_root(partition, root);
        if (entry.sector > sector_count) {
            return refuse(error, area_number, get_area_partition_id(area_number),
                          "root %" PRIu32 " names sector %" PRIu32 " of %" PRIu32, root, entry.sector, sector_count);
        }
        pending.push_back(entry.first_node);
        while (!pending.empty()) {
            const uint32_t offset = pending.back();
            pending.pop_back();
            if (!fits(offset, 1, area_partition::node_size, size)) {
                return refuse(error, area_number, get_area_partition_id(area_number),
                              "root %" PRIu32 " reaches a node at %" PRIu32 " past the end", root, offset);
            }
            if (seen[offset] != 0) {
                continue;
            }
            seen[offset] = 1;
            const PartitionNode node = read_partition_node(partition, offset);
            if (node.skip == 0) {
                if (node.value > sector_count) {
                    return refuse(error, area_number, get_area_partition_id(area_number),
                                  "a leaf at %" PRIu32 " names sector %" PRIu32 " of %" PRIu32, offset, node.value,
                                  sector_count);
                }
                continue;
            }
            if (node.value >= plane_count) {
                return refuse(error, area_number, get_area_partition_id(area_number),
                              "a split at %" PRIu32 " names plane %" PRIu32 " of %" PRIu32, offset, node.value,
                              plane_count);
            }
            const uint64_t back = offset + uint64_t{node.skip} * area_partition::node_size;
            if (back + area_partition::node_size > size) {
                return refuse(error, area_number, get_area_partition_id(area_number),
                              "a split at %" PRIu32 " skips past the end", offset);
            }
            pending.push_back(offset + area_partition::node_size);
            pending.push_back(static_cast<uint32_t>(back));
        }
    }
    return true;
}

}  // namespace zolt::servers
