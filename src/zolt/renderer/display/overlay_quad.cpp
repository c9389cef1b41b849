#include "zolt/renderer/display/overlay_quad.h"

#include <cmath>

namespace zolt::renderer {

namespace {

constexpr double two_pi = 6.283185307179586;
constexpr float smallest_texture_scale = 1.0f / 65536.0f;

float clamp_unit(double x) {
    return static_cast<float>(x < -1.0 ? -1.0 : (x > 1.0 ? 1.0 : x));
}

// Away from zero so that a flat texture scale never divides into nothing.
float push_from_zero(float x) {
    if (x > 0.0f) {
        return x < smallest_texture_scale ? smallest_texture_scale : x;
    }
    return x > -smallest_texture_scale ? -smallest_texture_scale : x;
}

}  // namespace

SineCosine sincos_turns(float a) {
    const double r = static_cast<double>(a) - std::floor(static_cast<double>(a) + 0.5);
    const double x = two_pi * r;
    const double x2 = x * x;
    // Horner's form of the Taylor series to the 23rd and 22nd power.
    double sine = 1.0;
    double cosine = 1.0;
    for (int k = 11; k >= 1; --k) {
        sine = 1.0 - x2 / ((2.0 * k) * (2.0 * k + 1.0)) * sine;
        cosine = 1.0 - x2 / ((2.0 * k - 1.0) * (2.0 * k)) * cosine;
    }
    return {clamp_unit(x * sine), clamp_unit(cosine)};
}

void build_overlay_quad(const OverlayQuad& quad, uint32_t texture_width, uint32_t texture_height, PackedColor color,
                        OverlayVertex out[4]) {
    const Vector2 k{quad.pivot.x * quad.scale.x, quad.pivot.y * quad.scale.y};
    const Vector2 s{quad.size.x * quad.scale.x, quad.size.y * quad.scale.y};
    Vector2 corners[4];
    if (quad.angle == 0.0f) {
        corners[0] = {quad.position.x - k.x, quad.position.y - k.y};
        corners[1] = {corners[0].x + s.x, corners[0].y};
        corners[2] = {corners[0].x + s.x, corners[0].y + s.y};
        corners[3] = {corners[0].x, corners[0].y + s.y};
    } else {
        const SineCosine turn = sincos_turns(quad.angle);
        const Vector2 axis_x{turn.cosine, -turn.sine};
        const Vector2 axis_y{turn.sine, turn.cosine};
        corners[0] = {quad.position.x - k.x * axis_x.x - k.y * axis_y.x,
                      quad.position.y - k.x * axis_x.y - k.y * axis_y.y};
        corners[1] = {corners[0].x + s.x * axis_x.x, corners[0].y + s.x * axis_x.y};
        corners[2] = {corners[1].x + s.y * axis_y.x, corners[1].y + s.y * axis_y.y};
        corners[3] = {corners[0].x + s.y * axis_y.x, corners[0].y + s.y * axis_y.y};
    }

    const float w = static_cast<float>(texture_width != 0 ? texture_width : 1);
    const float h = static_cast<float>(texture_height != 0 ? texture_height : 1);
    const Vector2 e{quad.texture_origin.x / w, quad.texture_origin.y / h};
    const Vector2 f{quad.texture_extent.x / w, quad.texture_extent.y / h};
    Vector2 uv[4] = {{e.x, e.y}, {e.x + f.x, e.y}, {e.x + f.x, e.y + f.y}, {e.x, e.y + f.y}};
    const bool turned = quad.texture_angle != 0.0f;
    const bool scaled = quad.texture_scale.x != 1.0f || quad.texture_scale.y != 1.0f;
    if (turned || scaled) {
        const Vector2 middle{e.x + f.x * 0.5f, e.y + f.y * 0.5f};
        // Rotating in texel space keeps the turn square on a page that is not.
        const bool square = texture_width == texture_height;
        const SineCosine turn = turned ? sincos_turns(quad.texture_angle) : SineCosine{0.0f, 1.0f};
        const Vector2 stretch{push_from_zero(quad.texture_scale.x), push_from_zero(quad.texture_scale.y)};
        for (Vector2& point : uv) {
            float u = point.x - middle.x;
            float v = point.y - middle.y;
            if (turned) {
                if (!square) {
                    u *= w;
                    v *= h;
                }
                const float turned_u = u * turn.cosine - v * turn.sine;
                const float turned_v = u * turn.sine + v * turn.cosine;
                u = turned_u;
                v = turned_v;
                if (!square) {
                    u /= w;
                    v /= h;
                }
            }
            if (scaled) {
                u *= stretch.x;
                v *= stretch.y;
            }
            point = {u + middle.x, v + middle.y};
        }
    }
    const uint32_t color_bytes = to_vertex_color_bytes(color);
    for (int index = 0; index < 4; ++index) {
        out[index] = {corners[index].x, corners[index].y, uv[index].x, uv[index].y, color_bytes};
    }
}

}  // namespace zolt::renderer
