#include "zolt/renderer/shaders/shader_pass_setup.h"

#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

namespace {

TextureObject* find_tag_texture(const ResolvedTextureTags* textures, uint32_t tag) {
    if (textures == nullptr || tag >= texture_tag_count || (textures->resolved_mask >> tag & 1) == 0) {
        return nullptr;
    }
    TextureObject* const* const place = textures->resolved[tag];
    return place != nullptr ? *place : nullptr;
}

const ResolvedConstant* find_tag_constant(const ResolvedConstantTags* constants, uint32_t tag) {
    if (constants == nullptr || tag >= constant_tag_count || (constants->resolved_mask >> tag & 1) == 0) {
        return nullptr;
    }
    const ResolvedConstant& constant = constants->resolved[tag];
    return constant.value != nullptr ? &constant : nullptr;
}

// Same textures on the same units as the library last bound, and nothing
// moved them since: no unit needs to be touched.
bool texture_units_current(const ShaderPass& pass, const ResolvedTextureTags* textures) {
    for (uint32_t index = 0; index < pass.texture_unit_binding_count; ++index) {
        const auto binding = read_record<TextureUnitBinding>(get_library_header().texture_unit_bindings,
                                                             pass.first_texture_unit_binding + index);
        if (binding.texture_unit >= library_texture_binding_count) {
            return false;
        }
        const TextureObject* const texture = find_tag_texture(textures, binding.texture_tag);
        const LibraryTextureBinding& cached = get_library_texture_binding(binding.texture_unit);
        if (!cached.known || cached.texture != texture ||
            texture_server.get_bound_texture(binding.texture_unit) != texture) {
            return false;
        }
    }
    return true;
}

}  // namespace

void setup_texture_units(const ShaderPass& pass, const ResolvedTextureTags* textures) {
    if (pass.texture_unit_binding_count == 0 || texture_units_current(pass, textures)) {
        return;
    }
    for (uint32_t index = 0; index < pass.texture_unit_binding_count; ++index) {
        const auto binding = read_record<TextureUnitBinding>(get_library_header().texture_unit_bindings,
                                                             pass.first_texture_unit_binding + index);
        TextureObject* const texture = find_tag_texture(textures, binding.texture_tag);
        texture_server.request_texture(binding.texture_unit, texture);
        LibraryTextureBinding& cached = get_library_texture_binding(binding.texture_unit);
        cached.texture = texture;
        cached.known = true;
    }
    const uint32_t unit_count = texture_server.get_requested_unit_count();
    if (unit_count > 0) {
        texture_server.commit_texture_units(
            0, (unit_count < library_texture_binding_count ? unit_count : library_texture_binding_count) - 1);
    }
}

void setup_constants(const ShaderPass& pass, const ResolvedConstantTags* constants, ShaderLibraryContext& context) {
    for (uint32_t index = 0; index < pass.constant_binding_count; ++index) {
        const auto binding =
            read_record<ConstantBinding>(get_library_header().constant_bindings, pass.first_constant_binding + index);
        const ResolvedConstant* const constant = find_tag_constant(constants, binding.constant_tag & 0xFF);
        if (constant == nullptr) {
            continue;
        }
        const ConstantValue* value = constant->value;
        if (constant->kind == ConstantKind::special) {
            resolve_special_constant_value(&context.scratch, context, value->words[0]);
            value = &context.scratch;
        }
        setup_constant(*value, constant->kind == ConstantKind::integers, binding.target_word);
    }
}

void setup_shader_pass(const ShaderPass& pass, const ShaderPassInput& input, ShaderLibraryContext& context) {
    setup_texture_units(pass, input.textures);
    const FibreSources sources{input.streams, input.stream_count, context.fibre_tags.data, context.fibre_tags.count};
    for (uint32_t index = 0; index < pass.fibre_binding_count; ++index) {
        setup_fibre(read_record<FibreBinding>(get_library_header().fibre_bindings, pass.first_fibre_binding + index),
                    sources);
    }
    release_unused_fibres();
    setup_index_fibre(sources);
    setup_pass_program(pass);
    setup_constants(pass, input.constants, context);
    if (get_current_glsl_program() != nullptr) {
        upload_cached_lighting_state();
    }
    if (has_target_setup(pass.setup_kinds)) {
        apply_target_setup(read_record<TargetSetup>(TableLocation{pass.target_setup_offset, 1}, 0));
    }
}

}  // namespace zolt::renderer::shader_library
