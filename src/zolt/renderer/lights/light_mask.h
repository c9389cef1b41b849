#pragma once
// The mask geometry of a light in a view: the closed mesh the lighting
// layers draw into the stencil to confine the light's passes, its screen
// rectangle for the scissor and whether the eye may lie inside it. A spot
// light's pyramid, a point light's icosahedron around its sphere; a
// directional light has none. Rendering thread.
#include "zolt/renderer/batcher/light_source.h"

namespace zolt::renderer {

struct VisibilityContext;

// Scales the unit icosahedron so that its faces lie on the sphere.
constexpr float icosahedron_face_scale = 1.2584086f;

// False for a directional light (drawn over the whole view).
bool get_light_mask_geometry(LightRender& light, const VisibilityContext& view, LightMaskGeometry* geometry);

}  // namespace zolt::renderer
