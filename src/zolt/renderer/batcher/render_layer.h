#pragma once
// A render layer is one draw pass of a view: it takes the requests whose
// material has a pass in one of its pass slots and draws them in its turn.
// A sorted layer keeps its requests in a heap in its own order, draws them
// one pass slot and setup at a time and gives every request back to the
// pool after its pass, drawn or not, so heaps are empty between views.
// Rendering thread only.
#include <cstdint>

#include "libs/geometry/fibonacci_heap.h"
#include "zolt/renderer/batcher/render_request.h"

namespace zolt::renderer {

class RenderLayer {
public:
    explicit RenderLayer(uint32_t pass_slot_mask) : pass_slot_mask(pass_slot_mask) {}
    RenderLayer(const RenderLayer&) = delete;
    RenderLayer& operator=(const RenderLayer&) = delete;
    virtual ~RenderLayer() = default;

    // Rendering command 4.
    virtual void initialize(uint32_t index) {}
    // Every frame.
    virtual void update(uint32_t index) {}
    // Rendering command 11.
    virtual void warm_up(uint32_t index) {}
    // Before a view queues requests.
    virtual void prepare(uint32_t index) {}
    virtual void begin_frame(uint32_t index) {}
    // True when the layer took the request.
    virtual bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams,
                               uint16_t stream_word, Material* material, uint16_t first_index,
                               uint16_t index_count) = 0;
    virtual void render_request_pass(uint32_t index, bool active) = 0;
    virtual void end_frame(uint32_t index) {}

    // The material pass slots this layer draws; 0 takes nothing.
    const uint32_t pass_slot_mask;
};

class SortedRenderLayer : public RenderLayer {
public:
    SortedRenderLayer(uint32_t pass_slot_mask, FibonacciHeap::Less less, uint32_t pass_slot, uint32_t setup_number)
        : RenderLayer(pass_slot_mask), heap(less), pass_slot(pass_slot), setup_number(setup_number) {}
    ~SortedRenderLayer() override;

    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;

    virtual bool begin_pass(uint32_t index, bool active) { return active; }
    virtual void render_request(uint32_t index, RenderRequest& request);
    virtual void end_pass(uint32_t index, bool active, bool drawn) {}

    bool is_heap_empty() { return heap.empty(); }

protected:
    // Takes the requests out in order; draws each through render_request
    // when asked, and gives it back to the pool.
    void drain_heap(FibonacciHeap& from, uint32_t index, bool draw);

    FibonacciHeap heap;
    uint32_t pass_slot;
    uint32_t setup_number;
};

}  // namespace zolt::renderer
