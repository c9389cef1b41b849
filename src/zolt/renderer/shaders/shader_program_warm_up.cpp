#include "zolt/renderer/shaders/shader_program_warm_up.h"

#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer::shader_library {

namespace {

bool needs_glsl(const ShaderPass& pass) {
    return get_vertex_setup_kind(pass.setup_kinds) == VertexSetupKind::glsl ||
           get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::glsl;
}

}  // namespace

uint32_t warm_up_setup(uint32_t setup_index) {
    const ShaderLibraryHeader header = read_record<ShaderLibraryHeader>(TableLocation{0, 1}, 0);
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
        }
    }
    setup_pass_program(read_default_shader_pass());
    return built;
}

}  // namespace zolt::renderer::shader_library
