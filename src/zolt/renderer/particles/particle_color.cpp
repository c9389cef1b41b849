#include "zolt/renderer/particles/particle_color.h"

namespace zolt::renderer {
namespace {

constexpr uint32_t channel_shifts[4] = {16, 8, 0, 24};  // red, green, blue, alpha

uint32_t get_channel(uint32_t color, uint32_t shift) {
    return (color >> shift) & 0xFF;
}

uint32_t pack_channel(float value) {
    if (value <= 0.0f) {
        return 0;
    }
    if (value >= 1.0f) {
        return 255;
    }
    return static_cast<uint32_t>(value * 255.0f);
}

}  // namespace

uint32_t blend_packed_colors(uint32_t a, uint32_t b, float t) {
    uint32_t result = 0;
    for (const uint32_t shift : channel_shifts) {
        const float from = static_cast<float>(get_channel(a, shift)) / 255.0f;
        const float to = static_cast<float>(get_channel(b, shift)) / 255.0f;
        result |= pack_channel(from + (to - from) * t) << shift;
    }
    return result;
}

uint32_t pick_color_between(uint32_t a, uint32_t b, bool uniform_blend, core::RandomGenerator& random) {
    if (a == b) {
        return a;
    }
    if (uniform_blend) {
        return blend_packed_colors(a, b, random.next_float_inclusive());
    }
    uint32_t result = 0;
    for (const uint32_t shift : channel_shifts) {
        const uint32_t first = get_channel(a, shift), second = get_channel(b, shift);
        const uint32_t low = first < second ? first : second;
        const uint32_t difference = first < second ? second - first : first - second;
        const uint32_t channel = difference != 0 ? low + random.next_integer(0, difference) : low;
        result |= channel << shift;
    }
    return result;
}

}  // namespace zolt::renderer
