#include "zolt/renderer/materials/material.h"

#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace library = shader_library;

namespace {

constexpr uint32_t material_source_tag = static_cast<uint32_t>(library::TextureSource::material);

bool has_object_source(const MaterialTable<uint32_t>& table, uint32_t object_source) {
    for (uint32_t index = 0; index < table.count; ++index) {
        if (library::get_tag_source(table.data[index]) == object_source) {
            return true;
        }
    }
    return false;
}

}  // namespace

Material::Material() {
    texture_bindings.owner = this;
    constant_bindings.owner = this;
    for (uint32_t& pass : passes) {
        pass = no_slot_pass;
    }
}

void Material::initialize(uint32_t) {
    use_count = 1;
    source_object = 0;
    resource_data = nullptr;
    resource_size = 0;
    resource_id = 0;
    reset_selection();
    entry_flags = 0;
    effective_fibre_parameter = -1;
    static_tags = false;
}

void Material::reset_selection() {
    selected_entry = 0;
    selected_variant = 0;
    selected_entry_flags = 0;
    variant_word = 0;
    pass_mask = 0;
    for (uint32_t& pass : passes) {
        pass = no_slot_pass;
    }
}

void Material::initialize(const MaterialDescription& new_description) {
    material_server.queue_texture_update(*this);
    material_server.queue_constant_update(*this);
    if (use_count != 0) {
        material_server.queue_shader_update(*this);
    }
    resource_data = nullptr;
    resource_size = 0;
    resource_id = 0;
    if (new_description.resource != 0) {
        if (auto* const resource = static_cast<core::ResourceObject*>(core::get_object(new_description.resource))) {
            resource_data = static_cast<const uint8_t*>(resource->get_data());
            resource_size = resource->get_info()->unpacked_size;
            resource_id = resource->get_info()->id;
        }
    }
    material_server.copy_description(*this, new_description);
    resolve_tag_tables();
    entry_flags = library::get_entry_flags(description.shader_index);
    compute_static_tags();
}

void Material::compute_static_tags() {
    static_tags =
        !is_modifiable() && description.constant_tags.count != 0 && description.texture_tags.count != 0 &&
        !has_object_source(description.constant_tags, static_cast<uint32_t>(library::ConstantSource::property)) &&
        !has_object_source(description.texture_tags, static_cast<uint32_t>(library::TextureSource::property));
}

void Material::finalize() {
    material_server.unlink_selection(*this);
    material_server.unlink_texture_update(*this);
    material_server.unlink_constant_update(*this);
    for (uint32_t index = 0; index < texture_bindings.held_count; ++index) {
        texture_server.release_texture(texture_bindings.held[index]);
    }
    texture_bindings.held_count = 0;
    texture_bindings.tags = shader_library::ResolvedTextureTags{};
    texture_bindings.dynamic = false;
    constant_bindings.tags = shader_library::ResolvedConstantTags{};
    constant_bindings.scratch_count = 0;
    constant_bindings.dynamic = false;
    material_server.clear_description(*this);
    source_object = 0;
    resource_data = nullptr;
    resource_size = 0;
    resource_id = 0;
    reset_selection();
    effective_constant_tags = {};
    effective_texture_tags = {};
    effective_fibre_tags = {};
    effective_fibre_parameter = -1;
    use_count = 0;
}

void Material::resources_moved() {
    material_server.queue_constant_update(*this);
    if (use_count != 0) {
        material_server.queue_shader_update(*this);
    }
    if (description.resource != 0) {
        if (auto* const resource = static_cast<core::ResourceObject*>(core::get_object(description.resource))) {
            const auto* const new_data = static_cast<const uint8_t*>(resource->get_data());
            if (new_data != resource_data && resource_data != nullptr) {
                for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
                    const MaterialTableView table =
                        get_material_table(description, static_cast<MaterialTableKind>(kind));
                    auto* const bytes = static_cast<const uint8_t*>(*table.data);
                    if (bytes != nullptr && bytes >= resource_data && bytes < resource_data + resource_size) {
                        *table.data = const_cast<uint8_t*>(new_data + (bytes - resource_data));
                    }
                }
            }
            resource_data = new_data;
            resource_size = resource->get_info()->unpacked_size;
        }
    }
    resolve_tag_tables();
}

bool Material::get_property(uint32_t id, core::Property&) const {
    ZOLT_PANIC("Material::get_property called for property 0x%08x.", id);
}

bool Material::set_property(uint32_t id, const core::Property&) {
    ZOLT_PANIC("Material::set_property called for property 0x%08x.", id);
}

void Material::set_source_object(core::ObjectHandle object) {
    if (object == source_object) {
        return;
    }
    source_object = object;
    if (use_count != 0) {
        material_server.queue_texture_update(*this);
        material_server.queue_constant_update(*this);
        material_server.queue_shader_update(*this);
    }
}

void Material::set_vector(uint32_t index, const library::ConstantValue& value) {
    material_server.grow_table(*this, MaterialTableKind::vectors, index + 1);
    description.vectors.data[index] = value;
    material_server.queue_constant_update(*this);
}

void Material::set_texture(uint32_t index, uint32_t texture_id) {
    material_server.grow_table(*this, MaterialTableKind::textures, index + 1);
    description.textures.data[index] = texture_id;
    material_server.queue_texture_update(*this);
}

void Material::set_constant_tag(uint32_t index, uint32_t tag_word) {
    // The effective table (perhaps the entry's defaults) becomes the
    // description's own before the write.
    description.constant_tags = {const_cast<uint32_t*>(effective_constant_tags.data), effective_constant_tags.count};
    material_server.grow_table(*this, MaterialTableKind::constant_tags, index + 1);
    description.constant_tags.data[index] = tag_word;
    effective_constant_tags = {description.constant_tags.data, description.constant_tags.count};
    material_server.queue_constant_update(*this);
}

void Material::set_texture_tag(uint32_t index, uint32_t tag_word) {
    description.texture_tags = {const_cast<uint32_t*>(effective_texture_tags.data), effective_texture_tags.count};
    material_server.grow_table(*this, MaterialTableKind::texture_tags, index + 1);
    description.texture_tags.data[index] = tag_word;
    effective_texture_tags = {description.texture_tags.data, description.texture_tags.count};
    material_server.queue_texture_update(*this);
}

void Material::update_pending() {
    if (material_server.is_selection_pending(*this)) {
        select_shader();
    }
    if (material_server.is_texture_update_pending(*this)) {
        material_server.resolve_textures(*this);
    }
    if (material_server.is_constant_update_pending(*this)) {
        material_server.resolve_constants(*this);
    }
}

void Material::fill_fibre_context(library::ShaderLibraryContext& context) const {
    context.fibre_tags = effective_fibre_tags;
    context.fibre_parameter = effective_fibre_parameter;
}

library::ShaderPassInput Material::make_pass_input(const Stream* const* streams, uint32_t stream_count) const {
    return {&texture_bindings.tags, &constant_bindings.tags, streams, stream_count};
}

void Material::setup_pass(uint32_t setup_number, library::ShaderLibraryContext& context) {
    const uint32_t setup_index = library::find_slot_pass_setup(passes[0], setup_number);
    if (setup_index != library::no_setup) {
        const library::ShaderLibraryHeader& header = library::get_library_header();
        const auto setup = library::read_record<library::ShaderSetup>(header.setups, setup_index);
        if (setup.shader_pass_count != 0) {
            fill_fibre_context(context);
            const auto pass = library::read_record<library::ShaderPass>(header.shader_passes, setup.first_shader_pass);
            library::setup_shader_pass(pass, make_pass_input(nullptr, 0), context);
        }
    }
    context.constant_tags = {};
    context.texture_tags = {};
    context.fibre_tags = {};
    context.vectors = {};
    context.textures = {};
    context.fibre_parameter = -1;
}

uint32_t Material::get_lightmap_texture_id() const {
    if (effective_texture_tags.count <= lightmap_texture_tag) {
        return 0;
    }
    const uint32_t tag = effective_texture_tags.data[lightmap_texture_tag];
    if (tag == 0) {
        return 0;
    }
    if (library::get_tag_source(tag) != material_source_tag) {
        ZOLT_PANIC("Lightmap texture source 0x%08x is not based on mesh", tag);
    }
    const uint32_t index = library::get_tag_parameter(tag);
    if (index >= description.textures.count) {
        ZOLT_PANIC("Material does not contain texture with index %d referenced by lightmap_texture_tag",
                   static_cast<int32_t>(index));
    }
    return description.textures.data[index];
}

void Material::warm_up_programs() const {
    const auto warm_up_slot = [this](uint32_t slot, uint32_t first, uint32_t step, uint32_t last) {
        if (!has_pass(slot)) {
            return;
        }
        for (uint32_t setup = first; setup <= last; setup += step) {
            const uint32_t setup_index = library::find_slot_pass_setup(passes[slot], setup);
            if (setup_index != library::no_setup) {
                library::warm_up_setup(setup_index);
            }
        }
    };
    for (const uint32_t slot : {6u, 7u, 9u, 11u}) {
        if ((description.flags & material_flag_warm_up_even_lighting) != 0) {
            warm_up_slot(slot, 0, 2, 12);
        }
        if ((description.flags & material_flag_warm_up_odd_lighting) != 0) {
            warm_up_slot(slot, 1, 2, 13);
        }
    }
    for (const uint32_t slot : {0u, 1u, 2u, 3u, 12u, 4u, 8u, 10u, 13u, 14u}) {
        if (has_pass(slot)) {
            const library::ShaderLibraryHeader& header = library::get_library_header();
            const auto slot_pass = library::read_record<library::ShaderSlotPass>(header.slot_passes, passes[slot]);
            warm_up_slot(slot, 0, 1, slot_pass.setup_count == 0 ? 0 : slot_pass.setup_count - 1);
        }
    }
}

}  // namespace zolt::renderer
