#include "zolt/renderer/batcher/render_layers_colourless.h"

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/shaders/shader_gl_state.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t mask_slot = 2;
constexpr uint32_t shadow_depth_slot = 3;
constexpr uint32_t depth_only_slot = 14;
constexpr uint32_t last_pass_flag = 0x1;
constexpr uint32_t last_key_bit = 0x80000000u;

void set_colour_writes(bool on) {
    const GLboolean value = on ? GL_TRUE : GL_FALSE;
    opengl::gl.glColorMask(value, value, value, value);
}

}  // namespace

bool ColourlessRenderLayer::begin_colourless_pass(bool draw) {
    if (draw) {
        set_colour_writes(false);
    }
    return draw;
}

void ColourlessRenderLayer::end_pass(uint32_t index, bool active, bool drawn) {
    if (drawn) {
        set_colour_writes(true);
        shader_library::reset_state();
    }
}

RenderLayerDepthOnly::RenderLayerDepthOnly()
    : ColourlessRenderLayer(1u << depth_only_slot, &compare_by_object, depth_only_slot, 0) {}

RenderLayerMaskPass::RenderLayerMaskPass() : ColourlessRenderLayer(1u << mask_slot, &compare_by_key, mask_slot, 0) {}

RenderLayerShadowDepth::RenderLayerShadowDepth()
    : ColourlessRenderLayer(1u << shadow_depth_slot, &compare_by_key, shadow_depth_slot, 0) {}

bool RenderLayerShadowDepth::queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams,
                                           uint16_t stream_word, Material* material, uint16_t first_index,
                                           uint16_t index_count) {
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    uint32_t pass_flags = 0;
    request->sort_key = get_first_program_index(*request, pass_slot, setup_number, &pass_flags);
    if ((pass_flags & last_pass_flag) != 0) {
        request->sort_key |= last_key_bit;
    }
    heap.insert(&request->heap_node);
    return true;
}

void RenderLayerShadowDepth::end_pass(uint32_t index, bool active, bool drawn) {
    if (drawn) {
        set_colour_writes(true);
    }
}

}  // namespace zolt::renderer
