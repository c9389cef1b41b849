#pragma once
// Render-target texture ids (below 0x10000000): bits 0-9 are the low ten bits
// of the format word, bits 10-13 a size parameter s, bits 14-15 the size kind
// and bits 16-22 the render-target slot. Size kinds: the display mode shifted
// right by s, a square of 2 to the power s, a fixed size from a table, or a
// square of the shadow-map size. Any thread.
#include <cstdint>

namespace zolt::renderer {

constexpr uint32_t render_target_slot_count = 128;

enum RenderTargetSizeKind : uint32_t {
    display_size_kind = 0x0000,
    power_of_two_size_kind = 0x4000,
    fixed_size_kind = 0x8000,
    shadowmap_size_kind = 0xC000,
};

constexpr uint32_t get_render_target_slot(uint32_t id) {
    return (id >> 16) & 0x7Fu;
}
constexpr uint32_t get_render_target_size_kind(uint32_t id) {
    return id & 0xC000u;
}
constexpr uint32_t get_render_target_size_parameter(uint32_t id) {
    return (id >> 10) & 0xFu;
}
// One level and depth 1.
constexpr uint32_t get_render_target_format(uint32_t id) {
    return (id & 0x3FFu) | 0x10000u;
}
constexpr uint32_t make_render_target_id(uint32_t slot, uint32_t size_kind, uint32_t size_parameter,
                                         uint32_t format_bits) {
    return (slot & 0x7Fu) << 16 | (size_kind & 0xC000u) | (size_parameter & 0xFu) << 10 | (format_bits & 0x3FFu);
}

struct RenderTargetSize {
    uint32_t width;
    uint32_t height;
};

// Never below 1 on either side. The fixed table has six rows; a larger s
// takes the last one.
RenderTargetSize get_render_target_size(uint32_t id, uint32_t display_width, uint32_t display_height,
                                        uint32_t shadowmap_size);

}  // namespace zolt::renderer
