#include "zolt/renderer/batcher/light_upload.h"

#include <cmath>

#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shadows/shadow_atlas.h"

namespace zolt::renderer {

namespace library = shader_library;
using geometry::Vector3;
using geometry::Vector4;

namespace {

// The w the position and direction vectors carry for the shaders.
constexpr float vector_w = 0.001f;

float finite_or_zero(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

float nudged(float value) {
    return library::nudge_constant(finite_or_zero(value));
}

float reciprocal_range(float range) {
    // Written so that NaN fails the test too.
    return 1.0f / (range > minimum_light_range && std::isfinite(range) ? range : minimum_light_range);
}

// Colour x intensity x fade, the reciprocal range (or the fixed w) last.
Vector4 make_colour_vector(const Vector4& colour, float intensity, float fade, float w) {
    const float scale = finite_or_zero(intensity) * finite_or_zero(fade);
    return {nudged(finite_or_zero(colour.x) * scale), nudged(finite_or_zero(colour.y) * scale),
            nudged(finite_or_zero(colour.z) * scale), nudged(w)};
}

Vector4 make_point_vector(const Vector3& point) {
    return {nudged(point.x), nudged(point.y), nudged(point.z), nudged(vector_w)};
}

}  // namespace

SpotLightBlock make_spot_light_block(const LightRender& light, float light_fade, float shadow_fade,
                                     uint32_t shadow_map_width, uint32_t shadow_map_height) {
    SpotLightBlock block;
    block.pixel[0] = make_colour_vector(light.colour, light.intensity, light_fade, reciprocal_range(light.range));
    // Where the light's tile lies in its map; 0 without a tile.
    const bool has_map = shadow_map_width != 0 && shadow_map_height != 0;
    const ShadowTileRectangle tile = get_shadow_tile_rectangle(has_map ? light.shadow_tile : nullptr);
    block.pixel[1] = {tile.x, tile.y, tile.scale_x, tile.scale_y};
    block.pixel[2] = {has_map ? 1.0f / static_cast<float>(shadow_map_width) : missing_shadow_texel_size,
                      has_map ? 1.0f / static_cast<float>(shadow_map_height) : missing_shadow_texel_size,
                      nudged(shadow_fade), vector_w};
    block.vertex[0] = make_point_vector(light.position);
    // Transposed: the shaders take the matrix's columns as rows.
    const float* const matrix = &light.shadow_texture_matrix[0].x;
    for (uint32_t row = 0; row < 4; ++row) {
        block.vertex[1 + row] = {finite_or_zero(matrix[row]), finite_or_zero(matrix[4 + row]),
                                 finite_or_zero(matrix[8 + row]), finite_or_zero(matrix[12 + row])};
    }
    return block;
}

void make_point_light_block(const LightRender& light, float light_fade, Vector4* pixel, Vector4* vertex) {
    *pixel = make_colour_vector(light.colour, light.intensity, light_fade, reciprocal_range(light.range));
    *vertex = make_point_vector(light.position);
}

void make_directional_light_block(const LightRender& light, float light_fade, Vector4* pixel, Vector4* vertex) {
    *pixel = make_colour_vector(light.colour, light.intensity, light_fade, vector_w);
    *vertex = make_point_vector({-light.direction.x, -light.direction.y, -light.direction.z});
}

void make_global_directional_block(const GlobalLightRender& light, Vector4* pixel, Vector4* vertex) {
    *pixel = make_colour_vector(light.colour, light.intensity, 1.0f, vector_w);
    *vertex = make_point_vector({-light.direction.x, -light.direction.y, -light.direction.z});
}

void upload_spot_light_block(const LightRender& light, float light_fade, float shadow_fade, uint32_t shadow_map_width,
                             uint32_t shadow_map_height) {
    const SpotLightBlock block =
        make_spot_light_block(light, light_fade, shadow_fade, shadow_map_width, shadow_map_height);
    library::set_spot_light_constants(block.pixel, block.vertex);
}

void upload_point_light_block(const LightRender& light, float light_fade) {
    Vector4 pixel;
    Vector4 vertex;
    make_point_light_block(light, light_fade, &pixel, &vertex);
    library::set_point_light_constants(pixel, vertex);
}

void upload_directional_light_block(const LightRender& light, float light_fade) {
    Vector4 pixel;
    Vector4 vertex;
    make_directional_light_block(light, light_fade, &pixel, &vertex);
    library::set_directional_light_constants(pixel, vertex);
}

void upload_global_light_as_directional(const GlobalLightRender& light) {
    Vector4 pixel;
    Vector4 vertex;
    make_global_directional_block(light, &pixel, &vertex);
    library::set_directional_light_constants(pixel, vertex);
}

}  // namespace zolt::renderer
