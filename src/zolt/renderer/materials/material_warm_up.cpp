#include "zolt/renderer/materials/material_warm_up.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"

namespace zolt::renderer {

namespace library = shader_library;
using opengl::gl;

namespace {

WarmUpLighting warm_up_lighting_step = nullptr;

struct SlotSetups {
    uint32_t slot;
    uint32_t setup_count;
};
constexpr SlotSetups drawn_slots[] = {{1, 4}, {2, 4}, {3, 2}, {4, 1}, {5, 1}, {10, 1}, {12, 1}, {13, 1}, {8, 1}};
constexpr uint32_t lighting_slots[] = {6, 7, 11, 9};

}  // namespace

void set_warm_up_lighting(WarmUpLighting warm_up_lighting) {
    warm_up_lighting_step = warm_up_lighting;
}

void render_geometry_immediately(Material& material, const Stream* const* streams, uint32_t stream_count,
                                 library::ShaderLibraryContext& context) {
    material.fill_fibre_context(context);
    if (warm_up_lighting_step != nullptr) {
        for (const uint32_t slot : lighting_slots) {
            if (material.has_pass(slot)) {
                warm_up_lighting_step(material.passes[slot], streams, stream_count, material, context);
            }
        }
    }
    // Fixed inputs: any values in range give the depth programs something
    // to compile against.
    library::set_depth_rendering_parameters(123.556f, 102.31f, 3.13f, 4.551f, 0.1f, 0.9f);
    const library::ShaderPassInput input = material.make_pass_input(streams, stream_count);
    for (const SlotSetups& slot : drawn_slots) {
        if (!material.has_pass(slot.slot)) {
            continue;
        }
        for (uint32_t setup = 0; setup < slot.setup_count; ++setup) {
            library::warm_up_draw(material.passes[slot.slot], setup, input, context);
        }
    }
    library::reset_state();
}

void warm_up_setup_immediate(Material& material, uint32_t setup_number, library::ShaderLibraryContext& context,
                             void (*callback)()) {
    if (!opengl::compatibility_fix_warmup || !material.has_pass(0) ||
        library::find_slot_pass_setup(material.passes[0], setup_number) == library::no_setup) {
        return;
    }
    material.setup_pass(setup_number, context);
    if (callback != nullptr) {
        callback();
    }
    gl.glBegin(GL_TRIANGLES);
    gl.glVertex3f(0, 0, 1);
    gl.glVertex3f(1, 0, 1);
    gl.glVertex3f(1, 1, 1);
    gl.glEnd();
    library::keep_warm_up_alive();
}

}  // namespace zolt::renderer
