#pragma once
// The geometry of one decal: its frame (where it lies and how it faces), the
// box it projects through, clipping a surface triangle to that box, and the
// vertices it writes, in the layout the decal shaders read (19 floats). Pure
// functions; any thread.
#include <cstdint>

#include "libs/geometry/convex_polygon.h"
#include "libs/geometry/plane.h"
#include "libs/geometry/vector.h"
#include "zolt/renderer/decals/decal_surface.h"

namespace zolt::renderer {

struct DecalVertex {
    float position[3];
    // Seconds after the set's time base.
    float spawn_time;
    float normal[3];
    float tangent[4];
    float texture_coordinate[2];
    float surface_texture_coordinate[2];
    float surface_tangent[4];
};
static_assert(sizeof(DecalVertex) == 76);

struct DecalTriangle {
    DecalVertex corners[3];
};
static_assert(sizeof(DecalTriangle) == 228);

struct DecalFrame {
    geometry::Vector3 position;
    geometry::Vector3 tangent;
    geometry::Vector3 bitangent;
    geometry::Vector3 normal;
    float width = 1;
    float height = 1;
};

constexpr uint32_t decal_box_plane_count = 6;
constexpr float smallest_projection_depth = 0.1f;
constexpr float largest_projection_depth = 32.0f;
// Projected vertices lie this far off the surface, along its normal.
constexpr float decal_surface_offset = 0.001f;

// The four corners in quad order, with texture coordinates (0, 1), (0, 0),
// (1, 0), (1, 1).
void get_decal_quad_corners(const DecalFrame& frame, geometry::Vector3 (&corners)[4]);
// The box through which the decal projects: its four sides and the planes
// across the normal at the position and depth behind it (depth clamped).
// Points inside lie on the inner side of all six planes.
void build_decal_box(const DecalFrame& frame, float depth, geometry::Plane (&planes)[decal_box_plane_count]);
// The part of the triangle inside the box; fewer than 3 vertices when none.
void clip_triangle_to_box(const geometry::Vector3 (&corners)[3],
                          const geometry::Plane (&planes)[decal_box_plane_count], geometry::ConvexPolygon<9>& out);
// Whether every corner normal lies within the angle limit (turns) of the
// decal's normal.
bool is_within_angle_limit(const DecalSourceTriangle& triangle, const geometry::Vector3& normal, float angle_limit);

// A quad corner's vertex.
DecalVertex make_quad_vertex(const DecalFrame& frame, const geometry::Vector3& corner, float u, float v,
                             float spawn_time);
// A clipped point of a surface triangle: its attributes interpolated in the
// triangle, the decal's axes turned onto the surface, the position lifted
// off it.
DecalVertex make_projected_vertex(const DecalFrame& frame, const DecalSourceTriangle& triangle,
                                  const geometry::Vector3& point, float spawn_time);

}  // namespace zolt::renderer
