// Meshes over real packs in the batcher's GL world: sharing by id, the
// streams a resource's meshes share, queueing into the layers with the
// hidden mask, clip volume and layer mask, drawing, refused resources, the
// builtins and a saved and loaded world.
#include "zolt/renderer/mesh/mesh_server.h"

#include <gtest/gtest.h>

#include "libs/io/little_endian_fields.h"
#include "support/builtin_call.h"
#include "zcontent/lib/gltf_mesh_import.h"
#include "support/world_round_trip.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_fixtures.h"
#include "zolt/renderer/mesh/mesh_queue.h"
#include "zolt/renderer/view/sector_geometry_queue.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/navigation/sector.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;

constexpr uint32_t cube = 1;
constexpr uint32_t three_parts = 2;
constexpr uint32_t many_parts = 3;
constexpr uint32_t independent = 4;
constexpr uint32_t broken = 5;
constexpr uint32_t unlisted_streams = 6;
constexpr uint32_t imported = 7;
constexpr uint32_t hideable_test_part_count = 33;

// The layered entry's two colours as the material's vectors.
void colour_material(MeshBuild& build, float red, float green, float blue) {
    std::vector<uint32_t>& vectors = build.material_sets[0][0].tables[0];
    vectors.clear();
    for (int copy = 0; copy < 2; ++copy) {
        for (const float value : {red, green, blue, 1.0f}) {
            uint32_t word;
            std::memcpy(&word, &value, sizeof word);
            vectors.push_back(word);
        }
    }
}

MeshBuild make_coloured_cube(float h, uint32_t part_count = 1, uint32_t independent_bits = 0) {
    MeshBuild build = test_support::make_cube_build(h, test_support::layered_entry, {}, part_count, independent_bits);
    colour_material(build, 1, 0, 0);
    return build;
}

// Every part the first part again: the same two streams.
MeshBuild make_many_parts() {
    MeshBuild build = make_coloured_cube(0.5f);
    while (build.parts.size() < hideable_test_part_count) {
        build.parts.push_back(build.parts.front());
    }
    return build;
}

// Two textured primitives of two materials, as a content file would hold
// them: a quad over the left half of clip space at depth 0 and one over the
// right half, both through the identity transforms.
MeshResources import_two_quads() {
    const float positions[] = {-0.75f, -0.5f, 0, -0.25f, -0.5f, 0, -0.25f, 0.5f, 0, -0.75f, 0.5f, 0,
                               0.25f,  -0.5f, 0, 0.75f,  -0.5f, 0, 0.75f,  0.5f, 0, 0.25f,  0.5f, 0};
    const float uvs[] = {0, 0, 1, 0, 1, 1, 0, 1};
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    std::vector<uint8_t> buffer = test_support::as_bytes(positions, sizeof positions);
    const std::vector<uint8_t> uv_bytes = test_support::as_bytes(uvs, sizeof uvs);
    const std::vector<uint8_t> index_bytes = test_support::as_bytes(indices, sizeof indices);
    buffer.insert(buffer.end(), uv_bytes.begin(), uv_bytes.end());
    buffer.insert(buffer.end(), index_bytes.begin(), index_bytes.end());
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string base64;
    for (size_t at = 0; at < buffer.size(); at += 3) {
        const uint32_t word = (uint32_t{buffer[at]} << 16) | (at + 1 < buffer.size() ? buffer[at + 1] << 8 : 0) |
                              (at + 2 < buffer.size() ? buffer[at + 2] : 0);
        base64 += alphabet[(word >> 18) & 63];
        base64 += alphabet[(word >> 12) & 63];
        base64 += at + 1 < buffer.size() ? alphabet[(word >> 6) & 63] : '=';
        base64 += at + 2 < buffer.size() ? alphabet[word & 63] : '=';
    }
    const std::string text = R"({"asset": {"version": "2.0"},
      "buffers": [{"byteLength": )" + std::to_string(buffer.size()) +
                             R"(, "uri": "data:application/octet-stream;base64,)" + base64 + R"("}],
      "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 48},
                      {"buffer": 0, "byteOffset": 96, "byteLength": 32}, {"buffer": 0, "byteOffset": 128, "byteLength": 12}],
      "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3"},
                    {"bufferView": 1, "componentType": 5126, "count": 4, "type": "VEC3"},
                    {"bufferView": 2, "componentType": 5126, "count": 4, "type": "VEC2"},
                    {"bufferView": 3, "componentType": 5123, "count": 6, "type": "SCALAR"}],
      "materials": [{"name": "stone"}, {"name": "wood"}],
      "meshes": [{"primitives": [
        {"attributes": {"POSITION": 0, "TEXCOORD_0": 2}, "indices": 3, "material": 0},
        {"attributes": {"POSITION": 1, "TEXCOORD_0": 2}, "indices": 3, "material": 1}]}],
      "nodes": [{"mesh": 0}], "scenes": [{"nodes": [0]}], "scene": 0})";
    tools::GltfDocument document;
    tools::MeshEntry entry;
    entry.name = "mesh 0x0007";
    entry.number = imported;
    entry.materials = {{"stone", {test_support::layered_entry, 0x20000010}},
                       {"wood", {test_support::layered_entry, 0x20000010}}};
    MeshBuild build;
    std::string error;
    EXPECT_TRUE(tools::load_gltf_text(text, "", "two_quads.gltf", &document, &error) &&
                tools::import_gltf_mesh(document, entry, &build, &error))
        << error;
    // The flat entry colours each material from its first vector.
    for (uint32_t material = 0; material < build.material_sets[0].size(); ++material) {
        const float green = material == 0 ? 1.0f : 0.0f;
        for (int copy = 0; copy < 2; ++copy) {
            for (const float value : {0.0f, green, 1.0f - green, 1.0f}) {
                uint32_t word;
                std::memcpy(&word, &value, sizeof word);
                build.material_sets[0][material].tables[0].push_back(word);
            }
        }
    }
    return test_support::lay_out_mesh(build);
}

class MeshWorld : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        test_support::add_mesh(extra_resources_, cube, test_support::lay_out_mesh(make_coloured_cube(0.5f)));
        test_support::add_mesh(extra_resources_, three_parts, test_support::lay_out_mesh(make_coloured_cube(0.5f, 3)));
        test_support::add_mesh(extra_resources_, many_parts, test_support::lay_out_mesh(make_many_parts()));
        test_support::add_mesh(extra_resources_, independent,
                               test_support::lay_out_mesh(make_coloured_cube(0.5f, 1, stream_layout_independent)));
        MeshResources refused = test_support::lay_out_mesh(make_coloured_cube(0.5f));
        // The first index names a vertex past the 24 the cube has.
        const uint32_t index_offset = read_field<uint32_t>(refused.stream_layout.data(), 16 + 4);
        write_field<uint16_t>(refused.vertex_data, index_offset, 40);
        test_support::add_mesh(extra_resources_, broken, refused);
        test_support::add_mesh(extra_resources_, imported, import_two_quads());
        MeshResources without_layout = test_support::lay_out_mesh(make_coloured_cube(0.5f));
        extra_resources_.push_back(test::make_resource(mesh_resource_base + unlisted_streams, without_layout.mesh, 4));
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        mesh_server.register_server();
        set_active_render_layers(1u << depth_layer);
        context_.set_object_transform({}, {});
    }
    void TearDown() override {
        if (mesh_server.is_registered()) {
            mesh_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

    // Requests taken by the depth layer, the only active one.
    uint32_t count_queued(const Mesh* mesh, uint32_t hidden = 0, const geometry::Frustum* clip = nullptr) {
        // Selection happens on the rendering side before any view.
        material_server.process_pending();
        const uint32_t before = get_free_render_request_count();
        MeshRequestTemplate request;
        request.info.visibility_context = &context_;
        request.hidden_parts = hidden;
        request.clip_volume = clip;
        queue_mesh_render_requests(request, mesh->get_render(), 0);
        const uint32_t queued = before - get_free_render_request_count();
        RenderLayer* const depth = get_render_layer(depth_layer);
        depth->begin_frame(depth_layer);
        depth->render_request_pass(depth_layer, true);
        return queued;
    }

    VisibilityContext context_;
};

TEST_F(MeshWorld, APlainIdIsSharedAndDestroyedOnlyAfterItsLastRelease) {
    Mesh* const first = mesh_server.acquire_mesh(cube);
    Mesh* const second = mesh_server.acquire_mesh(cube);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->get_reference_count(), 2u);
    const core::ObjectHandle handle = first->get_handle();

    // Another material set of the same resource is another mesh in its ring.
    Mesh* const other_set = mesh_server.acquire_mesh(cube | 1u << mesh_material_set_shift);
    EXPECT_NE(other_set, first);
    EXPECT_EQ(first->get_ring_next(), other_set->get_handle());
    EXPECT_EQ(other_set->get_ring_next(), handle);
    EXPECT_EQ(mesh_server.ring_head(core::get_handle_index(first->get_resource_object())), handle);

    // Variant and cloth ids never share.
    Mesh* const variant = mesh_server.acquire_mesh(cube | mesh_id_variant);
    Mesh* const cloth = mesh_server.acquire_mesh(cube | mesh_id_cloth);
    EXPECT_NE(variant, first);
    EXPECT_NE(cloth, first);
    EXPECT_NE(mesh_server.acquire_mesh(cube | mesh_id_cloth), cloth);
    // A cloth mesh's vertex streams have room for the cloth's vertices.
    ASSERT_NE(cloth->get_render().streams, nullptr);
    const Stream* const cloth_vertices = cloth->get_render().streams[0];
    EXPECT_EQ(cloth_vertices->size, test_support::cube_vertex_stride * default_cloth_vertex_count);
    EXPECT_TRUE(cloth->has_private_data());

    mesh_server.release_mesh(first);
    EXPECT_EQ(mesh_server.find_mesh(handle), first);
    mesh_server.release_mesh(second);
    EXPECT_EQ(mesh_server.find_mesh(handle), nullptr);
    // The ring's head moved on to a mesh still in it.
    const core::ObjectHandle head = mesh_server.ring_head(core::get_handle_index(other_set->get_resource_object()));
    EXPECT_NE(head, handle);
    EXPECT_NE(mesh_server.find_mesh(head), nullptr);
}

TEST_F(MeshWorld, MeshesOfOneResourceShareItsStreamsUntilTheLastOneGoes) {
    Mesh* const first = mesh_server.acquire_mesh(cube);
    Mesh* const second = mesh_server.acquire_mesh(cube | mesh_id_variant);
    EXPECT_EQ(first->get_render().streams[0], second->get_render().streams[0]);
    EXPECT_EQ(first->get_render().streams[1], second->get_render().streams[1]);
    EXPECT_FALSE(first->has_private_streams());

    Mesh* const own_a = mesh_server.acquire_mesh(independent | mesh_id_variant);
    Mesh* const own_b = mesh_server.acquire_mesh(independent | mesh_id_variant);
    EXPECT_NE(own_a->get_render().streams[0], own_b->get_render().streams[0]);
    EXPECT_EQ(own_a->get_render().streams[1], own_b->get_render().streams[1]);
    EXPECT_TRUE(own_a->has_private_streams());
    EXPECT_EQ(own_a->get_render().private_streams, 1);

    // The first goes; the second still draws with the shared streams.
    const uint32_t retired = get_retired_stream_count();
    mesh_server.release_mesh(first);
    mesh_server.release_dead_objects(true);
    EXPECT_EQ(get_retired_stream_count(), retired);
    clear_to(0xFF000000);
    EXPECT_EQ(count_queued(second), 1u);
    EXPECT_EQ(read_pixel(32, 32), (Pixel{255, 0, 0, 255}));
    mesh_server.release_mesh(second);
    mesh_server.release_dead_objects(true);
    EXPECT_EQ(get_retired_stream_count(), retired + 2);
}

TEST_F(MeshWorld, QueueingHonoursTheHiddenMaskTheClipVolumeAndTheActiveLayers) {
    const Mesh* const parts = mesh_server.acquire_mesh(three_parts);
    EXPECT_EQ(count_queued(parts), 3u);
    EXPECT_EQ(count_queued(parts, 0b101), 1u);

    // Part 32 and beyond cannot be hidden.
    const Mesh* const many = mesh_server.acquire_mesh(many_parts);
    EXPECT_EQ(count_queued(many, 0xFFFFFFFF), hideable_test_part_count - 32);

    geometry::Frustum outside;
    geometry::Frustum inside;
    for (uint32_t plane = 0; plane < geometry::frustum_plane_count; ++plane) {
        outside.planes[plane] = {1, 0, 0, -10};
        inside.planes[plane] = {1, 0, 0, 10};
    }
    EXPECT_EQ(count_queued(parts, 0, &outside), 0u);
    EXPECT_EQ(count_queued(parts, 0, &inside), 3u);

    // No active layer takes the material's slots.
    set_active_render_layers(0);
    EXPECT_EQ(count_queued(parts), 0u);
}

TEST_F(MeshWorld, AQueuedCubeDrawsItsFacesWithTheMaterialFromTheResource) {
    clear_to(0xFF000000);
    const Mesh* const mesh = mesh_server.acquire_mesh(three_parts);
    ASSERT_EQ(count_queued(mesh), 3u);
    // Identity transforms: the cube's front face spans the middle half.
    EXPECT_EQ(read_pixel(32, 32), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(read_pixel(17, 17), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(read_pixel(14, 32), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(read_pixel(50, 50), (Pixel{0, 0, 0, 255}));
}

TEST_F(MeshWorld, ASectorsMeshIsQueuedWithItsPlacementOnlyWhenItHasBoth) {
    const Mesh* const mesh = mesh_server.acquire_mesh(three_parts);
    servers::SectorRender sector;
    sector.mesh = mesh->get_handle();
    sector.has_placement = 1;
    sector.world_position = {0.25f, 0, 0};
    SectorView view;
    view.sector = &sector;
    for (geometry::Plane& plane : view.clip_volume.planes) {
        plane = {1, 0, 0, 10};
    }
    material_server.process_pending();
    const uint32_t before = get_free_render_request_count();
    queue_sector_geometry(context_, view);
    EXPECT_EQ(before - get_free_render_request_count(), 3u);
    EXPECT_EQ(context_.object_position.x, 0.25f);
    RenderLayer* const depth = get_render_layer(depth_layer);
    depth->begin_frame(depth_layer);
    depth->render_request_pass(depth_layer, true);

    // The view's clip volume culls the parts; a sector without a placement
    // or a mesh queues nothing.
    for (geometry::Plane& plane : view.clip_volume.planes) {
        plane = {1, 0, 0, -10};
    }
    queue_sector_geometry(context_, view);
    EXPECT_EQ(get_free_render_request_count(), before);
    sector.has_placement = 0;
    queue_sector_geometry(context_, view);
    sector.has_placement = 1;
    sector.mesh = 0;
    queue_sector_geometry(context_, view);
    EXPECT_EQ(get_free_render_request_count(), before);
}

TEST_F(MeshWorld, AnImportedGltfOfTwoPrimitivesDrawsEachWithItsMaterial) {
    clear_to(0xFFFFFFFF);
    const Mesh* const mesh = mesh_server.acquire_mesh(imported);
    ASSERT_EQ(mesh->get_render().material_count, 2u);
    EXPECT_EQ(count_queued(mesh), 2u);
    EXPECT_EQ(read_pixel(16, 32), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(read_pixel(48, 32), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(read_pixel(32, 32), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(read_pixel(16, 4), (Pixel{255, 255, 255, 255}));
}

TEST_F(MeshWorld, ARefusedResourceGivesAMeshThatDrawsNothing) {
    const Mesh* const refused = mesh_server.acquire_mesh(broken);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->get_render().header.part_count, 0u);
    EXPECT_EQ(count_queued(refused), 0u);
    const Mesh* const without_layout = mesh_server.acquire_mesh(unlisted_streams);
    EXPECT_EQ(count_queued(without_layout), 0u);
}

TEST_F(MeshWorld, BuiltinsAnswerTheMaterialsAndNeutralResultsForWrongHandles) {
    core::bind_all_builtins();
    const Mesh* const mesh = mesh_server.acquire_mesh(cube);
    const uint32_t handle = mesh->get_handle();
    test::BuiltinCall call;
    const uint32_t material = call.call(596, {0, handle}).word();
    EXPECT_EQ(material, mesh->get_render().materials[0]->get_handle());
    EXPECT_EQ(call.call(596, {1, handle}).word(), 0u);
    EXPECT_EQ(call.call(596, {0, material}).word(), 0u);
    EXPECT_EQ(call.call(595, {handle}).word(), 0u);
    EXPECT_EQ(call.call(595, {material}).word(), 0u);
}

TEST_F(MeshWorld, MeshesSurviveASavedAndLoadedWorld) {
    Mesh* const shared = mesh_server.acquire_mesh(cube);
    mesh_server.acquire_mesh(cube);
    Mesh* const own = mesh_server.acquire_mesh(independent | mesh_id_variant);
    const core::ObjectHandle shared_handle = shared->get_handle();
    const core::ObjectHandle own_handle = own->get_handle();
    const core::ObjectHandle material = shared->get_render().materials[0]->get_handle();

    ASSERT_TRUE(test::save_and_load_world(3));

    Mesh* const loaded = mesh_server.find_mesh(shared_handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_reference_count(), 2u);
    EXPECT_EQ(loaded->get_render().materials[0]->get_handle(), material);
    EXPECT_EQ(mesh_server.acquire_mesh(cube), loaded);
    Mesh* const loaded_own = mesh_server.find_mesh(own_handle);
    ASSERT_NE(loaded_own, nullptr);
    EXPECT_TRUE(loaded_own->has_private_streams());
    clear_to(0xFF000000);
    EXPECT_EQ(count_queued(loaded), 1u);
    EXPECT_EQ(read_pixel(32, 32), (Pixel{255, 0, 0, 255}));
}

}  // namespace
}  // namespace zolt::renderer
