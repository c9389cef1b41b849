#include "zolt/renderer/batcher/render_layers_depth.h"

#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/shaders/shader_gl_state.h"

namespace zolt::renderer {

namespace {

void set_viewport_again() {
    const FrameBufferState& state = get_frame_buffer_state();
    set_viewport(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
}

}  // namespace

RenderLayerDepth::RenderLayerDepth()
    : SortedRenderLayer(1u << depth_slot, &compare_by_key, depth_slot, main_setup),
      near_heap_(&compare_by_key),
      back_to_front_heap_(&compare_back_to_front_by_key) {}

RenderLayerDepth::~RenderLayerDepth() {
    near_heap_.clear();
    back_to_front_heap_.clear();
}

bool RenderLayerDepth::queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams,
                                     uint16_t stream_word, Material* material, uint16_t first_index,
                                     uint16_t index_count) {
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    if (info.kind == render_info_kind_in_front) {
        request->sort_key = get_first_program_index(*request, depth_slot, near_setup);
        near_heap_.insert(&request->heap_node);
        return true;
    }
    uint32_t pass_flags = 0;
    request->sort_key = get_first_program_index(*request, depth_slot, main_setup, &pass_flags);
    FibonacciHeap& into = (pass_flags & back_to_front_pass_flag) != 0 ? back_to_front_heap_ : heap;
    into.insert(&request->heap_node);
    return true;
}

bool RenderLayerDepth::begin_pass(uint32_t index, bool active) {
    if (!active || (heap.empty() && near_heap_.empty() && back_to_front_heap_.empty())) {
        return false;
    }
    set_view_depth_rendering_parameters();
    return true;
}

void RenderLayerDepth::render_request_pass(uint32_t index, bool active) {
    const bool draw = begin_pass(index, active);
    if (draw) {
        set_depth_range_collapsed(true);
        set_viewport_again();
        setup_number = near_setup;
        drain_heap(near_heap_, index, true);
        set_depth_range_collapsed(false);
        set_viewport_again();
        setup_number = main_setup;
        drain_heap(heap, index, true);
        drain_heap(back_to_front_heap_, index, true);
    } else {
        drain_heap(near_heap_, index, false);
        drain_heap(heap, index, false);
        drain_heap(back_to_front_heap_, index, false);
    }
    end_pass(index, active, draw);
}

void RenderLayerDepth::end_pass(uint32_t index, bool active, bool drawn) {
    if (drawn) {
        shader_library::reset_state();
    }
}

}  // namespace zolt::renderer
