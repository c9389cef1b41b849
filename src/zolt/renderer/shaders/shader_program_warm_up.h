#pragma once
// Building a setup's GLSL programs ahead of the first frame that draws with
// them, so that frame does not stall on the driver's compiler. Rendering
// thread only.
#include <cstdint>

namespace zolt::renderer::shader_library {

// Builds and binds every GLSL program of the setup (an index into the
// library's setup table) not built yet, drawing nothing; then binds the
// default shader pass's program. Answers how many programs were built.
uint32_t warm_up_setup(uint32_t setup_index);

}  // namespace zolt::renderer::shader_library
