#include "zolt/renderer/decals/decal_geometry.h"

#include "libs/io/little_endian_fields.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t index_bits = 21;
constexpr uint64_t index_mask = (1u << index_bits) - 1;

// A table entry exists only when it lies inside the resource.
bool has_entry(uint32_t table, uint32_t index, uint32_t entry_size, uint32_t total) {
    return fits_within(table, static_cast<uint64_t>(index) + 1, entry_size, total);
}

}  // namespace

bool DecalGeometry::open(const uint8_t* data, uint32_t size) {
    *this = DecalGeometry{};
    if (data == nullptr || size < decal_geometry_header_size) {
        return false;
    }
    const uint32_t compact_count = read_field<uint32_t>(data, 0);
    const uint32_t full_count = read_field<uint32_t>(data, 4);
    const uint32_t compact_offset = read_field<uint32_t>(data, 8);
    const uint32_t full_offset = read_field<uint32_t>(data, 12);
    if (!fits_within(compact_offset, compact_count, decal_compact_triangle_size, size) ||
        !fits_within(full_offset, full_count, decal_full_triangle_size, size) ||
        static_cast<uint64_t>(compact_count) + full_count > UINT32_MAX) {
        return false;
    }
    data_ = data;
    size_ = size;
    compact_count_ = compact_count;
    full_count_ = full_count;
    compact_offset_ = compact_offset;
    full_offset_ = full_offset;
    position_offset_ = read_field<uint32_t>(data, 16);
    attribute_offset_ = read_field<uint32_t>(data, 20);
    texture_coordinate_offset_ = read_field<uint32_t>(data, 24);
    return true;
}

bool DecalGeometry::get_corners(uint32_t number, Corners& corners, uint16_t* flags) const {
    if (number < compact_count_) {
        const uint8_t* const triangle = data_ + compact_offset_ + number * decal_compact_triangle_size;
        const uint64_t bases = read_field<uint64_t>(triangle, 0);
        uint32_t* const tables[3] = {corners.positions, corners.attributes, corners.texture_coordinates};
        for (uint32_t table = 0; table < 3; ++table) {
            const int64_t base = static_cast<int64_t>(bases >> (table * index_bits) & index_mask);
            tables[table][0] = static_cast<uint32_t>(base);
            for (uint32_t corner = 1; corner < 3; ++corner) {
                const int64_t index = base + read_field<int16_t>(triangle, 8 + table * 4 + (corner - 1) * 2);
                if (index < 0) {
                    return false;
                }
                tables[table][corner] = static_cast<uint32_t>(index);
            }
        }
        *flags = read_field<uint16_t>(triangle, 20);
        return true;
    }
    if (number - compact_count_ >= full_count_) {
        return false;
    }
    const uint8_t* const triangle = data_ + full_offset_ + (number - compact_count_) * decal_full_triangle_size;
    for (uint32_t corner = 0; corner < 3; ++corner) {
        corners.positions[corner] = read_field<uint32_t>(triangle, corner * 4);
        corners.attributes[corner] = read_field<uint32_t>(triangle, 12 + corner * 4);
        corners.texture_coordinates[corner] = read_field<uint32_t>(triangle, 24 + corner * 4);
    }
    *flags = read_field<uint16_t>(triangle, 36);
    return true;
}

bool DecalGeometry::get_flags(uint32_t number, uint16_t* flags) const {
    if (data_ == nullptr || number >= get_triangle_count()) {
        return false;
    }
    *flags = number < compact_count_
                 ? read_field<uint16_t>(data_, compact_offset_ + number * decal_compact_triangle_size + 20)
                 : read_field<uint16_t>(data_,
                                        full_offset_ + (number - compact_count_) * decal_full_triangle_size + 36);
    return true;
}

bool DecalGeometry::get_triangle(uint32_t number, DecalSourceTriangle& out) const {
    Corners corners;
    if (data_ == nullptr || !get_corners(number, corners, &out.flags)) {
        return false;
    }
    for (uint32_t corner = 0; corner < 3; ++corner) {
        if (!has_entry(position_offset_, corners.positions[corner], decal_position_size, size_) ||
            !has_entry(attribute_offset_, corners.attributes[corner], decal_attribute_size, size_) ||
            !has_entry(texture_coordinate_offset_, corners.texture_coordinates[corner],
                       decal_texture_coordinate_size, size_)) {
            return false;
        }
        const uint8_t* const position = data_ + position_offset_ + corners.positions[corner] * decal_position_size;
        out.positions[corner] = {read_field<float>(position, 0), read_field<float>(position, 4),
                                 read_field<float>(position, 8)};
        const uint8_t* const attribute =
            data_ + attribute_offset_ + corners.attributes[corner] * decal_attribute_size;
        out.normals[corner] = {read_field<float>(attribute, 0), read_field<float>(attribute, 4),
                               read_field<float>(attribute, 8)};
        out.tangents[corner] = {read_field<float>(attribute, 12), read_field<float>(attribute, 16),
                                read_field<float>(attribute, 20), read_field<float>(attribute, 24)};
        const uint8_t* const coordinate = data_ + texture_coordinate_offset_ +
                                          corners.texture_coordinates[corner] * decal_texture_coordinate_size;
        out.texture_coordinates[corner][0] = read_field<float>(coordinate, 0);
        out.texture_coordinates[corner][1] = read_field<float>(coordinate, 4);
    }
    return true;
}

}  // namespace zolt::renderer
