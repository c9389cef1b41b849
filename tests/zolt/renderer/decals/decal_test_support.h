#pragma once
// Surfaces for decal tests: a flat grid of triangles handed directly, and
// the bytes of a geometry resource holding the same grid, compact
// triangles first, then full ones.
#include <cstdint>
#include <cstring>
#include <vector>

#include "libs/io/little_endian_fields.h"
#include "zolt/renderer/decals/decal_geometry.h"
#include "zolt/renderer/decals/decal_surface.h"

namespace zolt::renderer::testing {

// Triangles handed as they are.
class TriangleList final : public DecalSurface {
public:
    uint32_t get_triangle_count() const override { return static_cast<uint32_t>(triangles.size()); }
    bool get_triangle(uint32_t number, DecalSourceTriangle& out) const override {
        if (number >= triangles.size()) {
            return false;
        }
        out = triangles[number];
        return true;
    }

    // A triangle facing +z (normals up), in group 0 unless told.
    void add(const geometry::Vector3& a, const geometry::Vector3& b, const geometry::Vector3& c,
             uint16_t flags = 0, const geometry::Vector3& normal = {0, 0, 1}) {
        DecalSourceTriangle triangle;
        triangle.positions[0] = a;
        triangle.positions[1] = b;
        triangle.positions[2] = c;
        for (uint32_t corner = 0; corner < 3; ++corner) {
            triangle.normals[corner] = normal;
            triangle.tangents[corner] = {1, 0, 0, 1};
            triangle.texture_coordinates[corner][0] = triangle.positions[corner].x;
            triangle.texture_coordinates[corner][1] = triangle.positions[corner].y;
        }
        triangle.flags = flags;
        triangles.push_back(triangle);
    }

    // cells x cells squares of the given size from (x0, y0), two triangles
    // each, in the plane z.
    void add_grid(float x0, float y0, float cell, uint32_t cells, float z = 0, uint16_t flags = 0) {
        for (uint32_t row = 0; row < cells; ++row) {
            for (uint32_t column = 0; column < cells; ++column) {
                const float x = x0 + cell * static_cast<float>(column);
                const float y = y0 + cell * static_cast<float>(row);
                add({x, y, z}, {x + cell, y, z}, {x + cell, y + cell, z}, flags);
                add({x, y, z}, {x + cell, y + cell, z}, {x, y + cell, z}, flags);
            }
        }
    }

    std::vector<DecalSourceTriangle> triangles;
};

// The bytes of a geometry resource of the list's triangles: the first
// compact_count as compact triangles, the rest as full ones; every corner
// has its own position, attribute and coordinate entry.
inline std::vector<uint8_t> write_geometry_resource(const TriangleList& list, uint32_t compact_count) {
    const uint32_t count = list.get_triangle_count();
    const uint32_t full_count = count - compact_count;
    const uint32_t compact_offset = decal_geometry_header_size;
    const uint32_t full_offset = compact_offset + compact_count * decal_compact_triangle_size;
    const uint32_t position_offset = full_offset + full_count * decal_full_triangle_size;
    const uint32_t attribute_offset = position_offset + count * 3 * decal_position_size;
    const uint32_t coordinate_offset = attribute_offset + count * 3 * decal_attribute_size;
    std::vector<uint8_t> bytes(coordinate_offset + count * 3 * decal_texture_coordinate_size);
    const uint32_t header[] = {compact_count,   full_count,       compact_offset,   full_offset,
                               position_offset, attribute_offset, coordinate_offset};
    std::memcpy(bytes.data(), header, sizeof header);
    for (uint32_t number = 0; number < count; ++number) {
        const DecalSourceTriangle& t = list.triangles[number];
        const uint32_t first = number * 3;
        if (number < compact_count) {
            const uint32_t at = compact_offset + number * decal_compact_triangle_size;
            const uint64_t bases = uint64_t{first} | uint64_t{first} << 21 | uint64_t{first} << 42;
            write_field<uint64_t>(bytes, at, bases);
            for (uint32_t table = 0; table < 3; ++table) {
                write_field<int16_t>(bytes, at + 8 + table * 4, 1);
                write_field<int16_t>(bytes, at + 10 + table * 4, 2);
            }
            write_field<uint16_t>(bytes, at + 20, t.flags);
        } else {
            const uint32_t at = full_offset + (number - compact_count) * decal_full_triangle_size;
            for (uint32_t corner = 0; corner < 3; ++corner) {
                for (uint32_t table = 0; table < 3; ++table) {
                    write_field<uint32_t>(bytes, at + table * 12 + corner * 4, first + corner);
                }
            }
            write_field<uint16_t>(bytes, at + 36, t.flags);
        }
        for (uint32_t corner = 0; corner < 3; ++corner) {
            const uint32_t entry = first + corner;
            const float position[] = {t.positions[corner].x, t.positions[corner].y, t.positions[corner].z};
            std::memcpy(bytes.data() + position_offset + entry * decal_position_size, position, sizeof position);
            const float attribute[] = {t.normals[corner].x,  t.normals[corner].y,  t.normals[corner].z,
                                       t.tangents[corner].x, t.tangents[corner].y, t.tangents[corner].z,
                                       t.tangents[corner].w};
            std::memcpy(bytes.data() + attribute_offset + entry * decal_attribute_size, attribute, sizeof attribute);
            std::memcpy(bytes.data() + coordinate_offset + entry * decal_texture_coordinate_size,
                        t.texture_coordinates[corner], 8);
        }
    }
    return bytes;
}

}  // namespace zolt::renderer::testing
