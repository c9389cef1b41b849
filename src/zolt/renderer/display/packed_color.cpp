#include "zolt/renderer/display/packed_color.h"

#include <cstring>

namespace zolt::renderer {

uint8_t color_float_to_byte(float x) {
    if (!(x > 0.0f)) {
        return 0;
    }
    if (x >= 1.0f) {
        return 255;
    }
    return static_cast<uint8_t>(x * 255.0f);
}

float color_byte_to_float(uint8_t byte) {
    return static_cast<float>(byte) * 0.003921569f;
}

PackedColor set_color_alpha(PackedColor color, float alpha) {
    return (color & 0x00FFFFFFu) | static_cast<uint32_t>(color_float_to_byte(alpha)) << 24;
}

uint32_t to_vertex_color_bytes(PackedColor color) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 24)};
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace zolt::renderer
