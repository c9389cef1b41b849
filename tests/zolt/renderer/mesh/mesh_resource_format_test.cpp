// The mesh resource formats: what the builder writes reads back, and every
// way a table, a description or an index can miss its resource is refused
// with the mesh id in the message.
#include "zolt/renderer/mesh/mesh_resource_format.h"

#include <gtest/gtest.h>

#include <functional>

#include "libs/io/little_endian_fields.h"
#include "zolt/renderer/mesh/mesh_fixtures.h"
#include "zolt/renderer/mesh/skinned_mesh_fixtures.h"

namespace zolt::renderer {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t mesh_id = 0x00030007;

bool check_all(const MeshResources& resources, std::string* error) {
    return check_mesh_resource(mesh_id, resources.mesh.data(), static_cast<uint32_t>(resources.mesh.size()), error) &&
           check_mesh_streams(mesh_id, resources.mesh.data(), static_cast<uint32_t>(resources.mesh.size()),
                              resources.stream_layout.data(), static_cast<uint32_t>(resources.stream_layout.size()),
                              resources.vertex_data.data(), static_cast<uint32_t>(resources.vertex_data.size()),
                              nullptr, 0, error);
}

TEST(MeshResourceFormat, TheBuiltCubeReadsBackAsStated) {
    MeshBuild build = test_support::make_cube_build(0.5f, 13, {0x20000010}, 3);
    build.material_sets.push_back(build.material_sets.front());
    build.material_sets[1][0].shader_index = 14;
    build.layout_word = 1;
    const MeshResources resources = test_support::lay_out_mesh(build);
    std::string error;
    ASSERT_TRUE(check_all(resources, &error)) << error;

    const uint8_t* data = resources.mesh.data();
    const MeshHeader header = read_mesh_header(data);
    EXPECT_EQ(header.part_count, 3u);
    EXPECT_EQ(header.sub_part_count, 3u);
    EXPECT_EQ(header.materials_per_set, 1u);
    EXPECT_TRUE(check_mesh_material_set(mesh_id, data, static_cast<uint32_t>(resources.mesh.size()), 1, &error))
        << error;
    EXPECT_FALSE(check_mesh_material_set(mesh_id, data, static_cast<uint32_t>(resources.mesh.size()), 15, &error));
    EXPECT_FLOAT_EQ(header.box_minimum[1], -0.5f);
    EXPECT_FLOAT_EQ(header.sphere.radius, 0.5f * 1.7320508f);
    const MeshPart part = read_mesh_part(data, header, 2);
    EXPECT_EQ(part.first_sub_part, 2u);
    EXPECT_EQ(part.sub_part_count, 1u);
    const MeshSubPart sub_part = read_mesh_sub_part(data, header, 2);
    EXPECT_EQ(sub_part.first_stream, 4u);
    EXPECT_EQ(sub_part.stream_count, 2u);
    EXPECT_EQ(read_vertex_layout_word(data, header, sub_part.vertex_layout_index, 2), 1u);

    const StoredMaterialDescription second = read_stored_material(data, header, 1, 0);
    EXPECT_EQ(second.shader_index, 14u);
    ASSERT_EQ(second.tables[1].count, 1u);
    EXPECT_EQ(read_field<uint32_t>(data, second.tables[1].offset), 0x20000010u);
    EXPECT_EQ(second.tables[4].count, 3u);
    EXPECT_EQ(second.tables[0].count, 0u);

    const StoredStreamDescription indices = read_stream_description(resources.stream_layout.data(), 1);
    EXPECT_EQ(indices.format & stream_format_index, stream_format_index);
    EXPECT_EQ(get_stream_data_source(indices.format), StreamDataSource::vertex_data);
    EXPECT_EQ(indices.data_size, 2u * 12);
    EXPECT_EQ(read_field<uint16_t>(resources.vertex_data.data(), indices.source_offset + 2), 1u);
}

struct Corruption {
    const char* name;
    std::function<void(MeshResources&)> apply;
    const char* expected;
};

uint32_t header_word(const MeshResources& r, uint32_t offset) {
    return read_field<uint32_t>(r.mesh.data(), offset);
}

TEST(MeshResourceFormat, EveryTableThatMissesItsResourceIsRefusedWithTheMeshId) {
    namespace at = mesh_header_offset;
    const Corruption cases[] = {
        {"short header", [](MeshResources& r) { r.mesh.resize(mesh_header_size - 1); }, "mesh header"},
        {"part count past the end", [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::part_count, 1000000); },
         "part table"},
        {"part table offset wraps",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::part_table, 0xFFFFFFF0u); }, "part table"},
        {"sub-part count past the end",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::sub_part_count, 0x10000000); }, "sub-part table"},
        {"material count past the end",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::materials_per_set, 0x08000000); },
         "material descriptions"},
        {"part names sub-parts it lacks",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, header_word(r, at::part_table) + 4, 2); }, "part names"},
        {"sub-part names a missing material",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, header_word(r, at::sub_part_table) + 16, 1); },
         "names a material"},
        {"layout entry past the end",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, header_word(r, at::sub_part_table) + 8, 0x01000000); },
         "vertex-layout entry"},
        {"material table past the end",
         [](MeshResources& r) {
             write_field<uint32_t>(r.mesh, header_word(r, at::material_table) + 8 + 4 * 8 + 4, 0x40000000);
         },
         "table past"},
        {"material table unaligned",
         [](MeshResources& r) {
             const uint32_t at_table = header_word(r, at::material_table) + 8 + 4 * 8;
             write_field<uint32_t>(r.mesh, at_table, header_word(r, at_table) + 1);
         },
         "unaligned"},
        {"layout not whole descriptions", [](MeshResources& r) { r.stream_layout.resize(20); }, "stream layout"},
        {"source 3",
         [](MeshResources& r) { write_field<uint32_t>(r.stream_layout, 0, 20u | stream_layout_source_mask); },
         "unsupported stream data source"},
        {"second data that is not there",
         [](MeshResources& r) { write_field<uint32_t>(r.stream_layout, 0, 20u | 2u << stream_layout_source_shift); },
         "second data"},
        {"vertex bytes past the data", [](MeshResources& r) { write_field<uint32_t>(r.stream_layout, 8, 100000); },
         "past their data"},
        {"index stride 3",
         [](MeshResources& r) {
             write_field<uint32_t>(r.stream_layout, 16,
                                   stream_format_index | 3 | 1u << stream_layout_source_shift);
         },
         "neither 2 nor 4"},
        {"index past the vertex count",
         [](MeshResources& r) {
             const uint32_t offset = read_field<uint32_t>(r.stream_layout.data(), 16 + 4);
             write_field<uint16_t>(r.vertex_data, offset + 4, 24);
         },
         "past its vertex count"},
        {"fewer vertices than the indices name",
         [](MeshResources& r) { write_field<uint32_t>(r.stream_layout, 8, 20 * 23); }, "past its vertex count"},
        {"sub-part streams past the layout",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, header_word(r, at::sub_part_table) + 4, 3); },
         "streams past"},
    };
    for (const Corruption& corruption : cases) {
        MeshResources resources = test_support::lay_out_mesh(test_support::make_cube_build(1.0f, 13, {0x20000010}));
        corruption.apply(resources);
        std::string error;
        EXPECT_FALSE(check_all(resources, &error)) << corruption.name;
        EXPECT_NE(error.find("mesh 0x00030007"), std::string::npos) << corruption.name << ": " << error;
        EXPECT_NE(error.find(corruption.expected), std::string::npos) << corruption.name << ": " << error;
    }
}

TEST(MeshResourceFormat, ASkinnedMeshReadsBackItsBoneBatchesAndPalette) {
    const MeshResources resources = test_support::lay_out_mesh(test_support::make_skinned_strip_build(13));
    std::string error;
    ASSERT_TRUE(check_all(resources, &error)) << error;
    const uint8_t* data = resources.mesh.data();
    const MeshHeader header = read_mesh_header(data);
    EXPECT_EQ(header.bone_count, 3u);
    ASSERT_EQ(header.bone_batch_count, 2u);
    ASSERT_EQ(header.palette_count, 3u);
    const MeshBoneBatch* batches = get_mesh_bone_batches(data, header);
    EXPECT_EQ(batches[1].primitive_count, 4u);
    EXPECT_EQ(batches[1].first_palette_entry, 1u);
    EXPECT_EQ(batches[1].palette_length, 2u);
    EXPECT_EQ(get_mesh_palette(data, header)[2], 2);
    const MeshSubPart sub_part = read_mesh_sub_part(data, header, 0);
    EXPECT_EQ(sub_part.first_bone_batch, 0u);
    EXPECT_EQ(sub_part.bone_batch_count, 2u);

    // A rigid mesh has neither table.
    const MeshResources cube = test_support::lay_out_mesh(test_support::make_cube_build(1.0f, 13));
    const MeshHeader rigid = read_mesh_header(cube.mesh.data());
    EXPECT_EQ(rigid.bone_batch_count, 0u);
    EXPECT_EQ(get_mesh_palette(cube.mesh.data(), rigid), nullptr);
    EXPECT_EQ(read_mesh_sub_part(cube.mesh.data(), rigid, 0).bone_batch_count, 0u);
}

TEST(MeshResourceFormat, BoneBatchesAndPalettesThatDoNotFitAreRefusedWithTheMeshId) {
    namespace at = mesh_header_offset;
    auto batch_at = [](const MeshResources& r, uint32_t batch, uint32_t word) {
        return header_word(r, at::bone_batch_table) + batch * mesh_bone_batch_size + word * 4;
    };
    const Corruption cases[] = {
        {"palette entry past the bone count",
         [](MeshResources& r) { write_field<int32_t>(r.mesh, header_word(r, at::palette_table) + 8, 3); },
         "names a bone"},
        {"palette entry below -1",
         [](MeshResources& r) { write_field<int32_t>(r.mesh, header_word(r, at::palette_table), -2); },
         "names a bone"},
        {"batch stretch past the palette",
         [&](MeshResources& r) { write_field<uint32_t>(r.mesh, batch_at(r, 1, 1), 2); }, "palette stretch"},
        {"batch stretch wraps",
         [&](MeshResources& r) { write_field<uint32_t>(r.mesh, batch_at(r, 1, 1), 0xFFFFFFFFu); },
         "palette stretch"},
        {"sub-part batches past the table",
         [](MeshResources& r) {
             write_field<uint32_t>(r.mesh, header_word(r, at::sub_part_table) + mesh_sub_part_offset::bone_batch_count,
                                   3);
         },
         "past the batch table"},
        {"batch table unaligned",
         [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::bone_batch_table, header_word(r, at::bone_batch_table) + 2); },
         "unaligned"},
        {"batch table past the end", [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::bone_batch_count, 1u << 28); },
         "bone batch table"},
        {"palette past the end", [](MeshResources& r) { write_field<uint32_t>(r.mesh, at::palette_count, 1u << 28); },
         "palette table"},
        {"batches draw past the index stream",
         [&](MeshResources& r) { write_field<uint32_t>(r.mesh, batch_at(r, 1, 0), 5); }, "past its index stream"},
    };
    for (const Corruption& corruption : cases) {
        MeshResources resources = test_support::lay_out_mesh(test_support::make_skinned_strip_build(13));
        corruption.apply(resources);
        std::string error;
        EXPECT_FALSE(check_all(resources, &error)) << corruption.name;
        EXPECT_NE(error.find("mesh 0x00030007"), std::string::npos) << corruption.name << ": " << error;
        EXPECT_NE(error.find(corruption.expected), std::string::npos) << corruption.name << ": " << error;
    }
    // 32 entries is the most one batch may name.
    MeshBuild longest = test_support::make_skinned_strip_build(13);
    longest.bone_count = 32;
    longest.palette.resize(33, mesh_palette_no_bone);
    longest.bone_batches[1].palette_length = 32;
    MeshResources resources;
    std::string error;
    EXPECT_TRUE(build_mesh_resources(longest, &resources, &error)) << error;
    longest.palette.push_back(mesh_palette_no_bone);
    longest.bone_batches[1].palette_length = 33;
    EXPECT_FALSE(build_mesh_resources(longest, &resources, &error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(MeshResourceFormat, IdsNameTheirResourcesAndSharing) {
    EXPECT_EQ(get_mesh_resource_id(0x00250003), 0x50010003u);
    EXPECT_EQ(get_stream_layout_resource_id(0x00250003), 0x5F020003u);
    EXPECT_EQ(get_vertex_data_resource_id(0x00250003), 0x5F030003u);
    EXPECT_EQ(get_second_data_resource_id(0x00250003), 0x5F040003u);
    EXPECT_EQ(get_mesh_material_set(0x00050003), 5u);
    EXPECT_TRUE(is_shareable_mesh_id(0x000F0003));
    EXPECT_FALSE(is_shareable_mesh_id(0x00100003));
    EXPECT_FALSE(is_shareable_mesh_id(0x00200003));
}

}  // namespace
}  // namespace zolt::renderer
