#include "zolt/renderer/batcher/render_layer.h"

#include "zolt/renderer/batcher/draw_request.h"

namespace zolt::renderer {

SortedRenderLayer::~SortedRenderLayer() {
    heap.clear();
}

bool SortedRenderLayer::queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams,
                                      uint16_t stream_word, Material* material, uint16_t first_index,
                                      uint16_t index_count) {
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    request->sort_key = get_first_program_index(*request, pass_slot, setup_number);
    heap.insert(&request->heap_node);
    return true;
}

void SortedRenderLayer::drain_heap(FibonacciHeap& from, uint32_t index, bool draw) {
    while (FibonacciHeapNode* const node = from.top()) {
        from.pop();
        RenderRequest& request = get_render_request(node->value);
        if (draw) {
            render_request(index, request);
        }
        free_render_request(&request);
    }
    // The last pop is only marked; settle it so every node leaves the heap.
    from.clear();
}

void SortedRenderLayer::render_request_pass(uint32_t index, bool active) {
    const bool draw = begin_pass(index, active);
    drain_heap(heap, index, draw);
    end_pass(index, active, draw);
}

void SortedRenderLayer::render_request(uint32_t index, RenderRequest& request) {
    renderer::render_request(request, pass_slot, setup_number);
}

}  // namespace zolt::renderer
