#pragma once
// The light parameter blocks of the shader library filled from the render
// records of a spot, point or directional light, or from the global light
// drawn without its shadow. Records come from scripts and the light
// server: a NaN or infinite colour, intensity, position or matrix reaches
// the shaders as 0 and a range of 0, less or NaN as the smallest range, so
// a bad light lights nothing instead of spreading NaN over the picture.
// Rendering thread only.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

struct GlobalLightRender;
struct LightRender;

// The smallest range a light block holds: its reciprocal stays finite.
constexpr float minimum_light_range = 1.0f / 65536.0f;
// The texel size given to a spot light without a shadow-map texture.
constexpr float missing_shadow_texel_size = 1.0f / 2048.0f;

struct SpotLightBlock {
    geometry::Vector4 pixel[3];
    geometry::Vector4 vertex[5];
};

// shadow_map_width and _height are 0 without a shadow-map texture.
SpotLightBlock make_spot_light_block(const LightRender& light, float light_fade, float shadow_fade,
                                     uint32_t shadow_map_width, uint32_t shadow_map_height);
// Pixel vector 0 and vertex vector 0 of a point light.
void make_point_light_block(const LightRender& light, float light_fade, geometry::Vector4* pixel,
                            geometry::Vector4* vertex);
void make_directional_light_block(const LightRender& light, float light_fade, geometry::Vector4* pixel,
                                  geometry::Vector4* vertex);
void make_global_directional_block(const GlobalLightRender& light, geometry::Vector4* pixel, geometry::Vector4* vertex);

void upload_spot_light_block(const LightRender& light, float light_fade, float shadow_fade, uint32_t shadow_map_width,
                             uint32_t shadow_map_height);
void upload_point_light_block(const LightRender& light, float light_fade);
void upload_directional_light_block(const LightRender& light, float light_fade);
void upload_global_light_as_directional(const GlobalLightRender& light);

}  // namespace zolt::renderer
