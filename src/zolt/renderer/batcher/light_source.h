#pragma once
// How the lighting layers read the lights of the frame: the light server's
// render records by pool index, the global light, and what the light
// volumes work out per view (mask geometry, distance fades, shadow-map
// textures). The light code fills the instance when it starts; a function
// left null answers as when there is no such light or volume, so the
// layers draw unconfined and unfaded. Rendering thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {

class TextureObject;

// A light's volume in the current view: its screen rectangle in fractions
// of the view (x0, y0, x1, y1; x1 < x0 or y1 < y0 is empty) and a closed
// world-space triangle mesh of at most 12 vertices.
constexpr uint32_t light_mask_vertex_capacity = 12;
struct LightMaskGeometry {
    float rectangle[4] = {1.0f, 1.0f, 0.0f, 0.0f};
    float vertices[light_mask_vertex_capacity * 3] = {};
    uint32_t vertex_count = 0;
    const uint16_t* indices = nullptr;
    uint32_t triangle_count = 0;
    bool camera_inside = false;
};

struct LightSource {
    const LightRender* (*get_light)(uint32_t index) = nullptr;
    const GlobalLightRender* (*get_global_light)() = nullptr;
    // False for a light without a volume (a directional light).
    bool (*get_mask_geometry)(const LightRender& light, LightMaskGeometry* geometry) = nullptr;
    LightFades (*get_distance_fades)(const LightRender& light, const geometry::Vector3& eye) = nullptr;
    // The map of the light's shadow tile; null without one.
    TextureObject* (*get_shadow_texture)(const LightRender& light) = nullptr;
    TextureObject* (*get_projected_texture)(const LightRender& light) = nullptr;
    // The global light's shadow, when its tile was rendered this view and
    // its strength is above 0; null otherwise.
    TextureObject* (*get_global_shadow_texture)() = nullptr;
    TextureObject* (*get_global_light_texture)() = nullptr;
};

extern LightSource light_source;

}  // namespace zolt::renderer
