#pragma once
// Where projected decals find the triangles they are laid on: a numbered
// set of source triangles with their corner normals, tangents and texture
// coordinates. The geometry resource of a target is one such surface; tests
// and tools hand their own. Any thread; read only.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

// Flags word of a source triangle: its group, and whether a shader that
// asks for flagged triangles may project onto it.
constexpr uint16_t decal_triangle_group_mask = 0x7FFF;
constexpr uint16_t decal_triangle_flag = 0x8000;

struct DecalSourceTriangle {
    geometry::Vector3 positions[3];
    geometry::Vector3 normals[3];
    // x, y, z and the handedness in w.
    geometry::Vector4 tangents[3];
    float texture_coordinates[3][2] = {};
    uint16_t flags = 0;
};

class DecalSurface {
public:
    virtual uint32_t get_triangle_count() const = 0;
    // False when triangle number names none, or names indices outside the
    // surface's tables.
    virtual bool get_triangle(uint32_t number, DecalSourceTriangle& out) const = 0;

protected:
    ~DecalSurface() = default;
};

}  // namespace zolt::renderer
