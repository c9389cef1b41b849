#pragma once
// Mesh resources, one definition for the engine's meshes and the content
// tools. Mesh number n is three resources (a fourth is optional): the mesh
// resource (parts, sub-parts, material descriptions, bounds), the stream
// layout (16-byte stream descriptions) and the vertex data the descriptions
// point into. The engine reads them in place only after check_mesh_resource
// and check_mesh_streams accepted them; build_mesh_resources writes them.
// Any thread may call.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::renderer {

// Mesh ids.
constexpr uint32_t mesh_number_mask = 0xFFFF;
constexpr uint32_t mesh_material_set_shift = 16;
constexpr uint32_t mesh_material_set_mask = 0xF0000;
constexpr uint32_t mesh_id_variant = 1u << 20;
constexpr uint32_t mesh_id_cloth = 1u << 21;

constexpr uint32_t get_mesh_number(uint32_t mesh_id) {
    return mesh_id & mesh_number_mask;
}
constexpr uint32_t get_mesh_material_set(uint32_t mesh_id) {
    return (mesh_id & mesh_material_set_mask) >> mesh_material_set_shift;
}
// Variant and cloth meshes carry private state and are never shared.
constexpr bool is_shareable_mesh_id(uint32_t mesh_id) {
    return (mesh_id & (mesh_id_variant | mesh_id_cloth)) == 0;
}

// Resource ids of mesh number n.
constexpr uint32_t mesh_resource_base = 0x50010000;
constexpr uint32_t stream_layout_resource_base = 0x5F020000;
constexpr uint32_t vertex_data_resource_base = 0x5F030000;
constexpr uint32_t second_data_resource_base = 0x5F040000;
constexpr uint32_t mesh_resource_kind_mask = 0xFFFF0000;

constexpr uint32_t get_mesh_resource_id(uint32_t mesh_id) {
    return mesh_resource_base + get_mesh_number(mesh_id);
}
constexpr uint32_t get_stream_layout_resource_id(uint32_t mesh_id) {
    return stream_layout_resource_base + get_mesh_number(mesh_id);
}
constexpr uint32_t get_vertex_data_resource_id(uint32_t mesh_id) {
    return vertex_data_resource_base + get_mesh_number(mesh_id);
}
constexpr uint32_t get_second_data_resource_id(uint32_t mesh_id) {
    return second_data_resource_base + get_mesh_number(mesh_id);
}

// The mesh resource's header fields.
namespace mesh_header_offset {
constexpr uint32_t material_table = 4, materials_per_set = 12, part_table = 16, part_count = 20, sub_part_table = 24,
                   sub_part_count = 28, vertex_layout_table = 32, bone_count = 48, sphere = 52, box_minimum = 68,
                   box_maximum = 80;
// A skinned mesh's bone batches and the palette table they take their
// stretches of: offsets and counts in words the rest of the header leaves
// free (0 for a rigid mesh).
constexpr uint32_t palette_count = 8, bone_batch_table = 36, bone_batch_count = 40, palette_table = 44;
}
// A sub-part's bone batches, in its own free words.
namespace mesh_sub_part_offset {
constexpr uint32_t first_bone_batch = 36, bone_batch_count = 40;
}
constexpr uint32_t mesh_header_size = 92;
constexpr uint32_t mesh_part_size = 48;
constexpr uint32_t mesh_sub_part_size = 60;
constexpr uint32_t vertex_layout_entry_size = 12;
constexpr uint32_t stored_material_description_size = 48;
constexpr uint32_t stream_description_size = 16;
// A bone batch: primitive count (0: the whole index stream), first palette
// entry, palette length. A palette entry is a skeleton bone, or -1 for none.
constexpr uint32_t mesh_bone_batch_size = 12;
constexpr uint32_t mesh_palette_entry_size = 4;
constexpr int32_t mesh_palette_no_bone = -1;
// The most palette entries one batch may name: what the skinning shaders
// declare (96 vectors, three per entry).
constexpr uint32_t mesh_batch_palette_limit = 32;
// A material set number has four bits.
constexpr uint32_t max_material_set_count = 16;

// Stream layout: the description's first word is the stream format word
// (stream.h) with these bits added.
constexpr uint32_t stream_layout_independent = 1u << 22;
constexpr uint32_t stream_layout_source_shift = 24;
constexpr uint32_t stream_layout_source_mask = 3u << 24;

enum class StreamDataSource : uint32_t { none = 0, vertex_data = 1, second_data = 2, unsupported = 3 };

constexpr StreamDataSource get_stream_data_source(uint32_t format) {
    return static_cast<StreamDataSource>((format & stream_layout_source_mask) >> stream_layout_source_shift);
}

struct MeshSphere {
    float x = 0, y = 0, z = 0, radius = 0;
};

struct MeshHeader {
    uint32_t material_table_offset;
    uint32_t materials_per_set;
    uint32_t part_table_offset;
    uint32_t part_count;
    uint32_t sub_part_table_offset;
    uint32_t sub_part_count;
    uint32_t vertex_layout_offset;
    uint32_t bone_count;
    MeshSphere sphere;
    float box_minimum[3];
    float box_maximum[3];
    uint32_t palette_count;
    uint32_t bone_batch_offset;
    uint32_t bone_batch_count;
    uint32_t palette_offset;
};

struct MeshPart {
    uint32_t first_sub_part;
    uint32_t sub_part_count;
    MeshSphere sphere;
};

struct MeshSubPart {
    uint32_t first_stream;
    uint32_t stream_count;
    uint32_t vertex_layout_index;
    uint32_t material_index;
    MeshSphere sphere;
    uint32_t first_bone_batch;
    uint32_t bone_batch_count;
};

struct MeshBoneBatch {
    uint32_t primitive_count;
    uint32_t first_palette_entry;
    uint32_t palette_length;
};
static_assert(sizeof(MeshBoneBatch) == mesh_bone_batch_size);

// The stored material description: flags, the shader library entry, then
// offset and count of the five material tables in their save order
// (vectors of 16 bytes, then texture ids, constant tags, texture tags and
// fibre tags of 4 bytes each). Offsets count from the start of the mesh
// resource.
constexpr uint32_t stored_material_table_count = 5;
struct StoredMaterialDescription {
    uint32_t flags;
    uint32_t shader_index;
    struct {
        uint32_t offset;
        uint32_t count;
    } tables[stored_material_table_count];
};
static_assert(sizeof(StoredMaterialDescription) == stored_material_description_size);
constexpr uint32_t get_stored_material_entry_size(uint32_t table) {
    return table == 0 ? 16 : 4;
}

struct StoredStreamDescription {
    uint32_t format;
    uint32_t source_offset;
    uint32_t data_size;
    uint32_t extra_size;
};
static_assert(sizeof(StoredStreamDescription) == stream_description_size);

// Readers of checked data.
MeshHeader read_mesh_header(const uint8_t* data);
MeshPart read_mesh_part(const uint8_t* data, const MeshHeader& header, uint32_t index);
MeshSubPart read_mesh_sub_part(const uint8_t* data, const MeshHeader& header, uint32_t index);
// The third word of a vertex-layout entry.
uint32_t read_vertex_layout_word(const uint8_t* data, const MeshHeader& header, uint32_t index, uint32_t word);
StoredMaterialDescription read_stored_material(const uint8_t* data, const MeshHeader& header, uint32_t set,
                                               uint32_t index);
StoredStreamDescription read_stream_description(const uint8_t* layout, uint32_t index);
// The whole table, read in place: the check keeps both word-aligned.
const MeshBoneBatch* get_mesh_bone_batches(const uint8_t* data, const MeshHeader& header);
const int32_t* get_mesh_palette(const uint8_t* data, const MeshHeader& header);

// False, with a message naming the mesh id and what does not fit, when the
// header, a table, a part's sub-part range, a sub-part's layout entry or
// material index, or a description of material set 0 or its tables lie
// outside the resource; and for a skinned mesh when a bone batch table or
// the palette table lies outside it or unaligned, a sub-part's batches lie
// past the batch table, a batch's palette stretch lies past the palette or
// is longer than mesh_batch_palette_limit, or a palette entry names a bone
// the mesh is not skinned to.
bool check_mesh_resource(uint32_t mesh_id, const uint8_t* data, uint32_t size, std::string* error);
// The same for the descriptions of another material set: the header does
// not say how many sets there are, so a set is checked when it is asked
// for.
bool check_mesh_material_set(uint32_t mesh_id, const uint8_t* data, uint32_t size, uint32_t set, std::string* error);

// False, with a message naming the mesh id, when the layout is not whole
// descriptions, a sub-part's streams lie past them, a description's source
// is unsupported or its bytes lie outside their source, an index stream's
// stride is neither 2 nor 4, or an index reaches past the vertex count of a
// vertex stream drawn with it, or a sub-part's bone batches draw more
// triangles than its index stream holds. second is null when the packs do not hold it.
bool check_mesh_streams(uint32_t mesh_id, const uint8_t* mesh, uint32_t mesh_size, const uint8_t* layout,
                        uint32_t layout_size, const uint8_t* vertex_data, uint32_t vertex_data_size,
                        const uint8_t* second, uint32_t second_size, std::string* error);

// What a writer states; the builder lays out tables and offsets.
struct MeshBuildMaterial {
    uint32_t flags = 0;
    uint32_t shader_index = 0;
    std::vector<uint32_t> tables[stored_material_table_count];  // vectors as 4 words each
};
struct MeshBuildSubPart {
    uint32_t first_stream = 0;
    uint32_t stream_count = 0;
    uint32_t material_index = 0;
    MeshSphere sphere;
    // A stretch of MeshBuild::bone_batches; none for a rigid sub-part.
    uint32_t first_bone_batch = 0;
    uint32_t bone_batch_count = 0;
};
struct MeshBuildPart {
    std::vector<MeshBuildSubPart> sub_parts;
    MeshSphere sphere;
};
struct MeshBuildStream {
    uint32_t format = 0;  // stream format word and layout bits; the source is set by the builder
    std::vector<uint8_t> bytes;
    uint32_t extra_size = 0;
};
struct MeshBuild {
    std::vector<MeshBuildPart> parts;
    std::vector<MeshBuildStream> streams;
    std::vector<std::vector<MeshBuildMaterial>> material_sets;  // every set the same length
    uint32_t bone_count = 0;
    std::vector<MeshBoneBatch> bone_batches;
    std::vector<int32_t> palette;
    // Third word of every sub-part's layout entry: non-zero asks for the odd
    // setup of setup pairs (a skinned mesh's skinning variant) and material
    // flags 4.
    uint32_t layout_word = 0;
    MeshSphere sphere;
    float box_minimum[3] = {};
    float box_maximum[3] = {};
};
struct MeshResources {
    std::vector<uint8_t> mesh;
    std::vector<uint8_t> stream_layout;
    std::vector<uint8_t> vertex_data;
};

// Tables 16-byte aligned; streams with bytes take their source from the
// vertex data, streams without none.
bool build_mesh_resources(const MeshBuild& build, MeshResources* out, std::string* error);

}  // namespace zolt::renderer
