#include "zolt/renderer/batcher/render_layers_view.h"

#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t screen_copy_slot = 13;
constexpr uint32_t scene_texture_slot = 0;

}  // namespace

RenderLayerDebugDraw::RenderLayerDebugDraw() : SortedRenderLayer(0, &compare_none, 0, 0) {}

void RenderLayerDebugDraw::end_pass(uint32_t index, bool active, bool drawn) {
    if (!drawn) {
        return;
    }
    shader_library::reset_state();
    if (render_view_hooks.render_debug_draw != nullptr) {
        render_view_hooks.render_debug_draw();
    }
}

RenderLayerScreenCopy::RenderLayerScreenCopy()
    : SortedRenderLayer(1u << screen_copy_slot, &compare_none, screen_copy_slot, 0) {}

bool RenderLayerScreenCopy::begin_pass(uint32_t index, bool active) {
    if (!active || (get_layer_activity().accepted_layers >> index & 1) == 0) {
        return false;
    }
    if (TextureObject* const target = shader_library::get_renderer_texture(scene_texture_slot)) {
        const FrameBufferState& state = get_frame_buffer_state();
        target->copy_from_frame_buffer(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
    }
    return true;
}

}  // namespace zolt::renderer
