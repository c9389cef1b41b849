// A material in a saved world: its use count, source object, static-tag flag,
// the description with each table either as an offset into its resource's
// data or with its contents, and the textures it held. Loading refuses
// anything a material could not have written.
#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t texture_server_type = core::server_type::texture;

}  // namespace

void Material::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, use_count);
    core::write_u32(stream, source_object);
    stream.write_u8(static_tags ? 1 : 0);
    core::write_u32(stream, static_cast<uint32_t>(effective_fibre_parameter));
    core::write_u32(stream, description.flags);
    core::write_u32(stream, description.shader_index);
    core::write_u32(stream, description.resource);
    core::write_u32(stream, static_cast<uint32_t>(description.fibre_parameter));
    for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
        const auto table_kind = static_cast<MaterialTableKind>(kind);
        const MaterialTableView table = get_material_table(description, table_kind);
        core::write_u32(stream, *table.count);
        if (*table.count == 0) {
            continue;
        }
        const auto* const bytes = static_cast<const uint8_t*>(*table.data);
        const bool in_resource =
            resource_data != nullptr && bytes >= resource_data && bytes < resource_data + resource_size;
        stream.write_u8(in_resource ? 1 : 0);
        if (in_resource) {
            core::write_u32(stream, static_cast<uint32_t>(bytes - resource_data));
        } else {
            stream.write(bytes, *table.count * get_material_table_entry_size(table_kind));
        }
    }
    core::write_u32(stream, texture_bindings.held_count);
    for (uint32_t index = 0; index < texture_bindings.held_count; ++index) {
        core::write_u32(stream, texture_bindings.held[index]->get_handle());
    }
}

bool Material::load(storage::LoadStream& stream) {
    uint8_t saved_static_tags = 0;
    uint32_t saved_fibre_parameter = 0;
    MaterialDescription loaded;
    if (!ServerObject::load(stream) || !core::read_u32(stream, use_count) || !core::read_u32(stream, source_object) ||
        !core::read_u8(stream, saved_static_tags) || saved_static_tags > 1 ||
        !core::read_u32(stream, saved_fibre_parameter) || !core::read_u32(stream, loaded.flags) ||
        !core::read_u32(stream, loaded.shader_index) || !core::read_u32(stream, loaded.resource) ||
        !core::read_s32(stream, loaded.fibre_parameter)) {
        return false;
    }
    description = {};
    description.flags = loaded.flags;
    description.shader_index = loaded.shader_index;
    description.fibre_parameter = loaded.fibre_parameter;
    resource_data = nullptr;
    resource_size = 0;
    resource_id = 0;
    if (loaded.resource != 0) {
        auto* const resource = static_cast<core::ResourceObject*>(core::get_object(loaded.resource));
        if (resource == nullptr || core::get_handle_server_type(loaded.resource) != core::server_type::resource) {
            return false;
        }
        resource->add_reference();
        description.resource = loaded.resource;
        resource_data = static_cast<const uint8_t*>(resource->get_data());
        resource_size = resource->get_info()->unpacked_size;
        resource_id = resource->get_info()->id;
    }
    for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
        const auto table_kind = static_cast<MaterialTableKind>(kind);
        const MaterialTableView table = get_material_table(description, table_kind);
        uint32_t count = 0;
        if (!core::read_u32(stream, count)) {
            return false;
        }
        if (count == 0) {
            continue;
        }
        const uint32_t entry_size = get_material_table_entry_size(table_kind);
        uint8_t in_resource = 0;
        if (!core::read_u8(stream, in_resource) || in_resource > 1 || count > material_table_memory_size / entry_size) {
            return false;
        }
        const uint32_t size = count * entry_size;
        if (in_resource == 1) {
            uint32_t offset = 0;
            if (!core::read_u32(stream, offset) || resource_data == nullptr || offset > resource_size ||
                size > resource_size - offset || offset % 4 != 0) {
                return false;
            }
            *table.data = const_cast<uint8_t*>(resource_data + offset);
        } else {
            // More tables than the memory holds cannot come from a running
            // game: the world is refused rather than the program ended.
            void* const block = material_server.allocate_table_memory(size, false);
            if (block == nullptr) {
                return false;
            }
            *table.data = block;
            if (!core::read_bytes(stream, block, size)) {
                *table.count = count;
                return false;
            }
        }
        *table.count = count;
    }
    uint32_t held_count = 0;
    if (!core::read_u32(stream, held_count) || held_count > shader_library::texture_tag_count) {
        return false;
    }
    for (uint32_t index = 0; index < held_count; ++index) {
        uint32_t handle = 0;
        if (!core::read_u32(stream, handle)) {
            return false;
        }
        // The saved world counts the reference the material held; it takes
        // fresh ones when its textures resolve again.
        if (core::get_handle_server_type(handle) == texture_server_type) {
            if (core::ServerObject* const texture = core::get_object(handle)) {
                texture_server.destroy_object_internal(texture);
            }
        }
    }
    texture_bindings.held_count = 0;
    texture_bindings.tags = shader_library::ResolvedTextureTags{};
    constant_bindings.tags = shader_library::ResolvedConstantTags{};
    static_tags = saved_static_tags == 1;
    material_server.queue_texture_update(*this);
    material_server.queue_constant_update(*this);
    if (use_count != 0) {
        material_server.queue_shader_update(*this);
    }
    reset_selection();
    entry_flags = shader_library::get_entry_flags(description.shader_index);
    // The effective tables and fibre parameter follow from the description
    // and the library; the saved fibre parameter is read past.
    resolve_tag_tables();
    return true;
}

}  // namespace zolt::renderer
