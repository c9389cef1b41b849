#pragma once
// The geometry resource of a decal target (resource id 0x5F0B0000 + n): its
// triangles in two encodings, compact ones first, then full ones, over
// shared tables of positions, corner attributes and texture coordinates.
// Every table and index is checked against the resource's size as it is
// read, so a broken resource gives no triangle rather than a stray read.
// Any thread; the bytes belong to the resource and are never written.
#include <cstdint>

#include "zolt/renderer/decals/decal_surface.h"

namespace zolt::renderer {

constexpr uint32_t decal_geometry_resource_base = 0x5F0B0000;
constexpr uint32_t decal_geometry_header_size = 28;
constexpr uint32_t decal_compact_triangle_size = 22;
constexpr uint32_t decal_full_triangle_size = 40;
constexpr uint32_t decal_position_size = 12;
constexpr uint32_t decal_attribute_size = 28;
constexpr uint32_t decal_texture_coordinate_size = 8;

class DecalGeometry final : public DecalSurface {
public:
    // False, with no triangles, when the header or a triangle table lies
    // outside the data.
    bool open(const uint8_t* data, uint32_t size);

    uint32_t get_triangle_count() const override { return compact_count_ + full_count_; }
    bool get_triangle(uint32_t number, DecalSourceTriangle& out) const override;
    // The flags word alone; false for a number out of range.
    bool get_flags(uint32_t number, uint16_t* flags) const;

private:
    struct Corners {
        uint32_t positions[3];
        uint32_t attributes[3];
        uint32_t texture_coordinates[3];
    };
    bool get_corners(uint32_t number, Corners& corners, uint16_t* flags) const;

    const uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t compact_count_ = 0;
    uint32_t full_count_ = 0;
    uint32_t compact_offset_ = 0;
    uint32_t full_offset_ = 0;
    uint32_t position_offset_ = 0;
    uint32_t attribute_offset_ = 0;
    uint32_t texture_coordinate_offset_ = 0;
};

}  // namespace zolt::renderer
