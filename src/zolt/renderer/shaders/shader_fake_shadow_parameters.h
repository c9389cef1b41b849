#pragma once
// The "fake_shadow_parameters" uniform of the current program: eight
// vectors describing one fake shadow for the fake-shadow layer's material,
// and the view's far distance in constant vertex attribute 1. Rendering
// thread only.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t fake_shadow_parameter_vector_count = 8;

struct FakeShadowParameters {
    // The fourth component already carries the view's fade.
    geometry::Vector4 strength;
    // World point to the shadow map's (u, v, depth).
    geometry::Matrix4 texture_matrix;
    // Offset and scale of the tile in its map.
    geometry::Vector4 tile_rectangle;
    float texel_width = 0;
    float texel_height = 0;
    // Volume extension over the shadow's depth.
    float extension_ratio = 0;
    // 1 / parameter 4 of the settings.
    float parameter_4_inverse = 0;
    float far_distance = 0;
};

// The eight vectors as uploaded: vector 0 the strength, 1 to 4 the
// transposed matrix, 5 the tile, 6 the ratio twice and the texel size, 7 the
// parameter-4 inverse; every float but the matrix's nudged.
void build_fake_shadow_parameter_vectors(const FakeShadowParameters& parameters,
                                         float (&vectors)[fake_shadow_parameter_vector_count][4]);
// Also sets the attribute when the current program has no such uniform.
void set_fake_shadow_parameters(const FakeShadowParameters& parameters);

}  // namespace zolt::renderer::shader_library
