#pragma once
// Layer 0: depth for the whole view, the occlusion proxies with it. What is
// drawn in front of the scene comes first, squeezed to the nearest depth;
// then the main heap, then what its slot pass wants drawn back to front.
// Rendering thread only.
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

class RenderLayerDepth final : public SortedRenderLayer {
public:
    RenderLayerDepth();
    ~RenderLayerDepth() override;

    void begin_frame(uint32_t index) override { setup_number = main_setup; }
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;
    bool begin_pass(uint32_t index, bool active) override;
    void end_pass(uint32_t index, bool active, bool drawn) override;

private:
    static constexpr uint32_t depth_slot = 1;
    static constexpr uint32_t main_setup = 1;
    static constexpr uint32_t near_setup = 2;
    // Slot pass flag: draw back to front.
    static constexpr uint32_t back_to_front_pass_flag = 0x4;

    FibonacciHeap near_heap_;
    FibonacciHeap back_to_front_heap_;
};

}  // namespace zolt::renderer
