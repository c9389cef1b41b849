#pragma once
// The corners and texture coordinates of one overlay quad: pure maths, shared
// by display elements and glyphs. Screen units are pixels with y up.
#include <cstdint>

#include "zolt/renderer/display/packed_color.h"

namespace zolt::renderer {

struct Vector2 {
    float x = 0.0f;
    float y = 0.0f;
};

// One interleaved vertex of the overlay batch: 20 bytes.
struct OverlayVertex {
    float x, y;
    float u, v;
    uint32_t color_bytes;  // red, green, blue, alpha in memory order
};
static_assert(sizeof(OverlayVertex) == 20);

struct OverlayQuad {
    Vector2 position;
    Vector2 size;
    Vector2 scale{1.0f, 1.0f};
    Vector2 pivot;
    Vector2 texture_origin;  // texels
    Vector2 texture_extent;  // texels
    Vector2 texture_scale{1.0f, 1.0f};
    float texture_angle = 0.0f;  // turns
    float angle = 0.0f;          // turns; positive turns clockwise on screen
};

struct SineCosine {
    float sine;
    float cosine;
};

// Sine and cosine of 2 pi a by the subsystem's own polynomials.
SineCosine sincos_turns(float a);

// Four vertices, lower left first, counter-clockwise on an unturned quad.
void build_overlay_quad(const OverlayQuad& quad, uint32_t texture_width, uint32_t texture_height, PackedColor color,
                        OverlayVertex out[4]);

}  // namespace zolt::renderer
