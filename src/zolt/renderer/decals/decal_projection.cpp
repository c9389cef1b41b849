#include "zolt/renderer/decals/decal_projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zolt::renderer {

namespace {

using geometry::Plane;
using geometry::Vector3;

constexpr float tiny = 1.0f / 65536.0f;

void store(float* out, const Vector3& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// The sign of the bitangent against normal x tangent.
float get_handedness(const Vector3& normal, const Vector3& tangent, const Vector3& bitangent) {
    return geometry::dot(bitangent, geometry::cross(normal, tangent)) < 0.0f ? -1.0f : 1.0f;
}

Vector3 normalize_or(const Vector3& v, const Vector3& fallback) {
    const float length = geometry::length(v);
    return length > tiny ? v * (1.0f / length) : fallback;
}

// Keeps the part of the polygon on the inner side of the plane.
template <uint32_t In, uint32_t Out>
void clip_polygon(const geometry::ConvexPolygon<In>& in, const Plane& plane, geometry::ConvexPolygon<Out>& out) {
    out.count = 0;
    for (uint32_t index = 0; index < in.count; ++index) {
        const Vector3& a = in.vertices[index];
        const Vector3& b = in.vertices[(index + 1) % in.count];
        const float da = geometry::get_plane_distance(plane, a);
        const float db = geometry::get_plane_distance(plane, b);
        if (da <= 0.0f) {
            out.add_vertex(a);
        }
        if ((da < 0.0f && db > 0.0f) || (da > 0.0f && db < 0.0f)) {
            const Vector3 crossing = a + (b - a) * (da / (da - db));
            // A crossing on the kept neighbour itself is not added twice.
            const Vector3& kept = da <= 0.0f ? a : b;
            if (crossing.x != kept.x || crossing.y != kept.y || crossing.z != kept.z) {
                out.add_vertex(crossing);
            }
        }
    }
}

}  // namespace

void get_decal_quad_corners(const DecalFrame& frame, Vector3 (&corners)[4]) {
    const Vector3 across = frame.tangent * (frame.width * 0.5f);
    const Vector3 up = frame.bitangent * (frame.height * 0.5f);
    corners[0] = frame.position - across + up;
    corners[1] = frame.position - across - up;
    corners[2] = frame.position + across - up;
    corners[3] = frame.position + across + up;
}

void build_decal_box(const DecalFrame& frame, float depth, Plane (&planes)[decal_box_plane_count]) {
    const float deep = std::clamp(depth, smallest_projection_depth, largest_projection_depth);
    const Vector3& p = frame.position;
    const auto make = [&](const Vector3& normal, float reach) {
        return Plane{normal.x, normal.y, normal.z, geometry::dot(normal, p) + reach};
    };
    planes[0] = make(frame.tangent, frame.width * 0.5f);
    planes[1] = make(-frame.tangent, frame.width * 0.5f);
    planes[2] = make(frame.bitangent, frame.height * 0.5f);
    planes[3] = make(-frame.bitangent, frame.height * 0.5f);
    // The surface the decal was placed on passes through the position; the
    // offset keeps it inside when rounding puts it a hair in front.
    planes[4] = make(frame.normal, decal_surface_offset);
    planes[5] = make(-frame.normal, deep);
}

void clip_triangle_to_box(const Vector3 (&corners)[3], const Plane (&planes)[decal_box_plane_count],
                          geometry::ConvexPolygon<9>& out) {
    out.count = 0;
    for (const Vector3& corner : corners) {
        out.add_vertex(corner);
    }
    geometry::ConvexPolygon<10> clipped;
    for (const Plane& plane : planes) {
        clip_polygon(out, plane, clipped);
        out.copy_polygon(clipped);
        if (out.count < 3) {
            out.count = 0;
            return;
        }
    }
}

bool is_within_angle_limit(const DecalSourceTriangle& triangle, const Vector3& normal, float angle_limit) {
    const float limit = std::min(angle_limit, 0.5f);
    const float lowest = std::cos(2.0f * std::numbers::pi_v<float> * limit);
    for (const Vector3& corner_normal : triangle.normals) {
        if (!(geometry::dot(corner_normal, normal) >= lowest)) {
            return false;
        }
    }
    return true;
}

DecalVertex make_quad_vertex(const DecalFrame& frame, const Vector3& corner, float u, float v, float spawn_time) {
    DecalVertex vertex{};
    store(vertex.position, corner);
    vertex.spawn_time = spawn_time;
    store(vertex.normal, frame.normal);
    store(vertex.tangent, frame.tangent);
    vertex.tangent[3] = get_handedness(frame.normal, frame.tangent, frame.bitangent);
    vertex.texture_coordinate[0] = u;
    vertex.texture_coordinate[1] = v;
    return vertex;
}

DecalVertex make_projected_vertex(const DecalFrame& frame, const DecalSourceTriangle& triangle, const Vector3& point,
                                  float spawn_time) {
    const Vector3& a = triangle.positions[0];
    const Vector3 edge_1 = triangle.positions[1] - a;
    const Vector3 edge_2 = triangle.positions[2] - a;
    const Vector3 face = geometry::cross(edge_1, edge_2);
    const float area = geometry::dot(face, face);
    // Barycentric weights of the point within the triangle.
    float w1 = 0.0f, w2 = 0.0f;
    if (area > 0.0f) {
        const Vector3 to_point = point - a;
        w1 = geometry::dot(geometry::cross(to_point, edge_2), face) / area;
        w2 = geometry::dot(geometry::cross(edge_1, to_point), face) / area;
    }
    const float w0 = 1.0f - w1 - w2;
    const Vector3 face_normal = normalize_or(face, frame.normal);
    const Vector3 normal = normalize_or(
        triangle.normals[0] * w0 + triangle.normals[1] * w1 + triangle.normals[2] * w2, face_normal);

    DecalVertex vertex{};
    store(vertex.position, point + normal * decal_surface_offset);
    vertex.spawn_time = spawn_time;
    store(vertex.normal, normal);
    const Vector3 tangent =
        normalize_or(frame.tangent - normal * geometry::dot(normal, frame.tangent), frame.tangent);
    const Vector3 bitangent =
        normalize_or(frame.bitangent - normal * geometry::dot(normal, frame.bitangent), frame.bitangent);
    store(vertex.tangent, tangent);
    vertex.tangent[3] = get_handedness(normal, tangent, bitangent);
    // Distances from the quad's edges through corners 0-1 and 1-2.
    const Vector3 offset = point - frame.position;
    vertex.texture_coordinate[0] = geometry::dot(offset, frame.tangent) / frame.width + 0.5f;
    vertex.texture_coordinate[1] = geometry::dot(offset, frame.bitangent) / frame.height + 0.5f;
    for (uint32_t lane = 0; lane < 2; ++lane) {
        vertex.surface_texture_coordinate[lane] = triangle.texture_coordinates[0][lane] * w0 +
                                                  triangle.texture_coordinates[1][lane] * w1 +
                                                  triangle.texture_coordinates[2][lane] * w2;
    }
    const geometry::Vector4* const t = triangle.tangents;
    vertex.surface_tangent[0] = t[0].x * w0 + t[1].x * w1 + t[2].x * w2;
    vertex.surface_tangent[1] = t[0].y * w0 + t[1].y * w1 + t[2].y * w2;
    vertex.surface_tangent[2] = t[0].z * w0 + t[1].z * w1 + t[2].z * w2;
    vertex.surface_tangent[3] = t[0].w < 0.0f ? -1.0f : 1.0f;
    return vertex;
}

}  // namespace zolt::renderer
