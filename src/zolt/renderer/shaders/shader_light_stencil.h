#pragma once
// The stencil volume and mask of a light, drawn for the lighting layers with
// the library's state reset around them: world-space vertices under an
// identity model-view. Rendering thread only.
#include "libs/opengl/stencil_operations.h"

namespace zolt::renderer::shader_library {

// Counts the volume's faces in the stencil: from inside, depth-fail front
// faces decrement and back faces increment; from outside, depth-pass front
// faces increment and back faces decrement.
void render_light_stencil_volume(bool camera_inside, const opengl::StencilGeometry& geometry);
// Sets the stencil to 0 inside the volume.
void render_light_stencil_mask(const opengl::StencilGeometry& geometry);

}  // namespace zolt::renderer::shader_library
