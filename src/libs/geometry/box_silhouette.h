#pragma once
// Outlines of boxes seen from a point: a table of 64 entries indexed by the
// mask of faces that face the eye, each the outline's corners in walking
// order, and the projection of an occluder box's outline to the screen.
// Corners 0 to 3 go around face 4 and 4 to 7 around face 5; face 0 is
// {0, 1, 5, 4}, 1 {1, 2, 6, 5}, 2 {2, 3, 7, 6}, 3 {3, 0, 4, 7}. Any thread.
#include <array>
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/screen_polygon.h"
#include "libs/geometry/vector.h"

namespace zolt::geometry {

// A box with its own corners and face planes, as occluders are stored. The
// eye is on a face's outer side when nx x + ny y + nz z + d >= 0.
struct OccluderBox {
    Vector3 reference;
    Vector3 corners[8];
    Vector4 faces[6];
};

// 0 for a mask without a valid outline; else bits 0 to 7 the corner count
// (3 or more) and from bit 8 the corners, 3 bits each, in walking order.
uint32_t project_box_silhouette(uint32_t face_mask);

constexpr uint32_t box_silhouette_entry_count = 64;
const std::array<uint32_t, box_silhouette_entry_count>& get_box_silhouette_table();

// The outline of the box seen from the eye, taken through the matrix (view
// and projection) to the pixels of a view at origin with the given size.
// False when no face faces the eye, a corner lies at or behind the eye
// (w at most 2^-16) or 2 points or fewer remain. out has room for 8 points.
bool project_box_outline(const Matrix4& matrix, ScreenPoint* out, uint32_t& out_count, const OccluderBox& box,
                         const Vector3& origin, const Vector3& size, const Vector3& eye);

}  // namespace zolt::geometry
