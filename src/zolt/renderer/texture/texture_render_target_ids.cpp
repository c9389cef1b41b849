#include "zolt/renderer/texture/texture_render_target_ids.h"

#include <iterator>

namespace zolt::renderer {

namespace {

constexpr RenderTargetSize fixed_sizes[] = {
    {640, 400}, {640, 480}, {512, 384}, {800, 592}, {1024, 768}, {1280, 720},
};

uint32_t at_least_one(uint32_t size) {
    return size > 0 ? size : 1;
}

}  // namespace

RenderTargetSize get_render_target_size(uint32_t id, uint32_t display_width, uint32_t display_height,
                                        uint32_t shadowmap_size) {
    const uint32_t s = get_render_target_size_parameter(id);
    RenderTargetSize size{};
    switch (get_render_target_size_kind(id)) {
    case display_size_kind:
        size = {display_width >> s, display_height >> s};
        break;
    case power_of_two_size_kind:
        size = {1u << s, 1u << s};
        break;
    case fixed_size_kind:
        size = fixed_sizes[s < std::size(fixed_sizes) ? s : std::size(fixed_sizes) - 1];
        break;
    default:
        size = {shadowmap_size, shadowmap_size};
        break;
    }
    return {at_least_one(size.width), at_least_one(size.height)};
}

}  // namespace zolt::renderer
