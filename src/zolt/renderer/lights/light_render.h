#pragma once
// The render-side twin of a light and of the global light: what the render
// layers, the sector light lists and the shadow passes read during a frame.
// The light server copies script-side changes into these once per frame, so
// a frame sees one consistent snapshot. Main thread only.
#include <cstdint>

#include "libs/geometry/frustum.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::core {
class ServerObject;
}

namespace zolt::renderer {

constexpr uint32_t light_server_type = 27;
constexpr uint32_t light_capacity = 255;

// The same numbers everywhere: objects, render records, shaders and saves.
enum class LightType : uint8_t { spot = 0, directional = 1, point = 2 };

struct ShadowTile;

struct LightRender {
    uint8_t dynamic = 0;
    uint8_t on = 0;
    uint8_t type = static_cast<uint8_t>(LightType::point);
    uint32_t light_mask = 0;
    uint32_t priority = 0;
    uint32_t sector_list = 0;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    geometry::Vector3 direction;
    geometry::Vector4 colour;
    float intensity = 0.0f;
    float range = 0.0f;
    // Full opening angle in turns over two: tan(pi * cone) is the tangent
    // of the half-angle.
    float cone = 0.0f;
    float light_fade_start = 0.0f;
    float light_fade_length = 0.0f;
    float shadow_fade_start = 0.0f;
    float shadow_fade_length = 0.0f;
    uint8_t casts_shadows = 0;
    uint32_t shadow_mask = 0;
    float parameter_226 = 0.0f;
    uint32_t shadow_map_resolution = 0;
    uint8_t casts_fake_shadows = 0;
    float fake_shadow_strength = 0.0f;
    // Counted: taken when copied in, released through its server when dropped.
    core::ServerObject* projected_object = nullptr;
    // Cleared whenever the geometry is copied; the volume is built lazily.
    uint8_t clip_volume_valid = 0;
    geometry::Frustum clip_volume;
    // Written by the shadow pass: world space to shadow-map texture space.
    geometry::Vector4 shadow_texture_matrix[4];
    LightRender* next_shadow_light = nullptr;
    ShadowTile* shadow_tile = nullptr;
};

// How strongly a light and its shadow reach a point: 1 near the light,
// falling to 0 past the fade's start plus its length.
struct LightFades {
    float light = 1.0f;
    float shadow = 1.0f;
};

// The one directional light of the whole world.
struct GlobalLightRender {
    geometry::Vector4 direction;
    geometry::Vector4 colour;
    float intensity = 0.0f;
    uint8_t on = 0;
    float shadow_strength = 0.0f;
    // Read by nothing but the shaders.
    geometry::Vector4 vector_a;
    geometry::Vector4 vector_b;
    // Counted, as a light's projected object.
    core::ServerObject* object = nullptr;
    uint32_t fake_shadow_time_step = 0;
};

}  // namespace zolt::renderer
