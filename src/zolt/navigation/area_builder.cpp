#include "zolt/navigation/area_builder.h"

#include <cstring>

namespace zolt::servers {

namespace {

using Bytes = std::vector<uint8_t>;

void put_word(Bytes& bytes, uint32_t value) {
    const size_t at = bytes.size();
    bytes.resize(at + 4);
    std::memcpy(bytes.data() + at, &value, 4);
}

void put_float(Bytes& bytes, float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    put_word(bytes, word);
}

void put_vector3(Bytes& bytes, const geometry::Vector3& v) {
    put_float(bytes, v.x);
    put_float(bytes, v.y);
    put_float(bytes, v.z);
}

void put_vector4(Bytes& bytes, const geometry::Vector4& v) {
    put_float(bytes, v.x);
    put_float(bytes, v.y);
    put_float(bytes, v.z);
    put_float(bytes, v.w);
}

void set_word(Bytes& bytes, uint32_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

geometry::Vector4 make_plane_with_added_distance(const geometry::Vector3& normal, const geometry::Vector3& through) {
    return {normal.x, normal.y, normal.z, -geometry::dot(normal, through)};
}

void put_portal(Bytes& bytes, const AreaPortalDescription& portal) {
    const geometry::Vector3* const c = portal.corners;
    const geometry::Vector3 centre = (c[0] + c[1] + c[2] + c[3]) * 0.25f;
    const geometry::Vector3 normal = geometry::normalize(geometry::cross(c[2] - c[0], c[1] - c[0]));
    put_vector3(bytes, centre);
    for (int corner = 0; corner < 4; ++corner) {
        put_vector3(bytes, c[corner]);
    }
    put_vector4(bytes, make_plane_with_added_distance(normal, centre));
    for (int edge = 0; edge < 4; ++edge) {
        const geometry::Vector3 along = c[(edge + 1) % 4] - c[edge];
        put_vector4(bytes,
                    make_plane_with_added_distance(geometry::normalize(geometry::cross(normal, along)), c[edge]));
    }
}

void put_occluder(Bytes& bytes, const geometry::OccluderBox& box) {
    put_vector3(bytes, box.reference);
    for (const geometry::Vector3& corner : box.corners) {
        put_vector3(bytes, corner);
    }
    for (const geometry::Vector4& face : box.faces) {
        put_vector4(bytes, face);
    }
}

}  // namespace

std::vector<AreaRootDescription> make_box_roots(uint32_t sector_count) {
    std::vector<AreaRootDescription> roots;
    for (uint32_t sector = 1; sector <= sector_count; ++sector) {
        roots.push_back({sector, {{0, sector}}});
    }
    return roots;
}

geometry::OccluderBox make_occluder_box(const geometry::Box& box) {
    const geometry::Vector3& a = box.minimum;
    const geometry::Vector3& b = box.maximum;
    geometry::OccluderBox occluder;
    occluder.reference = (a + b) * 0.5f;
    // Corners 0 to 3 around the bottom face (4), 4 to 7 above them (face 5),
    // turning so that every outline walks clockwise on the screen.
    const geometry::Vector3 corners[8] = {{a.x, a.y, a.z}, {a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, a.y, a.z},
                                          {a.x, a.y, b.z}, {a.x, b.y, b.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}};
    for (int corner = 0; corner < 8; ++corner) {
        occluder.corners[corner] = corners[corner];
    }
    // Faces 0 {0,1,5,4} left (-x), 1 {1,2,6,5} back (+y), 2 {2,3,7,6} right
    // (+x), 3 {3,0,4,7} front (-y), 4 bottom (-z), 5 top (+z).
    occluder.faces[0] = make_plane_with_added_distance({-1, 0, 0}, a);
    occluder.faces[1] = make_plane_with_added_distance({0, 1, 0}, b);
    occluder.faces[2] = make_plane_with_added_distance({1, 0, 0}, b);
    occluder.faces[3] = make_plane_with_added_distance({0, -1, 0}, a);
    occluder.faces[4] = make_plane_with_added_distance({0, 0, -1}, a);
    occluder.faces[5] = make_plane_with_added_distance({0, 0, 1}, b);
    return occluder;
}

bool build_area(uint32_t area_number, const AreaDescription& description, std::vector<uint8_t>* layout,
                std::vector<uint8_t>* partition, std::string* error) {
    Bytes& out = *layout;
    out.clear();
    const auto sector_count = static_cast<uint32_t>(description.sectors.size());
    const auto portal_count = static_cast<uint32_t>(description.portals.size());
    const uint32_t sector_table = area_layout::header_size;
    const uint32_t portal_table = sector_table + sector_count * area_layout::sector_record_size;
    put_word(out, sector_table);
    put_word(out, sector_count);
    put_word(out, portal_table);
    put_word(out, portal_count);
    out.resize(portal_table);
    for (const AreaPortalDescription& portal : description.portals) {
        put_portal(out, portal);
    }
    for (uint32_t index = 0; index < sector_count; ++index) {
        const AreaSectorDescription& sector = description.sectors[index];
        const uint32_t at = sector_table + index * area_layout::sector_record_size;
        Bytes record;
        put_vector3(record, sector.box.minimum);
        put_vector3(record, sector.box.maximum);
        put_word(record, sector.flags);
        const std::vector<uint32_t>* const location_lists[4] = {&sector.view_companions, &sector.light_companions,
                                                                &sector.fourth_list, &sector.lightmap_prefetch};
        put_word(record, sector.occluders.empty() ? 0 : static_cast<uint32_t>(out.size()));
        put_word(record, static_cast<uint32_t>(sector.occluders.size()));
        for (const geometry::OccluderBox& occluder : sector.occluders) {
            put_occluder(out, occluder);
        }
        for (const std::vector<uint32_t>* list : location_lists) {
            put_word(record, list->empty() ? 0 : static_cast<uint32_t>(out.size()));
            put_word(record, static_cast<uint32_t>(list->size()));
            for (const uint32_t location : *list) {
                put_word(out, location);
            }
        }
        std::memcpy(out.data() + at, record.data(), record.size());
    }

    Bytes& parts = *partition;
    parts.clear();
    const auto plane_count = static_cast<uint32_t>(description.planes.size());
    const auto root_count = static_cast<uint32_t>(description.roots.size());
    const uint32_t plane_table = area_partition::header_size;
    const uint32_t root_table = plane_table + plane_count * area_partition::plane_size;
    put_word(parts, plane_table);
    put_word(parts, plane_count);
    put_word(parts, root_table);
    put_word(parts, root_count);
    for (const geometry::Vector4& plane : description.planes) {
        put_vector4(parts, plane);
    }
    parts.resize(root_table + root_count * area_partition::root_size);
    for (uint32_t root = 0; root < root_count; ++root) {
        const uint32_t at = root_table + root * area_partition::root_size;
        set_word(parts, at, description.roots[root].sector);
        set_word(parts, at + 4, static_cast<uint32_t>(parts.size()));
        set_word(parts, at + 8, 0);
        for (const PartitionNode& node : description.roots[root].nodes) {
            put_word(parts, node.skip);
            put_word(parts, node.value);
        }
    }
    return check_area_layout(area_number, out.data(), static_cast<uint32_t>(out.size()), error) &&
           check_area_partition(area_number, parts.data(), static_cast<uint32_t>(parts.size()), sector_count, error);
}

}  // namespace zolt::servers
