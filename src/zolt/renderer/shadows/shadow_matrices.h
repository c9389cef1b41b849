#pragma once
// The arithmetic of shadow lookups: where the global light's cascades split
// the view's depth, and the matrix that takes a world point to shadow-map
// texture coordinates. Any thread.
#include <cstdint>

#include "libs/geometry/matrix.h"

namespace zolt::renderer {

constexpr uint32_t shadow_cascade_capacity = 4;

// Split j of count between near and end: -1 blends give even slices, +1
// slices growing by a constant ratio. blend[j - 1] steers split j; the first
// and the last split are near and end themselves.
float get_cascade_split(uint32_t j, uint32_t count, float near, float end,
                        const float (&blend)[shadow_cascade_capacity]);

enum class ShadowDepthForm {
    // Cascades: depth 0.5 clip z + 0.5 clip w, divided by w like x and y.
    full_bias,
    // Spot lights, whose views have linear depth: 0.5 clip z + 0.5.
    spot_light,
};

// The view-projection followed by the map's half scale and offset, so x and
// y after the division by w run from 0 to 1 over the view's screen range.
geometry::Matrix4 make_shadow_texture_matrix(const geometry::Matrix4& view_projection, ShadowDepthForm form);

}  // namespace zolt::renderer
