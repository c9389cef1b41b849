#pragma once
// Drawing one queued request with one setup of one of its material's pass
// slots: setup pairs, the scissor of its clip rectangle, its object
// transform, the library's pass setup with its own streams or the quad
// batcher's, then the draw (the mesh's bone batches for a mesh part). The
// occlusion rule wraps it: a request with a query draws only when its proxy
// (drawn with the default material earlier in the frame) was seen.
// Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer {

struct RenderRequest;

// Setup n of the request material's pass for the slot, setup pairs applied.
// False when the material has no such pass or setup or the setup has no
// shader passes; the slot pass's flags come with it.
bool find_request_setup(const RenderRequest& request, uint32_t slot, uint32_t setup_number,
                        shader_library::ShaderSetup* setup, uint32_t* slot_pass_flags);
// The program of the first shader pass of that setup; 0 without one. The
// slot pass's flags come with it when there is a setup.
uint32_t get_first_program_index(const RenderRequest& request, uint32_t slot, uint32_t setup_number,
                                 uint32_t* slot_pass_flags = nullptr);

void draw_request(const RenderRequest& request, uint32_t slot, uint32_t setup_number);
void render_request(const RenderRequest& request, uint32_t slot, uint32_t setup_number);

}  // namespace zolt::renderer
