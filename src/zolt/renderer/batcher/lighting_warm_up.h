#pragma once
// The lighting layers' part of warming a material up: every lit setup of a
// lit pass slot drawn once with sample light parameters, so that the first
// frame that lights the material does not stall building its programs.
// Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class Material;
struct Stream;

namespace shader_library {
struct ShaderLibraryContext;
}

void warm_up_lighting(uint32_t slot_pass, const Stream* const* streams, uint32_t stream_count, Material& material,
                      shader_library::ShaderLibraryContext& context);

}  // namespace zolt::renderer
