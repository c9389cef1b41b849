#include "zolt/renderer/shaders/shader_gl_state.h"

#include "libs/opengl/renderer_hooks.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_program_arb.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

namespace {

LibraryTextureBinding library_texture_bindings[library_texture_binding_count];

void unbind_texture_units() {
    uint32_t last_bound = 0;
    bool any_bound = false;
    for (uint32_t unit = 0; unit < library_texture_binding_count; ++unit) {
        if (texture_server.get_bound_texture(unit) != nullptr) {
            texture_server.request_texture(unit, nullptr);
            last_bound = unit;
            any_bound = true;
        }
    }
    if (any_bound) {
        texture_server.commit_texture_units(0, last_bound);
    }
}

void forget_texture_bindings() {
    for (LibraryTextureBinding& binding : library_texture_bindings) {
        binding = LibraryTextureBinding{};
    }
}

}  // namespace

void reset_gl_caches() {
    reset_attribute_caches();
    reset_target_setup_cache();
    reset_program_setup_cache();
    reset_glsl_program_cache();
    reset_arb_program_cache();
    reset_constant_caches();
    forget_texture_bindings();
}

ShaderPass read_default_shader_pass() {
    const ShaderLibraryHeader header = read_record<ShaderLibraryHeader>(TableLocation{0, 1}, 0);
    const ShaderEntry entry = read_record<ShaderEntry>(header.entries, 0);
    const ShaderVariant variant = read_record<ShaderVariant>(header.variants, entry.first_variant);
    const uint32_t slot_pass_index = read_record<uint32_t>(header.pass_indices, variant.pass_index_base);
    const ShaderSlotPass slot_pass = read_record<ShaderSlotPass>(header.slot_passes, slot_pass_index);
    const uint32_t setup_index = read_record<uint32_t>(header.setup_indices, slot_pass.setup_index_base);
    const ShaderSetup setup = read_record<ShaderSetup>(header.setups, setup_index);
    return read_record<ShaderPass>(header.shader_passes, setup.first_shader_pass);
}

void reset_state() {
    unbind_texture_units();
    if (get_loaded_library().data != nullptr) {
        const ShaderPass pass = read_default_shader_pass();
        setup_pass_program(pass);
        if (has_target_setup(pass.setup_kinds)) {
            apply_target_setup(read_record<TargetSetup>(TableLocation{pass.target_setup_offset, 1}, 0));
        }
    }
    release_all_fibres();
    forget_index_stream();
    forget_texture_bindings();
}

void invalidate_texture_cache() {
    forget_texture_bindings();
    // Drawing outside the library sets texture coordinates of its own.
    forget_texture_coordinate_constants();
}

LibraryTextureBinding& get_library_texture_binding(uint32_t unit) {
    return library_texture_bindings[unit % library_texture_binding_count];
}

void delete_all_programs() {
    reset_state();
    unbind_all_programs();
    delete_glsl_programs();
    delete_arb_programs();
}

void install_shader_gl_hooks() {
    rendering_command_hooks.reset_shader_programs = &delete_all_programs;
    opengl::RendererHooks hooks = opengl::get_renderer_hooks();
    hooks.invalidate_texture_cache = &invalidate_texture_cache;
    opengl::set_renderer_hooks(hooks);
}

void remove_shader_gl_hooks() {
    rendering_command_hooks.reset_shader_programs = nullptr;
    opengl::RendererHooks hooks = opengl::get_renderer_hooks();
    hooks.invalidate_texture_cache = nullptr;
    opengl::set_renderer_hooks(hooks);
}

}  // namespace zolt::renderer::shader_library
