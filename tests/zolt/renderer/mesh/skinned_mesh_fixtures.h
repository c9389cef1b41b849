#pragma once
// A skinned strip and the three-bone skeleton it was skinned to, as content
// states them, with the test's own double-precision skinning as the oracle.
// The strip stands in clip space, three segments one above the other: the
// lowest (red) on bone 0, the middle (green) on bone 1 with its top edge
// shared half and half with bone 2, the top (blue) on bone 2. Two bone
// batches: the first with a palette stretch of bone 0 alone, the second with
// bones 1 and 2, so vertices name palette entries of their own batch.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "libs/geometry/matrix.h"
#include "zolt/renderer/animation/skeleton_format.h"
#include "zolt/renderer/mesh/mesh_fixtures.h"

namespace zolt::renderer::test_support {

struct SkinnedStripVertex {
    float position[3];
    uint8_t colour[4];
    float weights[4];
    float entries[4];
};
static_assert(sizeof(SkinnedStripVertex) == 48);

constexpr uint32_t strip_segment_count = 3;
constexpr float strip_half_width = 0.1f;
// The joints' heights in the bind pose: bone i stands at strip_joints[i]
// and its segment reaches up to the next joint.
constexpr float strip_joints[4] = {-0.75f, -0.25f, 0.25f, 0.75f};
constexpr uint8_t strip_colours[3][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
const int32_t strip_palette[] = {0, 1, 2};

// Position, colour, weights, palette entries of the vertex's batch.
inline std::vector<uint32_t> skinned_strip_fibre_tags() {
    return {1u << shader_library::fibre_source_stream_shift,
            make_fibre_format(FibreSourceFormat::float_3, offsetof(SkinnedStripVertex, position)),
            make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, offsetof(SkinnedStripVertex, colour)),
            make_fibre_format(FibreSourceFormat::float_4, offsetof(SkinnedStripVertex, weights)),
            make_fibre_format(FibreSourceFormat::float_4, offsetof(SkinnedStripVertex, entries))};
}

inline std::vector<SkinnedStripVertex> make_skinned_strip_vertices() {
    std::vector<SkinnedStripVertex> vertices;
    for (uint32_t segment = 0; segment < strip_segment_count; ++segment) {
        // Within the second batch bone 1 is entry 0 and bone 2 entry 1.
        const float own_entry = segment == 2 ? 1.0f : 0.0f;
        for (const auto& [x, top] : {std::pair{-strip_half_width, false}, {strip_half_width, false},
                                     {strip_half_width, true}, {-strip_half_width, true}}) {
            SkinnedStripVertex vertex{{x, strip_joints[segment + (top ? 1 : 0)], 0},
                                      {strip_colours[segment][0], strip_colours[segment][1], strip_colours[segment][2],
                                       strip_colours[segment][3]},
                                      {1, 0, 0, 0},
                                      {own_entry, 0, 0, 0}};
            if (segment == 1 && top) {
                vertex.weights[0] = vertex.weights[1] = 0.5f;
                vertex.entries[1] = 1;
            }
            vertices.push_back(vertex);
        }
    }
    return vertices;
}

// One part of one sub-part; its layout word asks for the skinning variant.
inline MeshBuild make_skinned_strip_build(uint32_t shader_index) {
    const std::vector<SkinnedStripVertex> vertices = make_skinned_strip_vertices();
    std::vector<uint16_t> indices;
    for (uint16_t segment = 0; segment < strip_segment_count; ++segment) {
        for (const uint16_t corner : {0, 1, 2, 0, 2, 3}) {
            indices.push_back(static_cast<uint16_t>(segment * 4 + corner));
        }
    }
    MeshBuild build;
    build.streams.push_back({sizeof(SkinnedStripVertex),
                             as_bytes(vertices.data(), vertices.size() * sizeof(SkinnedStripVertex)), 0});
    build.streams.push_back({stream_format_index | 2, as_bytes(indices.data(), indices.size() * sizeof(uint16_t)), 0});
    const MeshSphere sphere{0, 0, 0, 1};
    MeshBuildPart part;
    part.sphere = sphere;
    MeshBuildSubPart sub_part{0, 2, 0, sphere};
    sub_part.first_bone_batch = 0;
    sub_part.bone_batch_count = 2;
    part.sub_parts.push_back(sub_part);
    build.parts.push_back(part);
    build.bone_count = 3;
    build.bone_batches = {{2, 0, 1}, {4, 1, 2}};
    build.palette.assign(std::begin(strip_palette), std::end(strip_palette));
    build.layout_word = 1;
    MeshBuildMaterial material;
    material.shader_index = shader_index;
    material.tables[4] = skinned_strip_fibre_tags();
    build.material_sets.push_back({material});
    build.sphere = sphere;
    for (uint32_t axis = 0; axis < 3; ++axis) {
        build.box_minimum[axis] = -1;
        build.box_maximum[axis] = 1;
    }
    return build;
}

// Bones 0 <- 1 <- 2 at the strip's joints, rest rotations the identity;
// the bind matrices undo the rest pose.
inline std::vector<uint8_t> build_strip_skeleton() {
    std::vector<animation::SkeletonChannelDescription> bones(3);
    std::vector<geometry::Matrix4> binds(3);
    for (uint32_t bone = 0; bone < 3; ++bone) {
        bones[bone].key = 10 * (bone + 1);
        bones[bone].parent = bone == 0 ? animation::no_parent : bone - 1;
        bones[bone].rest.position = {0, bone == 0 ? strip_joints[0] : strip_joints[bone] - strip_joints[bone - 1], 0};
        binds[bone].rows[3] = {0, -strip_joints[bone], 0, 1};
    }
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(animation::build_skeleton_resource(bones, {}, binds, &bytes, &error)) << error;
    return bytes;
}

// A pose of the strip's bones: each bone's local turn about z (radians) and
// the root's position.
struct StripPose {
    double root_x = 0, root_y = strip_joints[0];
    double turns[3] = {};
};

struct PointD {
    double x = 0, y = 0;
};

// The test's own skinning, in double precision: each bone's world turn and
// position composed down the chain, each vertex the weighted sum of its
// bones carrying it from their bind positions.
inline std::array<PointD, 12> skin_strip(const StripPose& pose) {
    double angle[3], x[3], y[3];
    for (uint32_t bone = 0; bone < 3; ++bone) {
        if (bone == 0) {
            angle[0] = pose.turns[0];
            x[0] = pose.root_x;
            y[0] = pose.root_y;
            continue;
        }
        const double length = strip_joints[bone] - strip_joints[bone - 1];
        angle[bone] = angle[bone - 1] + pose.turns[bone];
        x[bone] = x[bone - 1] - std::sin(angle[bone - 1]) * length;
        y[bone] = y[bone - 1] + std::cos(angle[bone - 1]) * length;
    }
    const std::vector<SkinnedStripVertex> vertices = make_skinned_strip_vertices();
    std::array<PointD, 12> skinned{};
    for (uint32_t index = 0; index < vertices.size(); ++index) {
        const SkinnedStripVertex& v = vertices[index];
        const uint32_t first_entry = index < 4 ? 0 : 1;
        for (uint32_t influence = 0; influence < 4; ++influence) {
            if (v.weights[influence] == 0) {
                continue;
            }
            const int32_t bone = strip_palette[first_entry + static_cast<uint32_t>(v.entries[influence])];
            const double local_x = v.position[0];
            const double local_y = v.position[1] - strip_joints[bone];
            const double c = std::cos(angle[bone]), s = std::sin(angle[bone]);
            skinned[index].x += v.weights[influence] * (c * local_x - s * local_y + x[bone]);
            skinned[index].y += v.weights[influence] * (s * local_x + c * local_y + y[bone]);
        }
    }
    return skinned;
}

}  // namespace zolt::renderer::test_support
