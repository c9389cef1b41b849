#include "zolt/renderer/batcher/render_view_hooks.h"

#include "zolt/renderer/shaders/shader_parameter_blocks.h"

namespace zolt::renderer {

RenderViewHooks render_view_hooks;

namespace {

constexpr uint32_t first_depth_rendering_parameter = 273;

float get_layer_parameter(uint32_t id) {
    return render_view_hooks.get_layer_parameter != nullptr ? render_view_hooks.get_layer_parameter(id) : 0.0f;
}

}  // namespace

void set_view_depth_rendering_parameters() {
    const float far_distance =
        render_view_hooks.get_far_distance != nullptr ? render_view_hooks.get_far_distance() : 0.0f;
    const uint32_t first = first_depth_rendering_parameter;
    shader_library::set_depth_rendering_parameters(far_distance, get_layer_parameter(first),
                                                   get_layer_parameter(first + 1), get_layer_parameter(first + 2),
                                                   get_layer_parameter(first + 3), get_layer_parameter(first + 4));
}

}  // namespace zolt::renderer
