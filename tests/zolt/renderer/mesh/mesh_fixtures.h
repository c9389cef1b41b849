#pragma once
// Meshes as content states them, laid out by the shared format code: a cube
// of positions and texture coordinates with one part per face group, and
// the pack resources of a mesh number.
#include <cstring>
#include <vector>

#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"

namespace zolt::renderer::test_support {

// Vertex: position (3 floats) then texture coordinates (2 floats).
constexpr uint32_t cube_vertex_stride = 20;

inline std::vector<uint8_t> as_bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
}

// The index stream as stream 1, positions and texture coordinates from
// stream 0.
inline std::vector<uint32_t> cube_fibre_tags() {
    return {1u << shader_library::fibre_source_stream_shift, make_fibre_format(FibreSourceFormat::float_3, 0),
            make_fibre_format(FibreSourceFormat::float_2, 12)};
}

// A cube of edge 2 h centred at the origin; each face maps the whole
// texture, u along its first edge, v along its second. part_count parts
// split the faces (6 must divide by it); every part is one sub-part with two
// streams of its own, the vertices and its indices.
inline MeshBuild make_cube_build(float h, uint32_t shader_index, std::vector<uint32_t> textures = {},
                                 uint32_t part_count = 1, uint32_t independent_bits = 0) {
    // Corner, first edge, second edge of each face, wound outward.
    const float faces[6][9] = {
        {-h, -h, h, 2 * h, 0, 0, 0, 2 * h, 0},    // +z
        {h, -h, -h, -2 * h, 0, 0, 0, 2 * h, 0},   // -z
        {h, -h, h, 0, 0, -2 * h, 0, 2 * h, 0},    // +x
        {-h, -h, -h, 0, 0, 2 * h, 0, 2 * h, 0},   // -x
        {-h, h, h, 2 * h, 0, 0, 0, 0, -2 * h},    // +y
        {-h, -h, -h, 2 * h, 0, 0, 0, 0, 2 * h},   // -y
    };
    std::vector<float> vertices;
    for (const auto& face : faces) {
        for (const auto& [u, v] : {std::pair{0.f, 0.f}, {1.f, 0.f}, {1.f, 1.f}, {0.f, 1.f}}) {
            for (uint32_t axis = 0; axis < 3; ++axis) {
                vertices.push_back(face[axis] + u * face[3 + axis] + v * face[6 + axis]);
            }
            vertices.push_back(u);
            vertices.push_back(v);
        }
    }
    MeshBuild build;
    const float radius = h * 1.7320508f;
    const uint32_t faces_per_part = 6 / part_count;
    for (uint32_t part = 0; part < part_count; ++part) {
        std::vector<uint16_t> indices;
        for (uint32_t face = part * faces_per_part; face < (part + 1) * faces_per_part; ++face) {
            const uint16_t base = static_cast<uint16_t>(face * 4);
            for (const uint16_t corner : {0, 1, 2, 0, 2, 3}) {
                indices.push_back(static_cast<uint16_t>(base + corner));
            }
        }
        build.streams.push_back(
            {cube_vertex_stride | independent_bits, as_bytes(vertices.data(), vertices.size() * sizeof(float)), 0});
        build.streams.push_back(
            {stream_format_index | 2, as_bytes(indices.data(), indices.size() * sizeof(uint16_t)), 0});
        MeshBuildPart built_part;
        built_part.sphere = {0, 0, 0, radius};
        built_part.sub_parts.push_back({part * 2, 2, 0, {0, 0, 0, radius}});
        build.parts.push_back(built_part);
    }
    MeshBuildMaterial material;
    material.shader_index = shader_index;
    material.tables[1] = std::move(textures);
    material.tables[4] = cube_fibre_tags();
    build.material_sets.push_back({material});
    build.sphere = {0, 0, 0, radius};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        build.box_minimum[axis] = -h;
        build.box_maximum[axis] = h;
    }
    return build;
}

inline MeshResources lay_out_mesh(const MeshBuild& build) {
    MeshResources resources;
    std::string error;
    EXPECT_TRUE(build_mesh_resources(build, &resources, &error)) << error;
    return resources;
}

inline void add_mesh(std::vector<tools::PackResource>& resources, uint32_t mesh_number, const MeshResources& mesh) {
    resources.push_back(test::make_resource(mesh_resource_base + mesh_number, mesh.mesh, 4));
    resources.push_back(test::make_resource(stream_layout_resource_base + mesh_number, mesh.stream_layout));
    resources.push_back(test::make_resource(vertex_data_resource_base + mesh_number, mesh.vertex_data));
}

}  // namespace zolt::renderer::test_support
