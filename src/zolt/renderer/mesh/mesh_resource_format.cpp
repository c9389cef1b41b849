#include "zolt/renderer/mesh/mesh_resource_format.h"

#include <algorithm>
#include <cstdio>

#include "libs/io/little_endian_fields.h"
#include "zolt/renderer/backend/stream.h"

namespace zolt::renderer {

namespace {

MeshSphere read_sphere(const uint8_t* data, uint32_t offset) {
    return {read_field<float>(data, offset), read_field<float>(data, offset + 4), read_field<float>(data, offset + 8),
            read_field<float>(data, offset + 12)};
}

bool fail(std::string* error, uint32_t mesh_id, const char* what, uint32_t index = 0) {
    if (error != nullptr) {
        char text[160];
        std::snprintf(text, sizeof text, "mesh 0x%08x: %s (%u)", mesh_id, what, index);
        *error = text;
    }
    return false;
}

uint32_t align_16(uint32_t size) {
    return (size + 15) & ~15u;
}

}  // namespace

MeshHeader read_mesh_header(const uint8_t* data) {
    namespace at = mesh_header_offset;
    MeshHeader header{};
    header.material_table_offset = read_field<uint32_t>(data, at::material_table);
    header.materials_per_set = read_field<uint32_t>(data, at::materials_per_set);
    header.part_table_offset = read_field<uint32_t>(data, at::part_table);
    header.part_count = read_field<uint32_t>(data, at::part_count);
    header.sub_part_table_offset = read_field<uint32_t>(data, at::sub_part_table);
    header.sub_part_count = read_field<uint32_t>(data, at::sub_part_count);
    header.vertex_layout_offset = read_field<uint32_t>(data, at::vertex_layout_table);
    header.bone_count = read_field<uint32_t>(data, at::bone_count);
    header.sphere = read_sphere(data, at::sphere);
    for (uint32_t axis = 0; axis < 3; ++axis) {
        header.box_minimum[axis] = read_field<float>(data, at::box_minimum + axis * 4);
        header.box_maximum[axis] = read_field<float>(data, at::box_maximum + axis * 4);
    }
    header.palette_count = read_field<uint32_t>(data, at::palette_count);
    header.bone_batch_offset = read_field<uint32_t>(data, at::bone_batch_table);
    header.bone_batch_count = read_field<uint32_t>(data, at::bone_batch_count);
    header.palette_offset = read_field<uint32_t>(data, at::palette_table);
    return header;
}

MeshPart read_mesh_part(const uint8_t* data, const MeshHeader& header, uint32_t index) {
    const uint32_t at = header.part_table_offset + index * mesh_part_size;
    return {read_field<uint32_t>(data, at), read_field<uint32_t>(data, at + 4), read_sphere(data, at + 8)};
}

MeshSubPart read_mesh_sub_part(const uint8_t* data, const MeshHeader& header, uint32_t index) {
    const uint32_t at = header.sub_part_table_offset + index * mesh_sub_part_size;
    return {read_field<uint32_t>(data, at),
            read_field<uint32_t>(data, at + 4),
            read_field<uint32_t>(data, at + 8),
            read_field<uint32_t>(data, at + 16),
            read_sphere(data, at + 20),
            read_field<uint32_t>(data, at + mesh_sub_part_offset::first_bone_batch),
            read_field<uint32_t>(data, at + mesh_sub_part_offset::bone_batch_count)};
}

const MeshBoneBatch* get_mesh_bone_batches(const uint8_t* data, const MeshHeader& header) {
    return header.bone_batch_count != 0 ? reinterpret_cast<const MeshBoneBatch*>(data + header.bone_batch_offset)
                                        : nullptr;
}

const int32_t* get_mesh_palette(const uint8_t* data, const MeshHeader& header) {
    return header.palette_count != 0 ? reinterpret_cast<const int32_t*>(data + header.palette_offset) : nullptr;
}

uint32_t read_vertex_layout_word(const uint8_t* data, const MeshHeader& header, uint32_t index, uint32_t word) {
    return read_field<uint32_t>(data, header.vertex_layout_offset + index * vertex_layout_entry_size + word * 4);
}

StoredMaterialDescription read_stored_material(const uint8_t* data, const MeshHeader& header, uint32_t set,
                                               uint32_t index) {
    StoredMaterialDescription description;
    std::memcpy(&description,
                data + header.material_table_offset +
                    (set * header.materials_per_set + index) * stored_material_description_size,
                sizeof description);
    return description;
}

StoredStreamDescription read_stream_description(const uint8_t* layout, uint32_t index) {
    StoredStreamDescription description;
    std::memcpy(&description, layout + index * stream_description_size, sizeof description);
    return description;
}

bool check_mesh_material_set(uint32_t mesh_id, const uint8_t* data, uint32_t size, uint32_t set, std::string* error) {
    const MeshHeader header = read_mesh_header(data);
    if (set >= max_material_set_count ||
        !fits_within(header.material_table_offset, uint64_t{set + 1} * header.materials_per_set,
                     stored_material_description_size, size)) {
        return fail(error, mesh_id, "material set past the resource", set);
    }
    for (uint32_t index = 0; index < header.materials_per_set; ++index) {
        const StoredMaterialDescription material = read_stored_material(data, header, set, index);
        for (uint32_t table = 0; table < stored_material_table_count; ++table) {
            if (!fits_within(material.tables[table].offset, material.tables[table].count,
                             get_stored_material_entry_size(table), size)) {
                return fail(error, mesh_id, "material description's table past the resource",
                            set * header.materials_per_set + index);
            }
            // Tables are read as words in place.
            if (material.tables[table].count != 0 && material.tables[table].offset % 4 != 0) {
                return fail(error, mesh_id, "material description's table unaligned",
                            set * header.materials_per_set + index);
            }
        }
    }
    return true;
}

namespace {

bool check_mesh_bone_batches(uint32_t mesh_id, const uint8_t* data, uint32_t size, const MeshHeader& header,
                             std::string* error) {
    // Both tables are read in place as words.
    if (header.bone_batch_count != 0 &&
        (header.bone_batch_offset % 4 != 0 ||
         !fits_within(header.bone_batch_offset, header.bone_batch_count, mesh_bone_batch_size, size))) {
        return fail(error, mesh_id, "bone batch table past the resource or unaligned", header.bone_batch_count);
    }
    if (header.palette_count != 0 &&
        (header.palette_offset % 4 != 0 ||
         !fits_within(header.palette_offset, header.palette_count, mesh_palette_entry_size, size))) {
        return fail(error, mesh_id, "palette table past the resource or unaligned", header.palette_count);
    }
    for (uint32_t index = 0; index < header.sub_part_count; ++index) {
        const MeshSubPart sub_part = read_mesh_sub_part(data, header, index);
        if (sub_part.first_bone_batch > header.bone_batch_count ||
            sub_part.bone_batch_count > header.bone_batch_count - sub_part.first_bone_batch) {
            return fail(error, mesh_id, "sub-part names bone batches past the batch table", index);
        }
    }
    const MeshBoneBatch* const batches = get_mesh_bone_batches(data, header);
    for (uint32_t index = 0; index < header.bone_batch_count; ++index) {
        const MeshBoneBatch& batch = batches[index];
        if (batch.palette_length > mesh_batch_palette_limit || batch.first_palette_entry > header.palette_count ||
            batch.palette_length > header.palette_count - batch.first_palette_entry) {
            return fail(error, mesh_id, "bone batch's palette stretch past the palette or too long", index);
        }
    }
    const int32_t* const palette = get_mesh_palette(data, header);
    for (uint32_t index = 0; index < header.palette_count; ++index) {
        if (palette[index] != mesh_palette_no_bone &&
            (palette[index] < 0 || static_cast<uint32_t>(palette[index]) >= header.bone_count)) {
            return fail(error, mesh_id, "palette entry names a bone the mesh is not skinned to", index);
        }
    }
    return true;
}

}  // namespace

bool check_mesh_resource(uint32_t mesh_id, const uint8_t* data, uint32_t size, std::string* error) {
    if (data == nullptr || size < mesh_header_size) {
        return fail(error, mesh_id, "resource shorter than the mesh header", size);
    }
    const MeshHeader header = read_mesh_header(data);
    if (!fits_within(header.part_table_offset, header.part_count, mesh_part_size, size)) {
        return fail(error, mesh_id, "part table past the resource", header.part_count);
    }
    if (!fits_within(header.sub_part_table_offset, header.sub_part_count, mesh_sub_part_size, size)) {
        return fail(error, mesh_id, "sub-part table past the resource", header.sub_part_count);
    }
    if (!fits_within(header.material_table_offset, header.materials_per_set, stored_material_description_size,
                     size)) {
        return fail(error, mesh_id, "material descriptions past the resource", header.materials_per_set);
    }
    for (uint32_t index = 0; index < header.part_count; ++index) {
        const MeshPart part = read_mesh_part(data, header, index);
        if (part.first_sub_part > header.sub_part_count ||
            part.sub_part_count > header.sub_part_count - part.first_sub_part) {
            return fail(error, mesh_id, "part names sub-parts past the sub-part table", index);
        }
    }
    for (uint32_t index = 0; index < header.sub_part_count; ++index) {
        const MeshSubPart sub_part = read_mesh_sub_part(data, header, index);
        if (sub_part.material_index >= header.materials_per_set) {
            return fail(error, mesh_id, "sub-part names a material past the descriptions", index);
        }
        if (!fits_within(header.vertex_layout_offset, uint64_t{sub_part.vertex_layout_index} + 1,
                         vertex_layout_entry_size, size)) {
            return fail(error, mesh_id, "sub-part's vertex-layout entry past the resource", index);
        }
    }
    return check_mesh_bone_batches(mesh_id, data, size, header, error) &&
           check_mesh_material_set(mesh_id, data, size, 0, error);
}

namespace {

struct SourceBytes {
    const uint8_t* data;
    uint32_t size;
};

// The largest index of an index stream; false for a stride it cannot hold.
bool find_largest_index(const StoredStreamDescription& stream, const uint8_t* bytes, uint32_t* largest) {
    const uint32_t stride = stream.format & stream_format_stride_mask;
    if (stride != 2 && stride != 4) {
        return false;
    }
    uint32_t found = 0;
    for (uint32_t at = 0; at + stride <= stream.data_size; at += stride) {
        const uint32_t value =
            stride == 2 ? read_field<uint16_t>(bytes, stream.source_offset + at) : read_field<uint32_t>(bytes, stream.source_offset + at);
        found = std::max(found, value);
    }
    *largest = found;
    return true;
}

}  // namespace

bool check_mesh_streams(uint32_t mesh_id, const uint8_t* mesh, uint32_t mesh_size, const uint8_t* layout,
                        uint32_t layout_size, const uint8_t* vertex_data, uint32_t vertex_data_size,
                        const uint8_t* second, uint32_t second_size, std::string* error) {
    if ((layout == nullptr && layout_size != 0) || layout_size % stream_description_size != 0) {
        return fail(error, mesh_id, "stream layout not whole stream descriptions", layout_size);
    }
    const uint32_t stream_count = layout_size / stream_description_size;
    for (uint32_t index = 0; index < stream_count; ++index) {
        const StoredStreamDescription stream = read_stream_description(layout, index);
        const StreamDataSource source = get_stream_data_source(stream.format);
        if (source == StreamDataSource::unsupported) {
            return fail(error, mesh_id, "unsupported stream data source", index);
        }
        if (source == StreamDataSource::second_data && second == nullptr) {
            return fail(error, mesh_id, "stream reads a second data resource the packs do not hold", index);
        }
        const SourceBytes bytes = source == StreamDataSource::second_data ? SourceBytes{second, second_size}
                                                                          : SourceBytes{vertex_data, vertex_data_size};
        if (source != StreamDataSource::none && (bytes.data == nullptr ||
                                                 !fits_within(stream.source_offset, stream.data_size, 1, bytes.size))) {
            return fail(error, mesh_id, "stream bytes past their data resource", index);
        }
        if ((stream.format & stream_format_stride_mask) == 0) {
            return fail(error, mesh_id, "stream without a stride", index);
        }
        if (uint64_t{stream.data_size} + stream.extra_size > 0xFFFFFFFFu) {
            return fail(error, mesh_id, "stream size overflows", index);
        }
    }
    const MeshHeader header = read_mesh_header(mesh);
    (void)mesh_size;
    for (uint32_t index = 0; index < header.sub_part_count; ++index) {
        const MeshSubPart sub_part = read_mesh_sub_part(mesh, header, index);
        if (sub_part.first_stream > stream_count || sub_part.stream_count > stream_count - sub_part.first_stream) {
            return fail(error, mesh_id, "sub-part names streams past the stream layout", index);
        }
        // Drawn together: every index of the sub-part's index streams must
        // name a vertex that every vertex stream of data holds.
        uint64_t vertex_count = UINT64_MAX;
        uint32_t largest_index = 0;
        bool has_indices = false;
        uint64_t index_count = UINT64_MAX;
        for (uint32_t stream_index = sub_part.first_stream;
             stream_index < sub_part.first_stream + sub_part.stream_count; ++stream_index) {
            const StoredStreamDescription stream = read_stream_description(layout, stream_index);
            const StreamDataSource source = get_stream_data_source(stream.format);
            if ((stream.format & stream_format_index) != 0) {
                if (source == StreamDataSource::none) {
                    continue;
                }
                uint32_t largest = 0;
                const uint8_t* bytes = source == StreamDataSource::second_data ? second : vertex_data;
                if (!find_largest_index(stream, bytes, &largest)) {
                    return fail(error, mesh_id, "index stream stride is neither 2 nor 4", stream_index);
                }
                if (stream.data_size != 0) {
                    largest_index = std::max(largest_index, largest);
                    has_indices = true;
                    index_count = std::min<uint64_t>(index_count, stream.data_size / (stream.format & stream_format_stride_mask));
                }
            } else if (source != StreamDataSource::none) {
                vertex_count = std::min<uint64_t>(vertex_count, stream.data_size / (stream.format & stream_format_stride_mask));
            }
        }
        if (has_indices && largest_index >= vertex_count) {
            return fail(error, mesh_id, "sub-part's indices reach past its vertex count", index);
        }
        // Batches draw one after another from the first index; counted as
        // triangles, the fewest indices a primitive takes.
        uint64_t batch_indices = 0;
        const MeshBoneBatch* const batches = get_mesh_bone_batches(mesh, header);
        for (uint32_t batch = 0; batch < sub_part.bone_batch_count; ++batch) {
            batch_indices += uint64_t{batches[sub_part.first_bone_batch + batch].primitive_count} * 3;
        }
        if (batch_indices != 0 && (!has_indices || batch_indices > index_count)) {
            return fail(error, mesh_id, "sub-part's bone batches draw past its index stream", index);
        }
    }
    return true;
}

bool build_mesh_resources(const MeshBuild& build, MeshResources* out, std::string* error) {
    const uint32_t materials_per_set =
        build.material_sets.empty() ? 0 : static_cast<uint32_t>(build.material_sets.front().size());
    for (const auto& set : build.material_sets) {
        if (set.size() != materials_per_set) {
            return fail(error, 0, "material sets of different lengths", static_cast<uint32_t>(set.size()));
        }
    }
    if (build.material_sets.size() > max_material_set_count) {
        return fail(error, 0, "too many material sets", static_cast<uint32_t>(build.material_sets.size()));
    }
    uint32_t sub_part_count = 0;
    for (const MeshBuildPart& part : build.parts) {
        sub_part_count += static_cast<uint32_t>(part.sub_parts.size());
    }
    // Header, parts, sub-parts, layout entries (one per sub-part), bone
    // batches, palette, material descriptions, then the material tables.
    const uint32_t part_offset = align_16(mesh_header_size);
    const uint32_t sub_part_offset = align_16(part_offset + static_cast<uint32_t>(build.parts.size()) * mesh_part_size);
    const uint32_t layout_offset = align_16(sub_part_offset + sub_part_count * mesh_sub_part_size);
    const uint32_t batch_offset = align_16(layout_offset + sub_part_count * vertex_layout_entry_size);
    const uint32_t palette_offset =
        align_16(batch_offset + static_cast<uint32_t>(build.bone_batches.size()) * mesh_bone_batch_size);
    const uint32_t material_offset =
        align_16(palette_offset + static_cast<uint32_t>(build.palette.size()) * mesh_palette_entry_size);
    uint32_t table_offset =
        align_16(material_offset + static_cast<uint32_t>(build.material_sets.size()) * materials_per_set *
                                       stored_material_description_size);
    std::vector<uint8_t>& mesh = out->mesh;
    mesh.assign(table_offset, 0);
    namespace at = mesh_header_offset;
    write_field<uint32_t>(mesh, at::material_table, material_offset);
    write_field<uint32_t>(mesh, at::materials_per_set, materials_per_set);
    write_field<uint32_t>(mesh, at::part_table, part_offset);
    write_field<uint32_t>(mesh, at::part_count, static_cast<uint32_t>(build.parts.size()));
    write_field<uint32_t>(mesh, at::sub_part_table, sub_part_offset);
    write_field<uint32_t>(mesh, at::sub_part_count, sub_part_count);
    write_field<uint32_t>(mesh, at::vertex_layout_table, layout_offset);
    write_field<uint32_t>(mesh, at::bone_count, build.bone_count);
    if (!build.bone_batches.empty()) {
        write_field<uint32_t>(mesh, at::bone_batch_table, batch_offset);
        write_field<uint32_t>(mesh, at::bone_batch_count, static_cast<uint32_t>(build.bone_batches.size()));
    }
    for (uint32_t index = 0; index < build.bone_batches.size(); ++index) {
        const MeshBoneBatch& batch = build.bone_batches[index];
        write_field<uint32_t>(mesh, batch_offset + index * mesh_bone_batch_size, batch.primitive_count);
        write_field<uint32_t>(mesh, batch_offset + index * mesh_bone_batch_size + 4, batch.first_palette_entry);
        write_field<uint32_t>(mesh, batch_offset + index * mesh_bone_batch_size + 8, batch.palette_length);
    }
    if (!build.palette.empty()) {
        write_field<uint32_t>(mesh, at::palette_table, palette_offset);
        write_field<uint32_t>(mesh, at::palette_count, static_cast<uint32_t>(build.palette.size()));
    }
    for (uint32_t index = 0; index < build.palette.size(); ++index) {
        write_field<int32_t>(mesh, palette_offset + index * mesh_palette_entry_size, build.palette[index]);
    }
    const auto write_sphere = [&mesh](uint32_t offset, const MeshSphere& sphere) {
        write_field<float>(mesh, offset, sphere.x);
        write_field<float>(mesh, offset + 4, sphere.y);
        write_field<float>(mesh, offset + 8, sphere.z);
        write_field<float>(mesh, offset + 12, sphere.radius);
    };
    write_sphere(at::sphere, build.sphere);
    for (uint32_t axis = 0; axis < 3; ++axis) {
        write_field<float>(mesh, at::box_minimum + axis * 4, build.box_minimum[axis]);
        write_field<float>(mesh, at::box_maximum + axis * 4, build.box_maximum[axis]);
    }
    uint32_t sub_part_index = 0;
    for (uint32_t part_index = 0; part_index < build.parts.size(); ++part_index) {
        const MeshBuildPart& part = build.parts[part_index];
        const uint32_t part_at = part_offset + part_index * mesh_part_size;
        write_field<uint32_t>(mesh, part_at, sub_part_index);
        write_field<uint32_t>(mesh, part_at + 4, static_cast<uint32_t>(part.sub_parts.size()));
        write_sphere(part_at + 8, part.sphere);
        for (const MeshBuildSubPart& sub_part : part.sub_parts) {
            const uint32_t sub_at = sub_part_offset + sub_part_index * mesh_sub_part_size;
            write_field<uint32_t>(mesh, sub_at, sub_part.first_stream);
            write_field<uint32_t>(mesh, sub_at + 4, sub_part.stream_count);
            write_field<uint32_t>(mesh, sub_at + 8, sub_part_index);
            write_field<uint32_t>(mesh, sub_at + 16, sub_part.material_index);
            write_sphere(sub_at + 20, sub_part.sphere);
            write_field<uint32_t>(mesh, sub_at + mesh_sub_part_offset::first_bone_batch, sub_part.first_bone_batch);
            write_field<uint32_t>(mesh, sub_at + mesh_sub_part_offset::bone_batch_count, sub_part.bone_batch_count);
            write_field<uint32_t>(mesh, layout_offset + sub_part_index * vertex_layout_entry_size + 8,
                                  build.layout_word);
            ++sub_part_index;
        }
    }
    for (uint32_t set = 0; set < build.material_sets.size(); ++set) {
        for (uint32_t index = 0; index < materials_per_set; ++index) {
            const MeshBuildMaterial& material = build.material_sets[set][index];
            const uint32_t material_at =
                material_offset + (set * materials_per_set + index) * stored_material_description_size;
            write_field<uint32_t>(mesh, material_at, material.flags);
            write_field<uint32_t>(mesh, material_at + 4, material.shader_index);
            for (uint32_t table = 0; table < stored_material_table_count; ++table) {
                const std::vector<uint32_t>& words = material.tables[table];
                const uint32_t entry_words = get_stored_material_entry_size(table) / 4;
                if (words.size() % entry_words != 0) {
                    return fail(error, 0, "material vectors not whole 4-word values", index);
                }
                const uint32_t count = static_cast<uint32_t>(words.size()) / entry_words;
                write_field<uint32_t>(mesh, material_at + 8 + table * 8, count == 0 ? 0 : table_offset);
                write_field<uint32_t>(mesh, material_at + 12 + table * 8, count);
                mesh.resize(align_16(table_offset + static_cast<uint32_t>(words.size()) * 4));
                for (uint32_t word = 0; word < words.size(); ++word) {
                    write_field<uint32_t>(mesh, table_offset + word * 4, words[word]);
                }
                table_offset = static_cast<uint32_t>(mesh.size());
            }
        }
    }
    out->stream_layout.assign(build.streams.size() * stream_description_size, 0);
    out->vertex_data.clear();
    for (uint32_t index = 0; index < build.streams.size(); ++index) {
        const MeshBuildStream& stream = build.streams[index];
        const uint32_t source_offset = static_cast<uint32_t>(out->vertex_data.size());
        const StreamDataSource source = stream.bytes.empty() ? StreamDataSource::none : StreamDataSource::vertex_data;
        const uint32_t format = (stream.format & ~stream_layout_source_mask) |
                                static_cast<uint32_t>(source) << stream_layout_source_shift;
        const uint32_t at = index * stream_description_size;
        write_field<uint32_t>(out->stream_layout, at, format);
        write_field<uint32_t>(out->stream_layout, at + 4, stream.bytes.empty() ? 0 : source_offset);
        write_field<uint32_t>(out->stream_layout, at + 8, static_cast<uint32_t>(stream.bytes.size()));
        write_field<uint32_t>(out->stream_layout, at + 12, stream.extra_size);
        out->vertex_data.insert(out->vertex_data.end(), stream.bytes.begin(), stream.bytes.end());
        out->vertex_data.resize(align_16(static_cast<uint32_t>(out->vertex_data.size())));
    }
    std::string problem;
    if (!check_mesh_resource(0, mesh.data(), static_cast<uint32_t>(mesh.size()), &problem) ||
        !check_mesh_streams(0, mesh.data(), static_cast<uint32_t>(mesh.size()), out->stream_layout.data(),
                            static_cast<uint32_t>(out->stream_layout.size()), out->vertex_data.data(),
                            static_cast<uint32_t>(out->vertex_data.size()), nullptr, 0, &problem)) {
        if (error != nullptr) {
            *error = problem;
        }
        return false;
    }
    return true;
}

}  // namespace zolt::renderer
