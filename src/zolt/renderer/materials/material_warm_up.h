#pragma once
// Warming a material's passes up outside the render layers (mesh and decal
// warm-up at rendering command 11): each pass drawn once with the given
// streams, so that the first frame that needs them does not stall.
// Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class Material;
struct Stream;

namespace shader_library {
struct ShaderLibraryContext;
}

// The lighting layers warm their slots up with sample light parameters; not
// set, the lighting slots are left to the first frame that lights them.
using WarmUpLighting = void (*)(uint32_t slot_pass, const Stream* const* streams, uint32_t stream_count,
                                Material& material, shader_library::ShaderLibraryContext& context);
void set_warm_up_lighting(WarmUpLighting warm_up_lighting);

void render_geometry_immediately(Material& material, const Stream* const* streams, uint32_t stream_count,
                                 shader_library::ShaderLibraryContext& context);

// With warm-up on and the setup in slot 0's pass: the setup through
// Material::setup_pass, the callback, then one triangle in immediate mode.
void warm_up_setup_immediate(Material& material, uint32_t setup_number, shader_library::ShaderLibraryContext& context,
                             void (*callback)());

}  // namespace zolt::renderer
