// Meshes from glTF: parts per node, sub-parts per primitive with their
// listed materials, node transforms baked, normals and tangents generated,
// and the features the importer refuses named in its message.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>

#include "libs/io/little_endian_fields.h"
#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/gltf_mesh_import.h"
#include "zolt/renderer/backend/stream.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;

std::string encode_base64(const std::vector<uint8_t>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const uint32_t word = (uint32_t{bytes[at]} << 16) | (at + 1 < bytes.size() ? bytes[at + 1] << 8 : 0) |
                              (at + 2 < bytes.size() ? bytes[at + 2] : 0);
        text += alphabet[(word >> 18) & 63];
        text += alphabet[(word >> 12) & 63];
        text += at + 1 < bytes.size() ? alphabet[(word >> 6) & 63] : '=';
        text += at + 2 < bytes.size() ? alphabet[word & 63] : '=';
    }
    return text;
}

// A room: node "floor" moved by (10, 0, 0) holds a mesh of two primitives,
// a textured quad of material "stone" (no normals: generated) and a
// triangle of material "wood" with normals; its child "mirror", scaled by
// -1 along x, holds a mesh of one "stone" primitive.
class GltfRoom {
public:
    GltfRoom() {
        const std::vector<float> quad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        const std::vector<float> quad_uv = {0, 0, 1, 0, 1, 1, 0, 1};
        const std::vector<uint16_t> quad_indices = {0, 1, 2, 0, 2, 3};
        const std::vector<float> triangle = {0, 0, 1, 1, 0, 1, 0, 1, 1};
        const std::vector<float> triangle_normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
        const size_t positions = add(quad.data(), quad.size() * 4, 5126, "VEC3", 4);
        const size_t uvs = add(quad_uv.data(), quad_uv.size() * 4, 5126, "VEC2", 4);
        const size_t indices = add(quad_indices.data(), quad_indices.size() * 2, 5123, "SCALAR", 6);
        const size_t triangle_positions = add(triangle.data(), triangle.size() * 4, 5126, "VEC3", 3);
        const size_t normals = add(triangle_normals.data(), triangle_normals.size() * 4, 5126, "VEC3", 3);
        document["asset"] = {{"version", "2.0"}};
        document["buffers"] = Json::array({{{"byteLength", buffer.size()},
                                            {"uri", "data:application/octet-stream;base64," + encode_base64(buffer)}}});
        document["bufferViews"] = views;
        document["accessors"] = accessors;
        document["materials"] = Json::array({{{"name", "stone"}}, {{"name", "wood"}}});
        const Json stone_quad = {{"attributes", {{"POSITION", positions}, {"TEXCOORD_0", uvs}}},
                                 {"indices", indices},
                                 {"material", 0}};
        document["meshes"] = Json::array(
            {{{"primitives",
               Json::array({stone_quad, {{"attributes", {{"POSITION", triangle_positions}, {"NORMAL", normals}}},
                                         {"material", 1}}})}},
             {{"primitives", Json::array({stone_quad})}}});
        document["nodes"] = Json::array({{{"name", "floor"}, {"mesh", 0}, {"translation", {10, 0, 0}}, {"children", {1}}},
                                         {{"name", "mirror"}, {"mesh", 1}, {"scale", {-1, 1, 1}}}});
        document["scenes"] = Json::array({{{"nodes", {0}}}});
        document["scene"] = 0;
        entry.name = "mesh 0x0001";
        entry.number = 1;
        entry.materials = {{"stone", {20, 0x20000010}}, {"wood", {13, 0}}};
    }

    bool import(renderer::MeshBuild* build, std::string* error) const {
        GltfDocument loaded;
        return load_gltf_text(document.dump(), "", "room.gltf", &loaded, error) &&
               import_gltf_mesh(loaded, entry, build, error);
    }

    Json document;
    MeshEntry entry;

private:
    size_t add(const void* data, size_t size, int component_type, const char* type, size_t count) {
        const size_t offset = buffer.size();
        buffer.resize(offset + (size + 3) / 4 * 4);
        std::memcpy(buffer.data() + offset, data, size);
        views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
        accessors.push_back(
            {{"bufferView", views.size() - 1}, {"componentType", component_type}, {"count", count}, {"type", type}});
        return accessors.size() - 1;
    }

    std::vector<uint8_t> buffer;
    Json views = Json::array();
    Json accessors = Json::array();
};

std::array<float, 13> read_vertex(const renderer::MeshBuildStream& stream, uint32_t index) {
    std::array<float, 13> values;
    std::memcpy(values.data(), stream.bytes.data() + index * gltf_vertex_stride, sizeof values);
    return values;
}

TEST(GltfMeshImport, NodesBecomePartsAndPrimitivesSubPartsWithTheirListedMaterials) {
    const GltfRoom room;
    renderer::MeshBuild build;
    std::string error;
    ASSERT_TRUE(room.import(&build, &error)) << error;
    ASSERT_EQ(build.parts.size(), 2u);
    ASSERT_EQ(build.parts[0].sub_parts.size(), 2u);
    ASSERT_EQ(build.parts[1].sub_parts.size(), 1u);
    ASSERT_EQ(build.material_sets.size(), 1u);
    ASSERT_EQ(build.material_sets[0].size(), 2u);
    EXPECT_EQ(build.material_sets[0][0].shader_index, 20u);
    EXPECT_EQ(build.material_sets[0][0].tables[1], std::vector<uint32_t>{0x20000010});
    EXPECT_EQ(build.material_sets[0][1].shader_index, 13u);
    EXPECT_TRUE(build.material_sets[0][1].tables[1].empty());
    EXPECT_EQ(build.parts[0].sub_parts[1].material_index, 1u);
    EXPECT_EQ(build.parts[1].sub_parts[0].material_index, 0u);
    ASSERT_EQ(build.streams.size(), 6u);
    EXPECT_EQ(build.streams[1].format, renderer::stream_format_index | 2);

    // The quad moved by the node: position, generated normal +z, tangent
    // along u = +x, right-handed, texture coordinates kept.
    const auto corner = read_vertex(build.streams[0], 1);
    EXPECT_EQ((std::array<float, 3>{corner[0], corner[1], corner[2]}), (std::array<float, 3>{11, 0, 0}));
    EXPECT_EQ((std::array<float, 3>{corner[3], corner[4], corner[5]}), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ((std::array<float, 4>{corner[6], corner[7], corner[8], corner[9]}),
              (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_EQ(corner[10], 1.0f);
    EXPECT_EQ(corner[11], 0.0f);
    EXPECT_EQ(read_field<uint32_t>(build.streams[0].bytes.data(), 1 * gltf_vertex_stride + 48), 0xFFFFFFFFu);

    // The mirrored child: x flipped under the parent's move, the winding
    // turned round so the face still faces +z, and the tangent still along
    // increasing u (now -x) with the handedness flipped.
    const auto mirrored = read_vertex(build.streams[4], 1);
    EXPECT_EQ(mirrored[0], 9.0f);
    EXPECT_EQ(mirrored[5], 1.0f);
    EXPECT_EQ(mirrored[6], -1.0f);
    EXPECT_EQ(mirrored[9], -1.0f);
    uint16_t second_corner = 0;
    std::memcpy(&second_corner, build.streams[5].bytes.data() + 2, 2);
    EXPECT_EQ(second_corner, 2u);

    EXPECT_FLOAT_EQ(build.box_minimum[0], 9.0f);
    EXPECT_FLOAT_EQ(build.box_maximum[0], 11.0f);
    EXPECT_FLOAT_EQ(build.box_maximum[2], 1.0f);
    renderer::MeshResources resources;
    EXPECT_TRUE(renderer::build_mesh_resources(build, &resources, &error)) << error;
}

TEST(GltfMeshImport, UnsupportedFeaturesAndUnlistedMaterialsAreRefusedByName) {
    const struct {
        const char* name;
        std::function<void(GltfRoom&)> change;
        const char* expected;
    } cases[] = {
        {"unlisted material", [](GltfRoom& room) { room.entry.materials.erase("wood"); }, "\"wood\" is not listed"},
        {"sparse accessor",
         [](GltfRoom& room) {
             room.document["accessors"][0]["sparse"] = {
                 {"count", 1},
                 {"indices", {{"bufferView", 2}, {"componentType", 5123}}},
                 {"values", {{"bufferView", 0}}}};
         },
         "sparse"},
        {"Draco", [](GltfRoom& room) { room.document["extensionsUsed"] = {"KHR_draco_mesh_compression"}; }, "Draco"},
        {"morph targets",
         [](GltfRoom& room) { room.document["meshes"][1]["primitives"][0]["targets"] = {{{"POSITION", 0}}}; },
         "morph targets"},
        {"lines", [](GltfRoom& room) { room.document["meshes"][1]["primitives"][0]["mode"] = 1; }, "triangle"},
        {"no material", [](GltfRoom& room) { room.document["meshes"][1]["primitives"][0].erase("material"); },
         "no material"},
    };
    for (const auto& test : cases) {
        GltfRoom room;
        test.change(room);
        renderer::MeshBuild build;
        std::string error;
        EXPECT_FALSE(room.import(&build, &error)) << test.name;
        EXPECT_NE(error.find(test.expected), std::string::npos) << test.name << ": " << error;
    }
}

// A skinned quad: node "body" (moved by (10, 0, 0), which a skinned node
// ignores) with skin 0 of five joints. Corner 0 hangs on joint 2 alone;
// corner 1 on joints 0 to 3 (JOINTS_0) and 4 (JOINTS_1), weights 0.1, 0.2,
// 0.3, 0.2 and 0.2; corners 2 and 3 on joint 3, corner 3 at half weight.
class GltfSkinnedQuad {
public:
    GltfSkinnedQuad() {
        const std::vector<float> quad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        const std::vector<uint16_t> quad_indices = {0, 1, 2, 0, 2, 3};
        const std::vector<uint8_t> joints = {2, 0, 0, 0, 0, 1, 2, 3, 3, 0, 0, 0, 3, 0, 0, 0};
        const std::vector<float> weights = {1, 0, 0, 0, 0.1f, 0.2f, 0.3f, 0.2f, 1, 0, 0, 0, 0.5f, 0, 0, 0};
        const std::vector<uint8_t> more_joints = {0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const std::vector<float> more_weights = {0, 0, 0, 0, 0.2f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const size_t positions = add(quad.data(), quad.size() * 4, 5126, "VEC3", 4);
        const size_t indices = add(quad_indices.data(), quad_indices.size() * 2, 5123, "SCALAR", 6);
        const size_t joint_sets[2] = {add(joints.data(), joints.size(), 5121, "VEC4", 4),
                                      add(more_joints.data(), more_joints.size(), 5121, "VEC4", 4)};
        const size_t weight_sets[2] = {add(weights.data(), weights.size() * 4, 5126, "VEC4", 4),
                                       add(more_weights.data(), more_weights.size() * 4, 5126, "VEC4", 4)};
        document["asset"] = {{"version", "2.0"}};
        document["buffers"] = Json::array({{{"byteLength", buffer.size()},
                                            {"uri", "data:application/octet-stream;base64," + encode_base64(buffer)}}});
        document["bufferViews"] = views;
        document["accessors"] = accessors;
        document["materials"] = Json::array({{{"name", "skin"}}});
        document["meshes"] = Json::array({{{"primitives", Json::array({{{"attributes",
                                                                         {{"POSITION", positions},
                                                                          {"JOINTS_0", joint_sets[0]},
                                                                          {"WEIGHTS_0", weight_sets[0]},
                                                                          {"JOINTS_1", joint_sets[1]},
                                                                          {"WEIGHTS_1", weight_sets[1]}}},
                                                                        {"indices", indices},
                                                                        {"material", 0}}})}}});
        Json nodes = Json::array({{{"name", "body"}, {"mesh", 0}, {"skin", 0}, {"translation", {10, 0, 0}}}});
        for (int joint = 0; joint < 5; ++joint) {
            nodes.push_back({{"name", "j" + std::to_string(joint)}});
        }
        document["nodes"] = nodes;
        document["skins"] = Json::array({{{"joints", {1, 2, 3, 4, 5}}}});
        document["scenes"] = Json::array({{{"nodes", {0, 1, 2, 3, 4, 5}}}});
        document["scene"] = 0;
        entry.name = "mesh 0x0002";
        entry.number = 2;
        entry.materials = {{"skin", {27, 0}}};
    }

    bool import(renderer::MeshBuild* build, std::string* error) const {
        GltfDocument loaded;
        return load_gltf_text(document.dump(), "", "body.gltf", &loaded, error) &&
               import_gltf_mesh(loaded, entry, build, error);
    }

    Json document;
    MeshEntry entry;

private:
    size_t add(const void* data, size_t size, int component_type, const char* type, size_t count) {
        const size_t offset = buffer.size();
        buffer.resize(offset + (size + 3) / 4 * 4);
        std::memcpy(buffer.data() + offset, data, size);
        views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
        accessors.push_back(
            {{"bufferView", views.size() - 1}, {"componentType", component_type}, {"count", count}, {"type", type}});
        return accessors.size() - 1;
    }

    std::vector<uint8_t> buffer;
    Json views = Json::array();
    Json accessors = Json::array();
};

TEST(GltfMeshImport, ASkinnedNodeKeepsItsBindSpaceAndItsFourHeaviestJointsInOneBoneBatch) {
    const GltfSkinnedQuad quad;
    renderer::MeshBuild build;
    std::string error;
    ASSERT_TRUE(quad.import(&build, &error)) << error;
    EXPECT_EQ(build.bone_count, 5u);
    EXPECT_NE(build.layout_word, 0u);
    ASSERT_EQ(build.streams.size(), 2u);
    EXPECT_EQ(build.streams[0].format, gltf_skinned_vertex_stride);
    ASSERT_EQ(build.material_sets[0][0].tables[4].size(), gltf_skinned_fibre_tag_count);
    // The palette holds the joints in their first use; joint 0 lost to the
    // heavier four and is not there.
    EXPECT_EQ(build.palette, (std::vector<int32_t>{2, 1, 3, 4}));
    ASSERT_EQ(build.bone_batches.size(), 1u);
    EXPECT_EQ(build.bone_batches[0].primitive_count, 2u);
    EXPECT_EQ(build.bone_batches[0].first_palette_entry, 0u);
    EXPECT_EQ(build.bone_batches[0].palette_length, 4u);
    const renderer::MeshBuildSubPart& sub_part = build.parts[0].sub_parts[0];
    EXPECT_EQ(sub_part.first_bone_batch, 0u);
    EXPECT_EQ(sub_part.bone_batch_count, 1u);

    auto read = [&](uint32_t vertex, uint32_t offset, uint32_t index) {
        float value;
        std::memcpy(&value, build.streams[0].bytes.data() + vertex * gltf_skinned_vertex_stride + offset + index * 4,
                    4);
        return value;
    };
    // Bind space: the node's move is not baked in.
    EXPECT_EQ(read(1, gltf_vertex_offset::position, 0), 1.0f);
    // Corner 1: joints 2, 1, 3, 4 (entries 0 to 3), weights renormalised
    // from 0.3, 0.2, 0.2, 0.2.
    const float expected_weights[4] = {0.3f / 0.9f, 0.2f / 0.9f, 0.2f / 0.9f, 0.2f / 0.9f};
    for (uint32_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(read(1, gltf_vertex_offset::weights, k), expected_weights[k], 1e-6f) << k;
        EXPECT_EQ(read(1, gltf_vertex_offset::palette_entries, k), static_cast<float>(k)) << k;
    }
    // Corner 3's half weight becomes the whole.
    EXPECT_EQ(read(3, gltf_vertex_offset::weights, 0), 1.0f);
    EXPECT_EQ(read(3, gltf_vertex_offset::weights, 1), 0.0f);
    EXPECT_EQ(read(3, gltf_vertex_offset::palette_entries, 0), 2.0f);
    renderer::MeshResources resources;
    EXPECT_TRUE(renderer::build_mesh_resources(build, &resources, &error)) << error;
}

TEST(GltfMeshImport, SkinnedPrimitivesThatCannotBecomeBoneBatchesAreRefused) {
    const struct {
        const char* name;
        std::function<void(GltfSkinnedQuad&)> change;
        const char* expected;
    } cases[] = {
        {"joint past the skin", [](GltfSkinnedQuad& quad) { quad.document["skins"][0]["joints"] = {1, 2, 3, 4}; },
         "names joint 4"},
        {"no weight",
         [](GltfSkinnedQuad& quad) {
             auto& attributes = quad.document["meshes"][0]["primitives"][0]["attributes"];
             attributes["WEIGHTS_0"] = attributes["WEIGHTS_1"];
             attributes.erase("JOINTS_1");
             attributes.erase("WEIGHTS_1");
         },
         "no weight"},
        {"no joints",
         [](GltfSkinnedQuad& quad) { quad.document["meshes"][0]["primitives"][0]["attributes"].erase("JOINTS_0"); },
         "come together"},
        {"float joints",
         [](GltfSkinnedQuad& quad) {
             auto& attributes = quad.document["meshes"][0]["primitives"][0]["attributes"];
             attributes["JOINTS_0"] = attributes["WEIGHTS_0"];
         },
         "joints must be"},
        {"a rigid node beside the skinned one",
         [](GltfSkinnedQuad& quad) { quad.document["nodes"][1]["mesh"] = 0; }, "skinned throughout"},
        {"a missing skin", [](GltfSkinnedQuad& quad) { quad.document["nodes"][0]["skin"] = 3; }, "missing skin"},
    };
    for (const auto& test : cases) {
        GltfSkinnedQuad quad;
        test.change(quad);
        renderer::MeshBuild build;
        std::string error;
        EXPECT_FALSE(quad.import(&build, &error)) << test.name;
        EXPECT_NE(error.find(test.expected), std::string::npos) << test.name << ": " << error;
    }
}

TEST(GltfMeshImport, TheManifestListsMeshesWithTheirMaterials) {
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(parse_content_manifest(
        R"({"pack": {"file": "level.pack"}, "meshes": [{"id": "0x0002", "source": "level/room_a.gltf",
            "materials": {"stone": {"shader": 20, "texture": "0x20000010"}, "glass": {"shader": 3},
                          "bricks": {"shader": 50, "texture": "0x20000010", "normal_map": "0x20000020"}}}]})",
        "content/manifest.json", &manifest, &error))
        << error;
    ASSERT_EQ(manifest.meshes.size(), 1u);
    const MeshEntry& mesh = manifest.meshes[0];
    EXPECT_EQ(mesh.number, 2u);
    EXPECT_EQ(mesh.name, "mesh 0x0002");
    EXPECT_EQ(mesh.source_path, "content/level/room_a.gltf");
    EXPECT_EQ(mesh.materials.at("stone").shader_index, 20u);
    EXPECT_EQ(mesh.materials.at("stone").texture_id, 0x20000010u);
    EXPECT_EQ(mesh.materials.at("glass").texture_id, 0u);
    EXPECT_EQ(mesh.materials.at("stone").normal_map_id, 0u);
    EXPECT_EQ(mesh.materials.at("bricks").normal_map_id, 0x20000020u);

    const std::pair<const char*, const char*> refused[] = {
        {R"([{"id": 0, "source": "a.gltf", "materials": {}}])", "mesh number"},
        {R"([{"id": 1, "source": "a.gltf"}])", "materials"},
        {R"([{"id": 1, "source": "a.gltf", "materials": {"m": {"texture": "0x20000010"}}}])", "shader"},
        {R"([{"id": 1, "source": "a.gltf", "materials": {"m": {"shader": 1, "texture": "0x10000001"}}}])", "texture"},
        {R"([{"id": 1, "source": "a.gltf", "materials": {"m": {"shader": 1, "normal_map": "0x20000010"}}}])",
         "needs a \"texture\""},
        {R"([{"id": 1, "source": "a.gltf", "materials": {"m": {"shader": 1, "texture": "0x20000010", "normal_map": 5}}}])",
         "normal_map"},
        {R"([{"id": 1, "source": "a.gltf", "materials": {}, "scale": 2}])", "unknown key"},
        {R"([{"id": 1, "source": "a.gltf", "materials": {}}, {"id": 1, "source": "b.gltf", "materials": {}}])",
         "two meshes"},
    };
    for (const auto& [meshes, expected] : refused) {
        EXPECT_FALSE(parse_content_manifest(std::string(R"({"pack": {"file": "p.pack"}, "meshes": )") + meshes + "}",
                                            "m.json", &manifest, &error))
            << meshes;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace zolt::tools
