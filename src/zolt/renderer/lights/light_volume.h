#pragma once
// A light's volume as a clip volume and its test against the clip volumes
// of sector views: a point light's axis-aligned cube around its sphere, a
// spot light's pyramid; a directional light meets everything. The volume
// is kept in the render record and rebuilt only after the light changed.
// Rendering thread.
#include "libs/geometry/frustum.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {

// A cone this close to a half turn would give an infinitely wide pyramid.
constexpr float light_volume_cone_limit = 0.499f;

// The cached volume, built on first use after a change.
const geometry::Frustum& get_light_clip_volume(LightRender& light);
bool intersects_clip_volume(const geometry::Frustum& clip_volume, LightRender& light);

}  // namespace zolt::renderer
