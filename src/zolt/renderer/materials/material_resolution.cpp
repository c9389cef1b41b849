// Shader selection and tag resolution of materials: which entry, variant and
// slot passes a material draws with, and where each of its texture and
// constant tags finds its value.
#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace library = shader_library;

namespace {

library::TableReference<uint32_t> as_reference(const MaterialTable<uint32_t>& table) {
    return {table.data, table.count};
}

library::ShaderLibraryContext make_context(const Material& material, bool with_source) {
    library::ShaderLibraryContext context;
    context.source_object =
        with_source && material.source_object != 0 ? core::get_object(material.source_object) : nullptr;
    context.constant_tags = material.effective_constant_tags;
    context.texture_tags = material.effective_texture_tags;
    context.vectors = {material.description.vectors.data, material.description.vectors.count};
    context.fibre_parameter = -1;
    return context;
}

}  // namespace

void Material::resolve_tag_tables() {
    const library::EntryTagDefaults defaults = library::get_entry_tag_defaults(description.shader_index);
    effective_constant_tags =
        description.constant_tags.count != 0 ? as_reference(description.constant_tags) : defaults.constant_tags;
    effective_texture_tags =
        description.texture_tags.count != 0 ? as_reference(description.texture_tags) : defaults.texture_tags;
    if (description.fibre_tags.count != 0) {
        effective_fibre_tags = as_reference(description.fibre_tags);
        effective_fibre_parameter = description.fibre_parameter;
    } else {
        effective_fibre_tags = defaults.fibre_tags;
        effective_fibre_parameter = defaults.fibre_parameter;
    }
}

void Material::select_shader() {
    library::ShaderLibraryContext context = make_context(*this, true);
    const library::ShaderSelection selection =
        library::find_fallback(description.shader_index, library::ConditionMode::runtime, context);
    if (selection.entry == library::no_entry) {
        ZOLT_ERROR("Can not find fallback for shader %u", description.shader_index);
    }
    selected_entry = selection.entry;
    selected_variant = selection.variant;
    const library::ShaderLibraryHeader& header = library::get_library_header();
    const auto variant = library::read_record<library::ShaderVariant>(header.variants, selected_variant);
    pass_mask = 0;
    for (uint32_t slot = 0; slot < material_pass_slot_count; ++slot) {
        passes[slot] = no_slot_pass;
        if ((variant.slot_mask >> slot & 1) == 0) {
            continue;
        }
        const auto slot_pass = library::read_record<uint32_t>(header.pass_indices, variant.pass_index_base + slot);
        if (library::slot_pass_conditions_pass(slot_pass, context)) {
            passes[slot] = slot_pass;
            pass_mask |= 1u << slot;
        }
    }
    if (texture_bindings.variant != selected_variant) {
        texture_bindings.variant = selected_variant;
        material_server.queue_texture_update(*this);
    }
    if (constant_bindings.variant != selected_variant) {
        constant_bindings.variant = selected_variant;
        material_server.queue_constant_update(*this);
    }
    selected_entry_flags = library::get_entry_flags(selected_entry);
    variant_word = variant.variant_word;
    material_server.unlink_selection(*this);
}

void MaterialServer::resolve_constants(Material& material) {
    library::ShaderLibraryContext context = make_context(material, !material.static_tags);
    MaterialConstantBindings& bindings = material.constant_bindings;
    bindings.scratch_count = 0;
    bindings.dynamic = false;
    bindings.tags.resolved_mask = 0;
    const library::TagNumberList tags = library::get_variant_constant_tags(bindings.variant);
    for (uint32_t position = 0; position < tags.length; ++position) {
        const uint32_t tag = tags.numbers[position];
        if (tag >= library::constant_tag_count) {
            continue;
        }
        // Sixteen scratch values at most: a value without a home beyond them
        // stays unresolved.
        library::ConstantValue spare;
        library::ConstantValue* const scratch =
            bindings.scratch_count < material_scratch_value_count ? &bindings.scratch[bindings.scratch_count] : &spare;
        library::ConstantKind kind = library::ConstantKind::floats;
        bool dynamic = false;
        const library::ConstantValue* value = library::resolve_constant_tag(scratch, &kind, &dynamic, tag, context);
        if (value == &spare) {
            value = nullptr;
        }
        bindings.tags.resolved[tag] = {value, kind};
        if (value != nullptr) {
            bindings.tags.resolved_mask |= uint64_t{1} << tag;
            if (value == scratch) {
                ++bindings.scratch_count;
            }
        }
        bindings.dynamic |= dynamic;
    }
    unlink_constant_update(material);
}

void MaterialServer::resolve_textures(Material& material) {
    library::ShaderLibraryContext context = make_context(material, !material.static_tags);
    context.textures = {material.description.textures.data, material.description.textures.count};
    MaterialTextureBindings& bindings = material.texture_bindings;
    // The old references go only after the new ones are taken, so a texture
    // that stays never loses its last reference in between.
    TextureObject* previous[library::texture_tag_count];
    const uint32_t previous_count = bindings.held_count;
    for (uint32_t index = 0; index < previous_count; ++index) {
        previous[index] = bindings.held[index];
    }
    bindings.held_count = 0;
    bindings.dynamic = false;
    bindings.tags.resolved_mask = 0;
    const library::TagNumberList tags = library::get_variant_texture_tags(bindings.variant);
    for (uint32_t position = 0; position < tags.length; ++position) {
        const uint32_t tag = tags.numbers[position];
        if (tag >= library::texture_tag_count) {
            continue;
        }
        TextureObject* texture = nullptr;
        bool dynamic = false;
        TextureObject* const* place = library::resolve_texture_tag(tag, context, &texture, &dynamic);
        if (place == &texture) {
            if (bindings.held_count == library::texture_tag_count) {
                texture_server.release_texture(texture);
                place = nullptr;
            } else {
                bindings.held[bindings.held_count] = texture;
                place = &bindings.held[bindings.held_count++];
            }
        }
        bindings.tags.resolved[tag] = place;
        if (place != nullptr) {
            bindings.tags.resolved_mask |= 1u << tag;
        }
        bindings.dynamic |= dynamic;
    }
    for (uint32_t index = 0; index < previous_count; ++index) {
        texture_server.release_texture(previous[index]);
    }
    unlink_texture_update(material);
}

}  // namespace zolt::renderer
