#pragma once
// The per-view settings a viewport carries for the render layers, the shader
// library and the shadow passes, as its render record copies them each
// frame. Plain record.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

constexpr uint32_t viewport_user_vector_count = 16;
constexpr uint32_t viewport_texture_slot_count = 4;
constexpr uint32_t default_fake_shadow_limit = 40;

struct ViewportLayerParameters {
    // 257 to 269: the glow layer.
    geometry::Vector4 glow_257;
    float glow_258 = 0;
    uint32_t glow_blur_iterations = 1;
    uint32_t glow_divisor_x = 2;
    uint32_t glow_divisor_y = 2;
    geometry::Vector4 glow_262{1, 1, 1, 0};
    geometry::Vector4 glow_263{1, 1, 1, 0};
    geometry::Vector4 glow_264{0, 1, 0, 0};
    geometry::Vector4 glow_265{1, 1, 1, 1};
    geometry::Vector4 glow_266{1, 1, 1, 1};
    geometry::Vector4 glow_267;
    geometry::Vector4 glow_268{1, 1, 1, 0};
    geometry::Vector4 glow_269;
    // 270 to 272: the blended lighting layer's screen pass.
    uint8_t screen_pass = 0;
    float screen_pass_depth = 0;
    float screen_pass_value = 3;
    // 273 to 277: depth rendering of the lighting and occlusion passes.
    float depth_rendering[5] = {0, 10, 20, 0, 0.95f};
    // 278 to 281: the shadow passes.
    float first_shadow_split = 200;
    float shadow_distance = 500;
    uint32_t shadow_split_count = 4;
    geometry::Vector4 shadow_parameters{0.4f, 0.4f, 0.4f, 0.4f};
    uint32_t fake_shadow_limit = default_fake_shadow_limit;

    // The float parameter of that id, null for any other id.
    float* find_float(uint32_t id) {
        switch (id) {
        case 258:
            return &glow_258;
        case 271:
            return &screen_pass_depth;
        case 272:
            return &screen_pass_value;
        case 273:
        case 274:
        case 275:
        case 276:
        case 277:
            return &depth_rendering[id - 273];
        case 278:
            return &first_shadow_split;
        case 279:
            return &shadow_distance;
        default:
            return nullptr;
        }
    }
    const float* find_float(uint32_t id) const { return const_cast<ViewportLayerParameters*>(this)->find_float(id); }
};

}  // namespace zolt::renderer
