// A mesh number's resources as the engine checks them before it reads
// anything in place: once accepted, every part, sub-part, material table,
// stream and index the renderer reads must lie within its resource. Input:
// the mesh resource's and the stream layout's sizes as little-endian u32,
// then the mesh resource, the stream layout and the vertex data.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "libs/io/little_endian_fields.h"
#include "support/fuzz_entry.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer;

// Reads what the engine reads, from exactly sized copies, so the sanitizer
// sees any read past them.
void walk_accepted(const std::vector<uint8_t>& mesh, const std::vector<uint8_t>& layout,
                   const std::vector<uint8_t>& vertex_data) {
    const uint32_t size = static_cast<uint32_t>(mesh.size());
    const MeshHeader header = read_mesh_header(mesh.data());
    const uint32_t stream_count = static_cast<uint32_t>(layout.size() / stream_description_size);
    for (uint32_t index = 0; index < header.part_count; ++index) {
        const MeshPart part = read_mesh_part(mesh.data(), header, index);
        fuzz::expect(uint64_t{part.first_sub_part} + part.sub_part_count <= header.sub_part_count,
                     "an accepted part names sub-parts it lacks");
    }
    for (uint32_t index = 0; index < header.sub_part_count; ++index) {
        const MeshSubPart sub_part = read_mesh_sub_part(mesh.data(), header, index);
        fuzz::expect(sub_part.material_index < header.materials_per_set, "an accepted sub-part names no material");
        fuzz::expect(uint64_t{sub_part.first_stream} + sub_part.stream_count <= stream_count,
                     "an accepted sub-part names streams past the layout");
        (void)read_vertex_layout_word(mesh.data(), header, sub_part.vertex_layout_index, 2);
    }
    for (uint32_t set = 0; set < 2; ++set) {
        if (set != 0 && !check_mesh_material_set(7, mesh.data(), size, set, nullptr)) {
            break;
        }
        for (uint32_t index = 0; index < header.materials_per_set; ++index) {
            const StoredMaterialDescription material = read_stored_material(mesh.data(), header, set, index);
            for (uint32_t table = 0; table < stored_material_table_count; ++table) {
                const uint32_t words = get_stored_material_entry_size(table) / 4 * material.tables[table].count;
                for (uint32_t word = 0; word < words; ++word) {
                    (void)zolt::read_field<uint32_t>(mesh.data(), material.tables[table].offset + word * 4);
                }
            }
        }
    }
    for (uint32_t index = 0; index < stream_count; ++index) {
        const StoredStreamDescription stream = read_stream_description(layout.data(), index);
        if (get_stream_data_source(stream.format) == StreamDataSource::vertex_data && stream.data_size != 0) {
            fuzz::expect(uint64_t{stream.source_offset} + stream.data_size <= vertex_data.size(),
                         "an accepted stream reads past the vertex data");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8 || size > 65536) {
        return 0;
    }
    uint32_t mesh_size = 0;
    uint32_t layout_size = 0;
    std::memcpy(&mesh_size, data, 4);
    std::memcpy(&layout_size, data + 4, 4);
    const size_t rest = size - 8;
    if (mesh_size > rest || layout_size > rest - mesh_size) {
        return 0;
    }
    const std::vector<uint8_t> mesh(data + 8, data + 8 + mesh_size);
    const std::vector<uint8_t> layout(data + 8 + mesh_size, data + 8 + mesh_size + layout_size);
    const std::vector<uint8_t> vertex_data(data + 8 + mesh_size + layout_size, data + size);
    std::string error;
    if (!check_mesh_resource(7, mesh.data(), mesh_size, &error)) {
        fuzz::expect(error.find("mesh 0x00000007") == 0, "a refused mesh is not named");
        return 0;
    }
    if (!check_mesh_streams(7, mesh.data(), mesh_size, layout.data(), layout_size, vertex_data.data(),
                            static_cast<uint32_t>(vertex_data.size()), nullptr, 0, &error)) {
        fuzz::expect(error.find("mesh 0x00000007") == 0, "refused streams are not named");
        return 0;
    }
    walk_accepted(mesh, layout, vertex_data);
    return 0;
}
