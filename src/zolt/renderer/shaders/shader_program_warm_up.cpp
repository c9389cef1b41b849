#include "zolt/renderer/shaders/shader_program_warm_up.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer::shader_library {

namespace {

WarmUpHooks warm_up_hooks;

constexpr uint32_t first_generic_fibre_tag = 3;
constexpr uint32_t position_fibre_tag = 1;
constexpr uint32_t normal_fibre_tag = 2;

bool needs_glsl(const ShaderPass& pass) {
    return get_vertex_setup_kind(pass.setup_kinds) == VertexSetupKind::glsl ||
           get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::glsl;
}

void keep_alive(bool with_network) {
    if (warm_up_hooks.update_loading_screen != nullptr) {
        warm_up_hooks.update_loading_screen();
    }
    if (with_network && warm_up_hooks.update_network != nullptr) {
        warm_up_hooks.update_network();
    }
}

void draw_one_primitive() {
    const IndexStreamState& index_stream = get_index_stream();
    if (index_stream.stream != nullptr) {
        draw_indexed(get_indices_per_primitive(index_stream.primitive_type), 0);
    }
}

}  // namespace

void keep_warm_up_alive() {
    keep_alive(false);
}

void set_warm_up_hooks(const WarmUpHooks& hooks) {
    warm_up_hooks = hooks;
}

const WarmUpHooks& get_warm_up_hooks() {
    return warm_up_hooks;
}

uint32_t apply_setup_pairs(uint32_t entry_flags, uint32_t setup_number, bool mesh_flag) {
    if ((entry_flags & entry_flag_setup_pairs) == 0) {
        return setup_number;
    }
    return 2 * setup_number + (mesh_flag ? 1 : 0);
}

uint32_t find_slot_pass_setup(uint32_t slot_pass_index, uint32_t setup_number) {
    const ShaderLibraryHeader& header = get_library_header();
    if (slot_pass_index >= header.slot_passes.count) {
        return no_setup;
    }
    const auto slot_pass = read_record<ShaderSlotPass>(header.slot_passes, slot_pass_index);
    if (setup_number >= slot_pass.setup_count) {
        return no_setup;
    }
    const auto setup_index = read_record<uint32_t>(header.setup_indices, slot_pass.setup_index_base + setup_number);
    return setup_index;
}

uint32_t get_indices_per_primitive(uint32_t primitive_type) {
    switch (primitive_type) {
    case GL_TRIANGLES:
        return 3;
    case GL_QUADS:
        return 4;
    default:
        ZOLT_PANIC("Unrecognized geometrical primitive type 0x%x", primitive_type);
    }
}

uint32_t warm_up_setup(uint32_t setup_index) {
    const ShaderLibraryHeader& header = get_library_header();
    const ShaderSetup setup = read_record<ShaderSetup>(header.setups, setup_index);
    uint32_t built = 0;
    for (uint32_t index = 0; index < setup.shader_pass_count; ++index) {
        const ShaderPass pass = read_record<ShaderPass>(header.shader_passes, setup.first_shader_pass + index);
        const GlslProgram& entry = get_glsl_program_entry(pass.program_index);
        if (!needs_glsl(pass) || entry.program != 0 || entry.build_failed) {
            continue;
        }
        if (use_glsl_program(pass)) {
            ++built;
            keep_alive(false);
        }
    }
    setup_pass_program(read_default_shader_pass());
    return built;
}

uint32_t warm_up_draw(uint32_t slot_pass_index, uint32_t setup_number, const ShaderPassInput& input,
                      ShaderLibraryContext& context) {
    if (!opengl::compatibility_fix_warmup) {
        return 0;
    }
    const uint32_t setup_index = find_slot_pass_setup(slot_pass_index, setup_number);
    if (setup_index == no_setup) {
        return 0;
    }
    const ShaderLibraryHeader& header = get_library_header();
    const ShaderSetup setup = read_record<ShaderSetup>(header.setups, setup_index);
    uint32_t drawn = 0;
    for (uint32_t index = 0; index < setup.shader_pass_count; ++index) {
        const ShaderPass pass = read_record<ShaderPass>(header.shader_passes, setup.first_shader_pass + index);
        if (!opengl::compatibility_fix_per_constant_warmup) {
            const GlslProgram& entry = get_glsl_program_entry(pass.program_index);
            if (!needs_glsl(pass) || entry.build_failed || (entry.program != 0 && entry.drawn_since_built)) {
                continue;
            }
        }
        setup_shader_pass(pass, input, context);
        draw_one_primitive();
        ++drawn;
        keep_alive(true);
    }
    return drawn;
}

void warmpup_streams(const Stream* const* streams, uint32_t stream_count, ShaderLibraryContext& context) {
    if (!opengl::compatibility_fix_warmup) {
        return;
    }
    const FibreSources sources{streams, stream_count, context.fibre_tags.data, context.fibre_tags.count};
    for (uint32_t tag = position_fibre_tag; tag < context.fibre_tags.count; ++tag) {
        if (context.fibre_tags.data[tag] == 0) {
            continue;  // a tag the material leaves empty
        }
        uint32_t target = static_cast<uint32_t>(AttributeTargetClass::position);
        if (tag == normal_fibre_tag) {
            target = static_cast<uint32_t>(AttributeTargetClass::normal);
        } else if (tag >= first_generic_fibre_tag) {
            const uint32_t generic_index = tag - first_generic_fibre_tag;
            if (generic_index >= attribute_targets_per_class) {
                break;
            }
            target = static_cast<uint32_t>(AttributeTargetClass::generic) + generic_index;
        }
        setup_fibre(FibreBinding{tag, target}, sources);
    }
    release_unused_fibres();
    setup_index_fibre(sources);
    draw_one_primitive();
    reset_state();
    keep_alive(false);
}

}  // namespace zolt::renderer::shader_library
