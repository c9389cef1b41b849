#pragma once
// Constants on their way to GL: ARB local parameters, the fixed locations
// (the common pixel parameters and the current program's cached vectors),
// GLSL uniforms, texture coordinate and vertex attribute constants, each
// with the cache its target keeps. Floats bound for a uniform or a fixed
// location are nudged off the few exact values some drivers fold into
// constants and then compile programs again for. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t texture_coordinate_constant_count = 16;

// Fixed-location targets.
enum class FixedLocation : uint32_t {
    pixel_vector_2_x = 0,
    pixel_vector_2_y = 1,
    pixel_vector_1 = 2,
    ambient_color = 3,
    user_vector_0 = 4,
    user_vector_1 = 5,
    first_user_float = 7,
    last_user_float = 14,
};

// 2 -> 1.9999, 1 -> 0.9999, 0.5 -> 0.5001, 0.25 -> 0.2501, 0.125 -> 0.1251
// with the sign kept, 0 -> 0.0001; anything else unchanged.
float nudge_constant(float value);
// The scalar forms of the fake-shadow and glow layers: values of 0.9999 or
// more become 0.9999, and 0.5, 0.25, 0.125 move up by 0.0001; the second
// also raises values of 0.0001 or less to 0.0001.
float nudge_scalar(float value);
float nudge_scalar_above_zero(float value);

// Uploads one value to the target word's destination. Unknown classes,
// fixed locations and value counts are panics ("Unsupported constant target
// %u", "Unsupported fixed location target %u", "Unsupported value count %u").
void setup_constant(const ConstantValue& value, bool integer, uint32_t target_word);

// glMultiTexCoord4fv on the unit unless it holds these values already.
void set_texture_coordinate_constant(uint32_t unit, const float values[4]);
// Code that set texture coordinates itself tells it here.
void forget_texture_coordinate_constants();

// Without GL calls: for a new context.
void reset_constant_caches();

}  // namespace zolt::renderer::shader_library
